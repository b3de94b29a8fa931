package org.ravelin.launcher;

import java.io.File;
import java.io.FileInputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.Objects;
import java.util.Optional;
import java.util.OptionalLong;

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
     * @throws IOException when the file cannot be read, is not a regular file or holds more than 4 MiB
     */
    public static Settings read(Path file) throws IOException {
        return parse(readFile(Objects.requireNonNull(file, "file")));
    }

    /**
     * Reads the bytes of a properties file.
     *
     * @param bytes the file's bytes
     * @return its settings
     */
    public static Settings parse(byte[] bytes) {
        return new Settings(entriesOf(Objects.requireNonNull(bytes, "bytes")));
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
     * A switch, read as the launcher reads its own: on for "true", "on" or "t" in any case (ASCII letters only), off
     * for every other text ("yes" and "1" among them) and when the file does not have the key.
     *
     * @param key the key
     * @return whether the switch is on
     */
    public boolean isOn(String key) {
        final String value = entries.get(key);
        if (value == null) {
            return false;
        }
        final String lowered = lowerAscii(value);
        return lowered.equals("true") || lowered.equals("on") || lowered.equals("t");
    }

    /**
     * A count of bytes, read as the launcher reads its heap sizes: after blanks, a sign and the decimal digits up to
     * the first character that is no digit (none give 0), times 1024 when the value ends with k and 1048576 when it
     * ends with m, in any case; no other unit exists ("1g" is 1 byte, "512MB" 512). A count beyond 64 bits stays at
     * the limit on its side. The launcher gives the VM a size only when it is greater than 0.
     *
     * @param key the key
     * @return the count, or an empty {@code OptionalLong} when the file does not have the key
     */
    public OptionalLong findByteSize(String key) {
        final String value = entries.get(key);
        return value == null ? OptionalLong.empty() : OptionalLong.of(byteSize(value));
    }

    static long byteSize(String text) {
        String lowered = lowerAscii(text);
        long multiplier = 1;
        if (lowered.endsWith("k")) {
            multiplier = 1024;
        } else if (lowered.endsWith("m")) {
            multiplier = 1024 * 1024;
        }
        if (multiplier != 1) {
            lowered = lowered.substring(0, lowered.length() - 1);
        }
        int i = 0;
        while (i < lowered.length() && (lowered.charAt(i) == ' ' || lowered.charAt(i) >= '\t' && lowered.charAt(i) <= '\r')) {
            i++;
        }
        final boolean negative = i < lowered.length() && lowered.charAt(i) == '-';
        if (i < lowered.length() && (lowered.charAt(i) == '+' || lowered.charAt(i) == '-')) {
            i++;
        }
        // The magnitude in bytes, negated at the end; it stops at the limit of its side.
        final long limit = negative ? Long.MIN_VALUE : -Long.MAX_VALUE;
        long negated = 0;
        for (; i < lowered.length() && lowered.charAt(i) >= '0' && lowered.charAt(i) <= '9'; i++) {
            final int digit = lowered.charAt(i) - '0';
            if (negated < (limit + digit) / 10) {
                negated = limit;
                break;
            }
            negated = negated * 10 - digit;
        }
        if (negated < limit / multiplier) {
            negated = limit;
        } else {
            negated *= multiplier;
        }
        return negative ? negated : -negated;
    }

    // 'A' to 'Z' become 'a' to 'z', as the launcher lower-cases; every other character stays.
    private static String lowerAscii(String text) {
        final char[] result = text.toCharArray();
        for (int i = 0; i < result.length; i++) {
            if (result[i] >= 'A' && result[i] <= 'Z') {
                result[i] += 'a' - 'A';
            }
        }
        return new String(result);
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

    // The launcher's own reading of its properties file: ISO 8859-1 bytes, a UTF-8 byte-order mark at the start
    // skipped. It differs from java.util.Properties: only "#" in the first column starts a comment, only "=" separates,
    // only a backslash and u is an escape, and a continued value joins its lines differently. (Here rather than in a
    // class of its own: each class the ready main class loads adds to every application's start.)

    /** The entries of the file's bytes, in the order their keys first appear; a later line replaces the value. */
    static Map<String, String> entriesOf(byte[] bytes) {
        // An editor may save the file with a UTF-8 byte-order mark; it is no part of the first line. The bytes are
        // still read as ISO 8859-1, and a mark anywhere else stays text.
        final int start = bytes.length >= 3 && (bytes[0] & 0xFF) == 0xEF && (bytes[1] & 0xFF) == 0xBB
                && (bytes[2] & 0xFF) == 0xBF ? 3 : 0;
        // A byte 0x1A ends the text; every other byte is one ISO 8859-1 character.
        final String whole = new String(bytes, start, bytes.length - start, StandardCharsets.ISO_8859_1);
        final int endOfFile = whole.indexOf('\u001A');
        final String text = endOfFile < 0 ? whole : whole.substring(0, endOfFile);
        final Map<String, String> entries = new LinkedHashMap<>();
        final StringBuilder continued = new StringBuilder();
        int position = 0;
        while (position < text.length()) {
            int feed = text.indexOf('\n', position);
            final String line = lineOf(text, position, feed);
            position = feed < 0 ? text.length() : feed + 1;
            if (line.startsWith("#") || line.trim().isEmpty()) {
                continue;
            }
            final int separator = line.indexOf('=');
            if (separator < 0) {
                continue;
            }
            // String.trim removes every character up to U+0020 from both ends, as the launcher does.
            final String key = line.substring(0, separator).trim();
            String value = line.substring(separator + 1).trim();
            // Only the backslash that ends the first line becomes a space; one that ends a later line stays and
            // joins the next line too. Joined lines have no comments and need no "=".
            if (value.endsWith("\\")) {
                continued.setLength(0);
                continued.append(value, 0, value.length() - 1).append(' ');
                while (position < text.length()) {
                    feed = text.indexOf('\n', position);
                    continued.append(lineOf(text, position, feed).trim());
                    position = feed < 0 ? text.length() : feed + 1;
                    if (continued.charAt(continued.length() - 1) != '\\') {
                        break;
                    }
                }
                value = continued.toString();
            }
            entries.put(unescape(key), unescape(value));
        }
        return entries;
    }

    // The line from start to the line feed (-1: to the end of the text); a CR directly before the feed is no part of
    // it.
    private static String lineOf(String text, int start, int feed) {
        int end = feed < 0 ? text.length() : feed;
        if (feed >= 0 && end > start && text.charAt(end - 1) == '\r') {
            end--;
        }
        return text.substring(start, end);
    }

    /**
     * The most a properties or hand-off file may hold: the launcher writes the environment into the hand-off file
     * three times, each unit as up to six bytes, and a Windows environment of 200,000 units (six times the largest
     * variable) stays below it; a properties file is a few kilobytes. A larger file is no launcher's, and reading it
     * would only cost the VM its memory.
     */
    static final int MAX_FILE_BYTES = 4 * 1024 * 1024;

    /**
     * Reads a whole file of at most {@link #MAX_FILE_BYTES} with {@code java.io}, which the VM has loaded before any
     * main method runs: reading it through {@link Files#readAllBytes(Path)} would first load some thirty classes of
     * file channels, a good part of what the ready main class adds to an application's start. A device, pipe or
     * folder is refused before it is read: it may never end.
     */
    static byte[] readFile(Path file) throws IOException {
        final File asFile = file.toFile();
        if (!asFile.isFile() && asFile.exists()) {
            throw new IOException("it is not a regular file");
        }
        if (asFile.length() > MAX_FILE_BYTES) {
            throw tooLarge(asFile.length());
        }
        final InputStream input;
        try {
            input = new FileInputStream(asFile);
        } catch (IOException e) {
            // A FileNotFoundException (caught as its superclass, which the VM has loaded). Its text is the operating
            // system's; the file API's exceptions say what happened in a few words
            // (NoSuchFileException, AccessDeniedException).
            Files.newInputStream(file).close();
            throw e;
        }
        try {
            byte[] bytes = new byte[8192];
            int length = 0;
            for (int read; (read = input.read(bytes, length, bytes.length - length)) >= 0;) {
                length += read;
                if (length > MAX_FILE_BYTES) {
                    // It grew while being read.
                    throw tooLarge(length);
                }
                if (length == bytes.length) {
                    bytes = Arrays.copyOf(bytes, Math.min(bytes.length * 2, MAX_FILE_BYTES + 1));
                }
            }
            return length == bytes.length ? bytes : Arrays.copyOf(bytes, length);
        } finally {
            input.close();
        }
    }

    private static IOException tooLarge(long length) {
        return new IOException("it holds " + length + " bytes or more, beyond the " + MAX_FILE_BYTES
                + " that a launcher's file may hold");
    }

    /**
     * <code>&#92;u</code> and up to four hexadecimal digits give that UTF-16 unit (no digit gives U+0000); every other
     * backslash stays, together with the character after it.
     */
    static String unescape(String text) {
        if (text.indexOf('\\') < 0) {
            return text;
        }
        final StringBuilder result = new StringBuilder(text.length());
        int i = 0;
        while (i < text.length()) {
            final char c = text.charAt(i);
            if (c != '\\' || i + 1 == text.length()) {
                result.append(c);
                i++;
            } else if (text.charAt(i + 1) != 'u') {
                // Both stay, so the second backslash of a pair escapes nothing.
                result.append(c).append(text.charAt(i + 1));
                i += 2;
            } else {
                int value = 0;
                int next = i + 2;
                for (int digits = 0; digits < 4 && next < text.length(); digits++, next++) {
                    final int digit = hexDigit(text.charAt(next));
                    if (digit < 0) {
                        break;
                    }
                    value = value * 16 + digit;
                }
                result.append((char) value);
                i = next;
            }
        }
        return result.toString();
    }

    static int hexDigit(char c) {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    }
}
