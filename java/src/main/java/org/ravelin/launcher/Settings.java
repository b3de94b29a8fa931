package org.ravelin.launcher;

import java.io.IOException;
import java.nio.file.Path;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.Objects;
import java.util.Optional;

/**
 * The settings of the launcher's properties file, read with the launcher's own rules: ISO 8859-1 bytes (a UTF-8
 * byte-order mark at the very start is skipped), {@code #}
 * comments in the first column only, the first {@code =} separates, key and value trimmed, a final backslash
 * continues the value, <code>&#92;uXXXX</code> the only escape (other backslashes stay as written), CR LF or LF line ends,
 * a byte 0x1A ends the text. Keys are case-sensitive. Instances are immutable.
 *
 * <p>A key the file does not have is an empty {@link Optional} ({@link #find(String)}), as everywhere in this package.
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

    /**
     * Reads a properties file.
     *
     * @param file the file
     * @return its settings
     * @throws IOException when the file cannot be read
     */
    public static Settings read(Path file) throws IOException {
        return parse(PropertiesReader.readFile(Objects.requireNonNull(file, "file")));
    }

    /**
     * Reads the bytes of a properties file.
     *
     * @param bytes the file's bytes
     * @return its settings
     */
    public static Settings parse(byte[] bytes) {
        return new Settings(PropertiesReader.parse(Objects.requireNonNull(bytes, "bytes")));
    }

    /**
     * Settings made in memory, as a file with these keys and values would give them after reading (for tests).
     *
     * @param entries keys and values, in order; copied
     * @return the settings
     * @throws NullPointerException when the map, one of its keys or one of its values is {@code null}; the message
     *     names which
     */
    public static Settings of(Map<String, String> entries) {
        return new Settings(copyWithoutNull(entries));
    }

    /** A copy of the entries in their order; refuses null, naming it, as {@link #of(Map)} documents. */
    static Map<String, String> copyWithoutNull(Map<String, String> entries) {
        final Map<String, String> copy = new LinkedHashMap<>();
        for (Map.Entry<String, String> entry : Objects.requireNonNull(entries, "entries").entrySet()) {
            final String key = Objects.requireNonNull(entry.getKey(), "a key of the entries");
            if (entry.getValue() == null) {
                throw new NullPointerException("the value of " + key);
            }
            copy.put(key, entry.getValue());
        }
        return copy;
    }

    /**
     * The value of a key, or {@code null} when the file does not have it.
     *
     * @param key the key
     * @return the value, or {@code null} when the file does not have the key
     * @deprecated absence is an empty {@link Optional} in this package: use {@link #find(String)}, or
     *     {@link #get(String, String)} with a default
     */
    @Deprecated
    public String get(String key) {
        return entries.get(key);
    }

    /**
     * The value of a key.
     *
     * @param key the key
     * @return the value (a present empty value is empty text), or an empty {@code Optional} when the file does not
     *     have the key
     */
    public Optional<String> find(String key) {
        return Optional.ofNullable(entries.get(key));
    }

    /**
     * The value of a key, or a default.
     *
     * @param key the key
     * @param defaultValue what to give when the file does not have the key
     * @return the value (a present empty value is empty text), or the default
     */
    public String get(String key, String defaultValue) {
        final String value = entries.get(key);
        return value != null ? value : defaultValue;
    }

    /**
     * Whether the file has the key.
     *
     * @param key the key
     * @return {@code true} when the key is present, even with an empty value
     */
    public boolean contains(String key) {
        return entries.containsKey(key);
    }

    /**
     * Every entry.
     *
     * @return the entries, unmodifiable, in the order the keys first appear in the file
     */
    public Map<String, String> asMap() {
        return entries;
    }

    @Override
    public String toString() {
        return entries.toString();
    }
}
