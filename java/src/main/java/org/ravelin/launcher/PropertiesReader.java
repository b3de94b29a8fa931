package org.ravelin.launcher;

import java.io.FileInputStream;
import java.io.FileNotFoundException;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.Map;

/**
 * The launcher's own reading of its properties file: ISO 8859-1 bytes, a UTF-8 byte-order mark at the start skipped.
 * It differs from {@link java.util.Properties}: only {@code #} in
 * the first column starts a comment, only {@code =} separates, only <code>&#92;u</code> is an escape, and a continued value
 * joins its lines differently.
 */
final class PropertiesReader {
    private PropertiesReader() {}

    /** The entries of the file's bytes, in the order their keys first appear; a later line replaces the value. */
    static Map<String, String> parse(byte[] bytes) {
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
     * Reads a whole file with {@code java.io}, which the VM has loaded before any main method runs: reading it
     * through {@link Files#readAllBytes(Path)} would first load some thirty classes of file channels, a good part of
     * what the ready main class adds to an application's start.
     */
    static byte[] readFile(Path file) throws IOException {
        final InputStream input;
        try {
            input = new FileInputStream(file.toFile());
        } catch (FileNotFoundException e) {
            // Its text is the operating system's; the file API's exceptions say what happened in a few words
            // (NoSuchFileException, AccessDeniedException), or read it after all.
            return Files.readAllBytes(file);
        }
        try {
            byte[] bytes = new byte[8192];
            int length = 0;
            for (int read; (read = input.read(bytes, length, bytes.length - length)) >= 0;) {
                length += read;
                if (length == bytes.length) {
                    bytes = Arrays.copyOf(bytes, bytes.length * 2);
                }
            }
            return length == bytes.length ? bytes : Arrays.copyOf(bytes, length);
        } finally {
            input.close();
        }
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
