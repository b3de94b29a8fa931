package org.ravelin.packager.settings;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Objects;

/**
 * The launcher's properties file, read and written with the launcher's own rules (docs/properties.md):
 * what {@link #write} writes, the launcher reads back to exactly the given keys and values.
 */
public final class SettingsFile {
    private static final String LINE_END = "\r\n";

    private SettingsFile() {}

    /**
     * Writes the settings, one line each in the map's order, with CR LF line ends and nothing else: the same map
     * gives the same bytes. The file is ASCII (a subset of ISO 8859-1, so that no editor that guesses UTF-8 changes
     * it): every other character, and whatever the launcher's reader would trim, join or take as a comment or a
     * separator, is written as a \\uXXXX escape.
     *
     * @param settings the keys and values
     * @param file the file to write, replaced when it exists
     * @throws IOException when the file cannot be written
     */
    public static void write(Map<String, String> settings, Path file) throws IOException {
        Objects.requireNonNull(file, "file");
        Files.write(file, text(settings).getBytes(StandardCharsets.ISO_8859_1));
    }

    /** The file's text for the settings. */
    static String text(Map<String, String> settings) {
        final StringBuilder text = new StringBuilder();
        for (Map.Entry<String, String> entry : Objects.requireNonNull(settings, "settings").entrySet()) {
            final String key = Objects.requireNonNull(entry.getKey(), "a key of the settings");
            final String value = Objects.requireNonNull(entry.getValue(), () -> "the value of " + key);
            escape(key, true, text);
            text.append('=');
            escape(value, false, text);
            text.append(LINE_END);
        }
        return text.toString();
    }

    // Whether the character at i can stand as itself. Blanks at either end would be trimmed, and only printable
    // ASCII is written; in a key, "=" would end it and a "#" in front would make the line a comment. A backslash
    // stands as itself only before a character that does and that is neither "u" (an escape) nor a backslash
    // (the launcher keeps "\\" and "\x" as they are, a pair read as two characters).
    private static boolean plain(String text, int i, boolean key) {
        final char c = text.charAt(i);
        if (c < ' ' || c > '~') {
            return false;
        }
        if (c == ' ') {
            return i > 0 && i < text.length() - 1;
        }
        if (key && (c == '=' || c == '#' && i == 0)) {
            return false;
        }
        if (c == '\\') {
            return i + 1 < text.length() && text.charAt(i + 1) != 'u' && text.charAt(i + 1) != '\\'
                    && plain(text, i + 1, key);
        }
        return true;
    }

    private static void escape(String text, boolean key, StringBuilder out) {
        for (int i = 0; i < text.length(); i++) {
            final char c = text.charAt(i);
            if (plain(text, i, key)) {
                out.append(c);
            } else {
                out.append(String.format("\\u%04x", (int) c));
            }
        }
    }

    /**
     * Reads a properties file as the launcher reads it.
     *
     * @param file the file
     * @return its keys and values, in the order of each key's first line
     * @throws IOException when the file cannot be read
     */
    public static Map<String, String> read(Path file) throws IOException {
        return parse(Files.readAllBytes(Objects.requireNonNull(file, "file")));
    }

    /** A line of the file that is neither a comment nor blank nor joined to the one before it. */
    static final class Line {
        private final int number;
        private final String text;

        Line(int number, String text) {
            this.number = number;
            this.text = text;
        }

        /** @return its number, the first line 1 */
        int number() {
            return number;
        }

        /** @return its text, without the line end */
        String text() {
            return text;
        }

        /** @return the key the launcher reads from it (unescaped), or null for a line without "=" */
        String key() {
            final int separator = text.indexOf('=');
            return separator < 0 ? null : unescape(text.substring(0, separator).trim());
        }
    }

    // The text as the launcher reads it: without a UTF-8 byte-order mark that opens the file, up to a byte 0x1A,
    // every other byte one ISO 8859-1 character.
    private static String textOf(byte[] bytes) {
        final int start = bytes.length >= 3 && (bytes[0] & 0xFF) == 0xEF && (bytes[1] & 0xFF) == 0xBB
                && (bytes[2] & 0xFF) == 0xBF ? 3 : 0;
        final String whole = new String(bytes, start, bytes.length - start, StandardCharsets.ISO_8859_1);
        final int endOfFile = whole.indexOf('\u001A');
        return endOfFile < 0 ? whole : whole.substring(0, endOfFile);
    }

    /** The lines of a file's bytes that the launcher reads as settings or would, in order. */
    static List<Line> lines(byte[] bytes) {
        final String text = textOf(bytes);
        final List<Line> lines = new ArrayList<>();
        int position = 0;
        int number = 0;
        while (position < text.length()) {
            int feed = text.indexOf('\n', position);
            final String line = lineOf(text, position, feed);
            position = feed < 0 ? text.length() : feed + 1;
            number++;
            if (line.startsWith("#") || line.trim().isEmpty()) {
                continue;
            }
            lines.add(new Line(number, line));
            final int separator = line.indexOf('=');
            if (separator < 0 || !line.substring(separator + 1).trim().endsWith("\\")) {
                continue;
            }
            // The lines it joins are no lines of their own.
            while (position < text.length()) {
                feed = text.indexOf('\n', position);
                final String joined = lineOf(text, position, feed).trim();
                position = feed < 0 ? text.length() : feed + 1;
                number++;
                if (!joined.endsWith("\\")) {
                    break;
                }
            }
        }
        return lines;
    }

    /** The keys and values of a file's bytes, as the launcher reads them (src/settings/properties.cpp). */
    static Map<String, String> parse(byte[] bytes) {
        final String text = textOf(bytes);
        final Map<String, String> entries = new LinkedHashMap<>();
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
            final String key = line.substring(0, separator).trim();
            String value = line.substring(separator + 1).trim();
            // Only the backslash that ends the first line becomes a space; one that ends a later line stays and
            // joins the next line too. Joined lines have no comments and need no "=".
            if (value.endsWith("\\")) {
                final StringBuilder continued = new StringBuilder();
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

    // The line from start to the line feed (-1: to the end); a CR directly before the feed is no part of it.
    private static String lineOf(String text, int start, int feed) {
        int end = feed < 0 ? text.length() : feed;
        if (feed >= 0 && end > start && text.charAt(end - 1) == '\r') {
            end--;
        }
        return text.substring(start, end);
    }

    // \\u with one to four hex digits is one character (none: U+0000); a backslash before anything else stays with
    // the character after it.
    static String unescape(String text) {
        final StringBuilder result = new StringBuilder(text.length());
        int i = 0;
        while (i < text.length()) {
            final char c = text.charAt(i);
            if (c != '\\' || i + 1 == text.length()) {
                result.append(c);
                i++;
            } else if (text.charAt(i + 1) != 'u') {
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

    private static int hexDigit(char c) {
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
