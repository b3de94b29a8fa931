package org.ravelin.packager.settings;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.stream.Stream;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;
import org.ravelin.launcher.SharedCases;

class SettingsFileTest {
    @TempDir
    Path directory;

    static Stream<SharedCases.Case> readerCases() throws IOException {
        return SharedCases.read("properties.txt").stream();
    }

    static Map<String, String> entries(SharedCases.Case c) {
        final Map<String, String> entries = new LinkedHashMap<>();
        for (List<String> entry : c.all("entry")) {
            entries.put(entry.get(0), entry.get(1));
        }
        return entries;
    }

    // The launcher's reader's cases: the packager reads every file as the launcher does.
    @ParameterizedTest(name = "{0}")
    @MethodSource("readerCases")
    void readsAsTheLauncherReads(SharedCases.Case c) {
        assertEquals(entries(c), new LinkedHashMap<>(SettingsFile.parse(SharedCases.bytes(c.one("bytes")))));
    }

    // What the launcher read in each case, written and read back: the same keys and values.
    @ParameterizedTest(name = "{0}")
    @MethodSource("readerCases")
    void writesWhatTheLauncherReadsBack(SharedCases.Case c) {
        assertRoundTrip(entries(c));
    }

    static void assertRoundTrip(Map<String, String> settings) {
        final String text = SettingsFile.text(settings);
        assertEquals(settings, SettingsFile.parse(text.getBytes(StandardCharsets.ISO_8859_1)), text);
        for (char c : text.toCharArray()) {
            if (c != '\r' && c != '\n' && (c < ' ' || c > '~')) {
                throw new AssertionError("not printable ASCII: U+" + Integer.toHexString(c) + " in " + text);
            }
        }
    }

    static Stream<String> trickyTexts() {
        return Stream.of("C:\\users\\app", "C:\\dir\\", "\\", "\\\\", "\\\\u0041", "\\u0041", "a\\\u00e9", "\\=x",
                " leading", "trailing ", " ", "\t", "#hash", "a=b", "=", "line\r\nbreak", "end\u001afile",
                "\u0000", "x\u0000y", "caf\u00e9", "\u41bc\ud83d\ude00", "\u00ef\u00bb\u00bfmark", "\\\\\\u",
                "value \\", "a \\ b", "\u007f");
    }

    @ParameterizedTest
    @MethodSource("trickyTexts")
    void writesAnyTextAsAValueAndAsAKey(String text) {
        final Map<String, String> settings = new LinkedHashMap<>();
        settings.put("k", text);
        settings.put(text, "v");
        assertRoundTrip(settings);
    }

    @Test
    void writesRandomTextsThatReadBack() {
        final Random random = new Random(26);
        final String alphabet = "ab \\u=#:!\t\r\n\u0000\u001a\u00e9\u00ef\u00bb\u00bf\u41bc";
        for (int round = 0; round < 2000; round++) {
            final Map<String, String> settings = new LinkedHashMap<>();
            for (int entry = 0; entry < 3; entry++) {
                settings.put(randomText(random, alphabet), randomText(random, alphabet));
            }
            assertRoundTrip(settings);
        }
    }

    private static String randomText(Random random, String alphabet) {
        final StringBuilder text = new StringBuilder();
        final int length = random.nextInt(8);
        for (int i = 0; i < length; i++) {
            text.append(alphabet.charAt(random.nextInt(alphabet.length())));
        }
        return text.toString();
    }

    static Stream<SharedCases.Case> writtenCases() throws IOException {
        return SharedCases.read("properties_written.txt").stream();
    }

    // The launcher's unit test reads each case's bytes back to its entries.
    @ParameterizedTest(name = "{0}")
    @MethodSource("writtenCases")
    void writesTheBytesThatTheLauncherReadsBack(SharedCases.Case c) {
        assertArrayEquals(SharedCases.bytes(c.one("bytes")),
                SettingsFile.text(entries(c)).getBytes(StandardCharsets.ISO_8859_1));
    }

    @Test
    void writesTheKeysInTheirOrderWithCrLfAndNothingElse() throws IOException {
        final Map<String, String> settings = new LinkedHashMap<>();
        settings.put("qel.nl.valid.vm.list", "J2");
        settings.put("qel.application.name", "Caf\u00e9 ");
        settings.put("qel.class.path", "lib\\ravelin-java.jar;lib\\users.jar;C:\\users\\");
        final Path file = directory.resolve("app.qel");
        SettingsFile.write(settings, file);
        assertArrayEquals(("qel.nl.valid.vm.list=J2\r\n"
                + "qel.application.name=Caf\\u00e9\\u0020\r\n"
                + "qel.class.path=lib\\ravelin-java.jar;lib\\u005cusers.jar;C:\\u005cusers\\u005c\r\n")
                        .getBytes(StandardCharsets.US_ASCII),
                Files.readAllBytes(file));
        assertEquals(new ArrayList<>(settings.entrySet()), new ArrayList<>(SettingsFile.read(file).entrySet()));
    }
}
