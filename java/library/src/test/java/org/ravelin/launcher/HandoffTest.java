package org.ravelin.launcher;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayInputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Optional;
import java.util.Properties;
import java.util.stream.Stream;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

/** The hand-off file as the launcher writes it: ASCII lines with escapes, ended by CR LF. */
class HandoffTest {
    /** The lines joined with CR LF after each, as bytes. */
    static byte[] file(String... lines) {
        final StringBuilder text = new StringBuilder();
        for (String line : lines) {
            text.append(line).append("\r\n");
        }
        return text.toString().getBytes(StandardCharsets.US_ASCII);
    }

    // A run with Ctrl held: the three switches, the VM, then three lines per variable (lower case, upper case, exact
    // name), sorted by name; the case changes before the escapes, so they stay lower-case.
    static final byte[] CONTROL_RUN = file(
            "qel.control-key=true",
            "qel.stderr.redirect=console",
            "qel.stdout.redirect=console",
            "qel.nl.current.vm=C:\\\\Program Files\\\\J\\u00e9\\\\bin\\\\javaw.exe",
            "qel.nl.env.=C:=C:\\\\Users",
            "qel.nl.env.=C:=C:\\\\Users",
            "qel.nl.env.exact_case.=C:=C:\\\\Users",
            "qel.nl.env.caf\\u00e9=cr\\u00e8me \\u4e2d",
            "qel.nl.env.CAF\\u00e9=cr\\u00e8me \\u4e2d",
            "qel.nl.env.exact_case.Caf\\u00e9=cr\\u00e8me \\u4e2d",
            "qel.nl.env.path=C:\\\\Windows;C:\\\\Tools",
            "qel.nl.env.PATH=C:\\\\Windows;C:\\\\Tools",
            "qel.nl.env.exact_case.Path=C:\\\\Windows;C:\\\\Tools",
            "qel.nl.env.temp=C:\\\\Temp",
            "qel.nl.env.TEMP=C:\\\\Temp",
            "qel.nl.env.exact_case.TEMP=C:\\\\Temp");

    @Test
    void readsTheVmTheEnvironmentAndTheControlKey() throws IOException {
        final Handoff handoff = Handoff.parse(CONTROL_RUN);
        assertEquals(Optional.of("C:\\Program Files\\J\u00e9\\bin\\javaw.exe"), handoff.findVmPath());
        assertTrue(handoff.isControlKeyHeldAtStart());
        // Exact names in the file's order; the per-drive entry without a name is left out.
        final Map<String, String> environment = handoff.environment();
        assertEquals(Arrays.asList("Caf\u00e9", "Path", "TEMP"), new ArrayList<>(environment.keySet()));
        assertEquals("cr\u00e8me \u4e2d", environment.get("Caf\u00e9"));
        assertEquals("C:\\Windows;C:\\Tools", environment.get("Path"));
        assertNull(environment.get("PATH"));
        assertEquals("console", handoff.asMap().get(Settings.STDOUT_REDIRECT));
    }

    @Test
    void environmentValueIgnoresCaseAsWindowsDoes() throws IOException {
        final Handoff handoff = Handoff.parse(CONTROL_RUN);
        assertEquals(Optional.of("C:\\Windows;C:\\Tools"), handoff.findEnvironmentValue("PATH"));
        assertEquals(Optional.of("C:\\Temp"), handoff.findEnvironmentValue("temp"));
        assertEquals(Optional.of("cr\u00e8me \u4e2d"), handoff.findEnvironmentValue("CAF\u00c9"));
        assertEquals(Optional.empty(), handoff.findEnvironmentValue("absent"));
    }

    // The stop line counts only when the stop input is on.
    @ParameterizedTest(name = "stop input [{0}], stop line [{1}]")
    @CsvSource({"true,ravelin-stop,ravelin-stop", "TRUE,s,s", "false,s,", ",s,", "true,,"})
    void theStopLineNeedsTheStopInput(String input, String line, String expected) {
        final Map<String, String> entries = new HashMap<>();
        if (input != null) {
            entries.put(Handoff.STOP_INPUT, input);
        }
        if (line != null) {
            entries.put(Handoff.STOP_LINE, line);
        }
        assertEquals(Optional.ofNullable(expected), Handoff.of(entries).findStopLine());
    }

