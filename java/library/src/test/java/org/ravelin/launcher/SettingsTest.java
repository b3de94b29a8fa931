package org.ravelin.launcher;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.lang.reflect.Field;
import java.lang.reflect.Modifier;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.List;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.Optional;
import java.util.OptionalLong;
import java.util.Random;
import java.util.TreeSet;
import java.util.stream.Stream;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;

/** The properties file read with the launcher's rules; the cases of the table are the launcher's own reader's. */
class SettingsTest {
    /** Keys and values, alternating. */
    static Map<String, String> entries(String... keysAndValues) {
        final Map<String, String> map = new LinkedHashMap<>();
        for (int i = 0; i < keysAndValues.length; i += 2) {
            map.put(keysAndValues[i], keysAndValues[i + 1]);
        }
        return map;
    }

    // The keys the library names are keys of the one key table (tests/cases/settings_keys.txt), and the keys that
    // only the library reads are among them.
    @Test
    void theKeysTheLibraryNamesAreInTheKeyTable() throws Exception {
        final List<SharedCases.Case> table = SharedCases.read("settings_keys.txt");
        final TreeSet<String> tableKeys = new TreeSet<>();
        final TreeSet<String> javaOnly = new TreeSet<>();
        for (List<String> row : table.get(0).all("key")) {
            tableKeys.add(row.get(0));
            if (row.get(3).equals("java")) {
                javaOnly.add(row.get(0));
            }
        }
        final TreeSet<String> named = new TreeSet<>();
        for (Field field : Settings.class.getFields()) {
            if (Modifier.isStatic(field.getModifiers()) && field.getType() == String.class) {
                named.add((String) field.get(null));
            }
        }
        assertTrue(named.contains(Settings.APPLICATION_MAIN_CLASS), named.toString());
        assertTrue(tableKeys.containsAll(named), named + " not all in " + tableKeys);
        assertTrue(named.containsAll(javaOnly), javaOnly + " not all named in " + named);
    }

    // The values of the launcher's switches and sizes, as the launcher reads them (tests/cases/setting_values.txt,
    // which the launcher's own tests run): the keys of kind switch or size in the key table.
    static Stream<Arguments> switchesAndSizes() throws IOException {
        final Map<String, String> kinds = new HashMap<>();
        for (List<String> row : SharedCases.read("settings_keys.txt").get(0).all("key")) {
            kinds.put(row.get(0), row.get(1));
        }
        final List<Arguments> cases = new ArrayList<>();
        for (SharedCases.Case c : SharedCases.read("setting_values.txt")) {
            final String kind = kinds.get(c.one("key"));
            if ("switch".equals(kind) || "size".equals(kind)) {
                cases.add(Arguments.of(c.toString(), kind, c.one("key"), c.one("value"), c.one("read")));
            }
        }
        return cases.stream();
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("switchesAndSizes")
    void switchesAndSizesAreReadAsTheLauncherReadsThem(String name, String kind, String key, String value,
            String read) {
        final Settings settings = Settings.of(entries(key, value, "other", "true"));
        if (kind.equals("switch")) {
            assertEquals(Boolean.parseBoolean(read), settings.isOn(key));
        } else {
            assertEquals(OptionalLong.of(Long.parseLong(read)), settings.findByteSize(key));
        }
    }

    // The shared cases hold a size of each kind once: here the edges of 64 bits, and a key that is absent.
    @ParameterizedTest(name = "{0}")
    @CsvSource(delimiter = '|', value = {
            "9223372036854775807 | 9223372036854775807", "9223372036854775808 | 9223372036854775807",
            "-9223372036854775808 | -9223372036854775808", "-9223372036854775809 | -9223372036854775808",
            "-99999999999999999999m | -9223372036854775808", "8796093022207m | 9223372036853727232",
            "8796093022208m | 9223372036854775807", "-8796093022208m | -9223372036854775808",
            "' \t+64K' | 65536", "-1k | -1024", "k | 0"})
    void sizesAtTheEdgesOf64Bits(String value, long read) {
        assertEquals(OptionalLong.of(read), Settings.of(entries("size", value)).findByteSize("size"));
    }

    @Test
    void anAbsentSwitchIsOffAndAnAbsentSizeEmpty() {
        final Settings settings = Settings.of(entries("present", "on"));
        assertFalse(settings.isOn("absent"));
        assertTrue(settings.isOn("present"));
        assertEquals(OptionalLong.empty(), settings.findByteSize("absent"));
    }

    /** Each character of the text is one byte (ISO 8859-1). */
    static byte[] bytes(String text) {
        return text.getBytes(StandardCharsets.ISO_8859_1);
    }

    static Map<String, String> parse(String text) {
        return Settings.parse(bytes(text)).asMap();
    }

    // The cases the launcher's reader runs too (tests/cases/properties.txt).
    static Stream<Arguments> rules() throws IOException {
        final List<Arguments> rules = new ArrayList<>();
        for (SharedCases.Case c : SharedCases.read("properties.txt")) {
            final Map<String, String> expected = new LinkedHashMap<>();
            for (List<String> entry : c.all("entry")) {
                expected.put(entry.get(0), entry.get(1));
            }
            rules.add(Arguments.of(c.name, SharedCases.bytes(c.one("bytes")), expected));
        }
        return rules.stream();
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("rules")
    void readsWithTheLaunchersRules(String rule, byte[] bytes, Map<String, String> expected) {
        // Compared as maps: the order of the entries is another test's.
        assertEquals(new HashMap<>(expected), new HashMap<>(Settings.parse(bytes).asMap()));
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
        assertEquals(Optional.of(""), settings.find("empty"));
        assertEquals(Optional.empty(), settings.find("absent"));
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
