package org.ravelin.launcher;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Collections;
import java.util.Map;

/**
 * The settings of the launcher's properties file, read with the launcher's own rules: ISO 8859-1 bytes (a UTF-8
 * byte-order mark at the very start is skipped), {@code #}
 * comments in the first column only, the first {@code =} separates, key and value trimmed, a final backslash
 * continues the value, <code>&#92;uXXXX</code> the only escape (other backslashes stay as written), CR LF or LF line ends,
 * a byte 0x1A ends the text. Keys are case-sensitive. Instances are immutable.
 */
public final class Settings {
    /** The class the launcher's Java VM starts. */
    public static final String MAIN_CLASS = "qel.nl.java.launcher.main.class";
    /** The application's class that {@link RavelinMain} starts. */
    public static final String APPLICATION_MAIN_CLASS = "qel.application.main.class";
    /** The application's name, the title of its console window and of the dialog that shows a failure. */
    public static final String APPLICATION_NAME = "qel.application.name";
    /** Where standard output goes: a file, {@code console} or empty. */
    public static final String STDOUT_REDIRECT = "qel.stdout.redirect";
    /** Where standard error goes: a file, {@code console} or empty. */
    public static final String STDERR_REDIRECT = "qel.stderr.redirect";

    private final Map<String, String> entries;

    private Settings(Map<String, String> entries) {
        this.entries = Collections.unmodifiableMap(entries);
    }

    /** Reads a properties file. */
    public static Settings read(Path file) throws IOException {
        return parse(Files.readAllBytes(file));
    }

    /** Reads the bytes of a properties file. */
    public static Settings parse(byte[] bytes) {
        return new Settings(PropertiesReader.parse(bytes));
    }

    /** The value of the key, or {@code null} when the file does not have the key. */
    public String get(String key) {
        return entries.get(key);
    }

    /** The value of the key, or the default when the file does not have the key (a present empty value is empty). */
    public String get(String key, String defaultValue) {
        final String value = entries.get(key);
        return value != null ? value : defaultValue;
    }

    public boolean contains(String key) {
        return entries.containsKey(key);
    }

    /** Every entry, unmodifiable, in the order the keys first appear in the file. */
    public Map<String, String> asMap() {
        return entries;
    }

    @Override
    public String toString() {
        return entries.toString();
    }
}