    @Test
    void withoutControlKeyLinesTheKeyWasNotHeld() throws IOException {
        final Handoff handoff = Handoff.parse(file("qel.nl.current.vm=C:\\\\j\\\\java.exe"));
        assertFalse(handoff.isControlKeyHeldAtStart());
        assertTrue(handoff.environment().isEmpty());
        assertNull(handoff.asMap().get(Settings.STDOUT_REDIRECT));
    }

    @Test
    void javaUtilPropertiesReadsTheSame() throws IOException {
        final Properties properties = new Properties();
        properties.load(new ByteArrayInputStream(CONTROL_RUN));
        assertEquals(new HashMap<>(properties), new HashMap<>(Handoff.parse(CONTROL_RUN).asMap()));
    }

    // Names and values with what the launcher escapes: line breaks, tab, form feed and other control characters, the
    // separators, comment characters and blanks of a key, a value's leading blank, backslashes, characters beyond
    // ASCII and surrogate pairs.
    static final byte[] ESCAPED_RUN = file(
            "qel.nl.current.vm=\\ C:\\\\J\\\\n\\\\java.exe",
            "qel.nl.env.exact_case.a\\nqel.nl.current.vm\\=C\\:\\\\evil=a\\nqel.nl.current.vm=C:\\\\evil.exe",
            "qel.nl.env.exact_case.\\ \\#\\!\\=\\:x\\ =\\ #!=: x ",
            "qel.nl.env.exact_case.c\\r\\t\\f\\u0000\\u001b\\u007f=\\r\\n\\t\\f\\u0000\\u001b\\u007f",
            "qel.nl.env.exact_case.\\u00c9\\ud83d\\ude00=\\u00e9\\ud83d\\ude00");

    @Test
    void decodesEveryEscapeTheLauncherWrites() throws IOException {
        final Handoff handoff = Handoff.parse(ESCAPED_RUN);
        assertEquals(Optional.of(" C:\\J\\n\\java.exe"), handoff.findVmPath());
        final Map<String, String> expected = new HashMap<>();
        expected.put("a\nqel.nl.current.vm=C:\\evil", "a\nqel.nl.current.vm=C:\\evil.exe");
        expected.put(" #!=:x ", " #!=: x ");
        expected.put("c\r\t\f\u0000\u001b\u007f", "\r\n\t\f\u0000\u001b\u007f");
        expected.put("\u00c9\ud83d\ude00", "\u00e9\ud83d\ude00");
        assertEquals(expected, handoff.environment());
    }

    @Test
    void javaUtilPropertiesReadsTheEscapesTheSame() throws IOException {
        final Properties properties = new Properties();
        properties.load(new ByteArrayInputStream(ESCAPED_RUN));
        assertEquals(new HashMap<>(properties), new HashMap<>(Handoff.parse(ESCAPED_RUN).asMap()));
    }

