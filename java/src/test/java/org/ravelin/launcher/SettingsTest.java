package org.ravelin.launcher;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.Random;
import java.util.stream.Stream;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** The properties file read with the launcher's rules; the same cases as the launcher's own reader. */
class SettingsTest {
    /** Keys and values, alternating. */
    static Map<String, String> entries(String... keysAndValues) {
        final Map<String, String> map = new LinkedHashMap<>();
        for (int i = 0; i < keysAndValues.length; i += 2) {
            map.put(keysAndValues[i], keysAndValues[i + 1]);
        }
        return map;
    }

    /** Each character of the text is one byte (ISO 8859-1). */
    static byte[] bytes(String text) {
        return text.getBytes(StandardCharsets.ISO_8859_1);
    }

    static Map<String, String> parse(String text) {
        return Settings.parse(bytes(text)).asMap();
    }

    static Arguments rule(String rule, String text, Map<String, String> expected) {
        return Arguments.of(rule, text, expected);
    }

    static Stream<Arguments> rules() {
        return Stream.of(
                // Lines, keys and values.
                rule("spaces around key and value go, inner ones stay", "a = b c \n", entries("a", "b c")),
                rule("the first = separates", "a=b=c\n", entries("a", "b=c")),
                rule("empty key", "=x\n", entries("", "x")),
                rule("a key with inner spaces", " my key = v\n", entries("my key", "v")),
                rule("no = means no entry", "a:b\nc d\nplain\n", entries()),
                rule("blank lines", "\n   \n\t\r\n", entries()),
                rule("# in column one is a comment", "#a=b\n", entries()),
                rule("# after a space is part of the key", " #a=b\n", entries("#a", "b")),
                rule("! is ordinary", "!a=b\n", entries("!a", "b")),
                rule("# later in the line is ordinary", "x=1 # not a comment\n", entries("x", "1 # not a comment")),
                rule("later duplicate wins, keys are case-sensitive", "k=1\nK=3\nk=2\n", entries("k", "2", "K", "3")),
                rule("a value of spaces is empty", "k=   \n", entries("k", "")),
                rule("every unit up to 0x20 is trimmed, 0x7F is not", " \t\u000b\u0001k\u001f\u000c =\t\u0002 v\u007f \u001f\n",
                        entries("k", "v\u007f")),
                rule("NUL units are trimmed too", "\0k\0=\0v\0\n", entries("k", "v")),
                rule("a NUL before # makes no comment", "\0#a=b\n", entries("#a", "b")),
                rule("NUL inside key and value stays", "k\0y=v\0w\n", entries("k\0y", "v\0w")),
                rule("last line without line feed", "a=1\nb=two words", entries("a", "1", "b", "two words")),
                // Bytes as the C runtime's text mode delivers them.
                rule("CR LF reads as LF", "a=1\r\nb=2\r\n", entries("a", "1", "b", "2")),
                rule("a CR elsewhere stays", "a=x\ry\r\n", entries("a", "x\ry")),
                rule("0x1A ends the file", "a=1\n\u001a\nb=2\n", entries("a", "1")),
                rule("0x1A ends the file inside a line", "a=1\u001ab\nc=2\n", entries("a", "1")),
                rule("bytes are ISO 8859-1", "k\u00e9=\u00e9\u00ff\u0080\n", entries("k\u00e9", "\u00e9\u00ff\u0080")),
                // Escapes.
                rule("four digits, either case", "k=\\u00e9t\\u00E9\n", entries("k", "\u00e9t\u00e9")),
                rule("a unit outside Latin-1", "k=\\u41BC\n", entries("k", "\u41bc")),
                rule("two digits, then an ordinary letter", "k=\\u41G\n", entries("k", "AG")),
                rule("no digit gives U+0000", "k=\\u\n", entries("k", "\0")),
                rule("a fifth digit is ordinary", "k=\\u004142\n", entries("k", "A42")),
                rule("the largest unit", "k=\\uFFFF\n", entries("k", "\uffff")),
                rule("escapes in keys", "\\u0041\\u0062=1\n", entries("Ab", "1")),
                rule("doubled backslashes stay doubled", "k=C:\\\\dir\\\\file\n", entries("k", "C:\\\\dir\\\\file")),
                rule("backslash t stays two units", "k=a\\tb\n", entries("k", "a\\tb")),
                rule("the second backslash of a pair starts nothing", "k=\\\\u0041\n", entries("k", "\\\\u0041")),
                rule("upper-case U is no escape", "k=\\U0041\n", entries("k", "\\U0041")),
                rule("a final backslash of a key is copied", "k\\=v\n", entries("k\\", "v")),
                rule("a non-ASCII digit is no hexadecimal digit", "k=\\u\u00b2\n", entries("k", "\0\u00b2")),
                // Continuation lines.
                rule("the first final backslash becomes a space", "k=one \\\ntwo\n", entries("k", "one  two")),
                rule("later final backslashes stay and join", "k=a\\\nb\\\nc\n", entries("k", "a b\\c")),
                rule("continued lines are trimmed", "k=a\\\n   b   \n", entries("k", "a b")),
                rule("# means nothing inside a continuation", "k=a\\\n#x=y\nz=1\n", entries("k", "a #x=y", "z", "1")),
                rule("a missing = means nothing inside a continuation", "k=a\\\nno separator\n",
                        entries("k", "a no separator")),
                rule("a blank line ends a two-line entry", "k=a\\\n\nz=1\n", entries("k", "a ", "z", "1")),
                rule("a blank line does not end a later backslash", "k=a\\\nb\\\n\nz=1\n", entries("k", "a b\\z=1")),
                rule("CR LF before and after", "k=a\\\r\nb\r\n", entries("k", "a b")),
                rule("escapes are read after joining", "k=\\u00\\\n41\n", entries("k", "\0 41")),
                rule("a backslash in the key continues nothing", "k\\\n=v\n", entries("", "v")),
                rule("continuation at the end of the file", "k=a\\", entries("k", "a ")),
                rule("continuation after the final line feed", "k=a\\\n", entries("k", "a ")),
                rule("unbalanced later continuation at the end", "k=a\\\nb\\\nc\\", entries("k", "a b\\c\\")));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("rules")
    void readsWithTheLaunchersRules(String rule, String text, Map<String, String> expected) {
        assertEquals(expected, parse(text));
    }

    @Test
    void keepsTheOrderInWhichKeysFirstAppear() {
        assertEquals(Arrays.asList("b", "a", "c"), new ArrayList<>(parse("b=1\na=2\nb=3\nc=4\n").keySet()));
    }

    @Test
    void getGivesAPresentEmptyValueInsteadOfTheDefault() {
        final Settings settings = Settings.parse(bytes("empty=  \nfull=x\n"));
        assertEquals("", settings.get("empty", "default"));
        assertEquals("x", settings.get("full", "default"));
        assertEquals("default", settings.get("absent", "default"));
        assertEquals("default", settings.get("FULL", "default"));
        assertEquals("", settings.get("empty"));
        assertNull(settings.get("absent"));
        assertTrue(settings.contains("empty"));
        assertFalse(settings.contains("absent"));
    }

    @Test
    void arbitraryBytesFollowTheTextModeRules() {
        // Every byte value but the end-of-file byte, with the characters that mean something to the reader frequent.
        final Random random = new Random(12345);
        final char[] frequent = {'\n', '\r', '=', '\\', '#', 'u', '0', 'a', ' ', '\0'};
        final StringBuilder text = new StringBuilder();
        for (int i = 0; i < 100000; i++) {
            final char any = (char) random.nextInt(256);
            text.append(random.nextBoolean() ? frequent[random.nextInt(frequent.length)] : any == 0x1A ? 'z' : any);
        }
        final String all = text.toString();
        final Map<String, String> entries = parse(all);
        assertTrue(entries.size() > 300, "entries: " + entries.size());

        // The end-of-file byte ends the text wherever it comes.
        final String half = all.substring(0, all.length() / 2);
        assertEquals(parse(half), parse(half + '\u001a' + all.substring(half.length())));

        // CR LF reads as LF.
        final String feedsOnly = all.replace("\r\n", "\n");
        assertTrue(feedsOnly.length() < all.length());
        assertEquals(entries, parse(feedsOnly));
    }

    @Test
    void readsTheBytesOfAFile(@TempDir Path dir) throws IOException {
        final Path file = dir.resolve("app.qel");
        Files.write(file, bytes("# settings\r\nname=caf\u00e9\r\npath=C:\\\\x\\\r\n  \\u0041\r\nlast=1"));
        assertEquals(entries("name", "caf\u00e9", "path", "C:\\\\x A", "last", "1"), Settings.read(file).asMap());
    }

    @Test
    void aMissingFileFails(@TempDir Path dir) {
        assertThrows(NoSuchFileException.class, () -> Settings.read(dir.resolve("missing.qel")));
    }
}