    // The cases whose key and value the launcher's tests show its writer gives (tests/cases/handoff.txt): the line
    // key=value reads back as the text for both, with this reader and with java.util.Properties.
    static Stream<Arguments> launcherLines() throws IOException {
        final List<Arguments> lines = new ArrayList<>();
        for (SharedCases.Case c : SharedCases.read("handoff.txt")) {
            lines.add(Arguments.of(c.name, c.one("text"), c.one("key") + "=" + c.one("value")));
        }
        return lines.stream();
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("launcherLines")
    void readsBackEveryLineTheLauncherWrites(String what, String text, String line) throws IOException {
        final byte[] bytes = file("qel.nl.current.vm=C:\\\\j\\\\java.exe", line);
        final Map<String, String> expected = new HashMap<>();
        expected.put(Handoff.VM_PATH, "C:\\j\\java.exe");
        expected.put(text, text);
        assertEquals(expected, Handoff.parse(bytes).asMap());
        final Properties properties = new Properties();
        properties.load(new ByteArrayInputStream(bytes));
        assertEquals(expected, new HashMap<>(properties));
    }

    @Test
    void keepsWhatJavaUtilPropertiesWouldLose() throws IOException {
        // Leading blanks of a value, and blanks and colons inside a name.
        final Handoff handoff = Handoff.parse(file("qel.nl.current.vm=  C:\\\\j\\\\java.exe",
                "qel.nl.env.exact_case.My Var:2= two  "));
        assertEquals(Optional.of("  C:\\j\\java.exe"), handoff.findVmPath());
        assertEquals(" two  ", handoff.environment().get("My Var:2"));
    }

    @ParameterizedTest(name = "line end #{index}")
    @ValueSource(strings = {"\n", "\r", "\r\n"})
    void anyLineEnd(String end) throws IOException {
        final String text = "qel.nl.current.vm=C:\\\\java.exe" + end + end + "qel.nl.env.exact_case.A=1" + end;
        final Handoff handoff = Handoff.parse(text.getBytes(StandardCharsets.US_ASCII));
        assertEquals(Optional.of("C:\\java.exe"), handoff.findVmPath());
        assertEquals("1", handoff.environment().get("A"));
    }

    @Test
    void refusesAMalformedEscapeAndAFileWithoutVm() {
        final IOException malformed = assertThrows(IOException.class,
                () -> Handoff.parse(file("qel.nl.current.vm=C:\\\\j", "qel.nl.env.exact_case.A=\\u12G4")));
        assertEquals("malformed \\u escape in line 2 of the hand-off file", malformed.getMessage());
        final IOException noVm = assertThrows(IOException.class,
                () -> Handoff.parse(file("qel.nl.env.exact_case.A=1")));
        assertEquals("not a hand-off file of the launcher: it has no qel.nl.current.vm line", noVm.getMessage());
    }

    // The environment's lines are read only when asked for, but a malformed escape in them fails the reading at once,
    // as in any other line: in a key, cut off by the line's end; an escaped backslash before u is no escape.
    @ParameterizedTest(name = "{0}")
    @CsvSource(delimiter = '|', value = {
            "in a key             | qel.nl.env.a\\u12=1      | ",
            "cut off by the end   | qel.nl.env.a=x\\u00      | ",
            "a bare escape        | qel.nl.env.a=\\u         | ",
            "an escaped backslash | qel.nl.env.exact_case.A=\\\\u12G4 | \\u12G4"})
    void environmentLinesAreCheckedAtOnce(String what, String line, String value) throws IOException {
        final byte[] bytes = file("qel.nl.current.vm=C:\\\\j", line, "qel.console=false");
        if (value == null) {
            final IOException malformed = assertThrows(IOException.class, () -> Handoff.parse(bytes));
            assertEquals("malformed \\u escape in line 2 of the hand-off file", malformed.getMessage());
        } else {
            final Handoff handoff = Handoff.parse(bytes);
            assertEquals(value, handoff.environment().get("A"));
            assertEquals(false, handoff.hasConsole());
        }
    }

    // The launcher writes ASCII only: a byte above 0x7F is refused, named with its offset and line, whatever the line
    // ends.
    @ParameterizedTest(name = "{0}")
    @CsvSource(delimiter = '|', value = {
            "0x80 in a value   | qel.nl.current.vm=C:\\\\j        | qel.nl.env.exact_case.A=x\u0080 | CRLF | 0x80 | 50 | 2",
            "0x80 after CR     | qel.nl.current.vm=C:\\\\j        | qel.nl.env.exact_case.A=x\u0080 | CR   | 0x80 | 49 | 2",
            "0xE9 in a value   | qel.nl.current.vm=C:\\\\Caf\u00e9 | qel.nl.env.exact_case.A=1      | CRLF | 0xE9 | 25 | 1",
            "0xFF in a key     | qel.nl.current.vm=C:\\\\j        | qel.nl.env.exact_case.\u00ff=1  | LF   | 0xFF | 46 | 2",
            "0xFF in a comment | #\u00ff                      | qel.nl.current.vm=C:\\\\j      | CRLF | 0xFF | 1  | 1"})
    void refusesBytesBeyondAscii(String what, String first, String second, String lineEnd, String value, int offset,
            int line) {
        final String end = lineEnd.replace("CR", "\r").replace("LF", "\n");
        final byte[] bytes = (first + end + second + end).getBytes(StandardCharsets.ISO_8859_1);
        final IOException e = assertThrows(IOException.class, () -> Handoff.parse(bytes));
        assertEquals("byte " + value + " at offset " + offset + " (line " + line + ") of the hand-off file is not ASCII:"
                + " the launcher writes every other character as \\uXXXX", e.getMessage());
    }

    @Test
    void theLastAsciiByteIsRead() throws IOException {
        final byte[] bytes = "qel.nl.current.vm=j\u007f\r\n".getBytes(StandardCharsets.US_ASCII);
        assertEquals(Optional.of("j\u007f"), Handoff.parse(bytes).findVmPath());
    }

    @Test
    void readsAFile(@TempDir Path dir) throws IOException {
        final Path path = dir.resolve("qel3F.tmp");
        Files.write(path, CONTROL_RUN);
        assertEquals(Handoff.parse(CONTROL_RUN).asMap(), Handoff.read(path).asMap());
    }
}
