package org.ravelin.packager.settings;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.io.UnsupportedEncodingException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.stream.Stream;

import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import org.ravelin.packager.Main;

class SettingsCommandsTest {
    @TempDir
    Path application;

    private String out;
    private String err;

    @BeforeEach
    void layOut() throws IOException {
        SettingsCheckTest.layOut(application);
    }

    /** Runs the packager's command line, as java -jar would, keeping what it printed. */
    private int run(String... args) throws UnsupportedEncodingException {
        final ByteArrayOutputStream outBytes = new ByteArrayOutputStream();
        final ByteArrayOutputStream errBytes = new ByteArrayOutputStream();
        final int code = Main.run(Arrays.asList(args), new PrintStream(outBytes, true, "UTF-8"),
                new PrintStream(errBytes, true, "UTF-8"));
        out = new String(outBytes.toByteArray(), StandardCharsets.UTF_8);
        err = new String(errBytes.toByteArray(), StandardCharsets.UTF_8);
        return code;
    }

    private Path file(String name, String text) throws IOException {
        final Path file = application.resolve(name);
        Files.write(file, text.getBytes(StandardCharsets.ISO_8859_1));
        return file;
    }

    private static final String GOOD = "qel.nl.java.launcher.main.class=org.ravelin.launcher.RavelinMain\n"
            + "qel.application.main.class=com.example.App\nqel.class.path=lib/ravelin-java.jar;lib/app.jar\n"
            + "qel.nl.valid.vm.list=J2\n";

    @Test
    void checkSettingsPrintsEachFindingAndFailsOnAny() throws IOException {
        final Path bad = file("bad.qel", GOOD + "qel.clas.path=lib/app.jar\nqel.single.instance=yes\n");
        assertEquals(Main.REFUSED, run("check-settings", "--properties", bad.toString()));
        final String[] lines = out.split("\n");
        assertEquals(2, lines.length, out);
        assertTrue(lines[0].startsWith("qel.clas.path: unknown key") && lines[0].contains("qel.class.path?"), out);
        assertTrue(lines[1].startsWith("qel.single.instance: "), out);
        assertTrue(err.contains("2 findings"), err);
    }

    @Test
    void aCharacterTheOutputCannotHoldIsPrintedAsItsEscape() throws IOException {
        // A no-break space in a download address, as in a file written as UTF-8 and read byte by byte.
        final Path bad = file("nbsp.qel", GOOD + "qel.vm.download.url=https://example.com/\u00a0x\n");
        final ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        final PrintStream ascii = new PrintStream(bytes, true, "US-ASCII");
        assertEquals(Main.REFUSED, Main.run(Arrays.asList("check-settings", "--properties", bad.toString()), ascii,
                ascii, StandardCharsets.US_ASCII));
        final String printed = new String(bytes.toByteArray(), StandardCharsets.US_ASCII);
        assertTrue(printed.contains("\"https://example.com/\\u00a0x\""), printed);
        assertFalse(printed.contains("?"), printed);
        // Where the output holds it, it is printed as itself.
        assertEquals(Main.REFUSED, run("check-settings", "--properties", bad.toString()));
        assertTrue(out.contains("\"https://example.com/\u00a0x\""), out);
        assertEquals("a\\u000ab\tc\\ud83d\\ude00", Main.printable("a\nb\tc\ud83d\ude00", StandardCharsets.US_ASCII));
        assertEquals("\ud83d\ude00\\u0007", Main.printable("\ud83d\ude00\u0007", StandardCharsets.UTF_8));
    }

    @Test
    void checkSettingsPassesGoodSettingsAndCountsPathsFromTheFilesDirectory() throws IOException {
        final Path good = file("good.qel", GOOD);
        assertEquals(Main.DONE, run("check-settings", "--properties", good.toString()));
        assertTrue(out.contains("the launcher takes these settings as written"), out);
        // Elsewhere, the jars are not beside the file.
        final Path elsewhere = Files.createDirectories(application.resolve("elsewhere"));
        assertEquals(Main.REFUSED, run("check-settings", "--properties", good.toString(),
                "--application-directory", elsewhere.toString()));
        assertTrue(out.contains("lib/app.jar does not exist"), out);
    }

    @Test
    void writeSettingsWritesAFileThatTheCheckPasses() throws IOException {
        final Path from = file("base.qel", "qel.application.name=Shop\nqel.nl.valid.vm.list=J1\n");
        final Path output = application.resolve("Shop.qel");
        assertEquals(Main.DONE, run("write-settings", "--output", output.toString(), "--from", from.toString(),
                "--set", "qel.nl.java.launcher.main.class=org.ravelin.launcher.RavelinMain",
                "--set", "qel.application.main.class=com.example.App",
                "--set", "qel.class.path=lib\\ravelin-java.jar;lib/app.jar", "--set", "qel.nl.valid.vm.list=J2",
                "--set", "shop.greeting= Gr\u00fc\u00dfe = hello"));
        assertArrayEquals(("qel.application.name=Shop\r\nqel.nl.valid.vm.list=J2\r\n"
                + "qel.nl.java.launcher.main.class=org.ravelin.launcher.RavelinMain\r\n"
                + "qel.application.main.class=com.example.App\r\n"
                + "qel.class.path=lib\\ravelin-java.jar;lib/app.jar\r\n"
                + "shop.greeting=\\u0020Gr\\u00fc\\u00dfe = hello\r\n").getBytes(StandardCharsets.US_ASCII),
                Files.readAllBytes(output));
        assertTrue(out.contains("wrote " + output), out);
        assertEquals(Main.DONE, run("check-settings", "--properties", output.toString()));
    }

    @Test
    void writeSettingsRefusesToWriteSettingsWithFindingsAndLeavesTheOutputAsItWas() throws IOException {
        final Path output = file("Shop.qel", "an earlier file\n");
        assertEquals(Main.REFUSED, run("write-settings", "--output", output.toString(), "--set",
                "qel.nl.java.launcher.main.class=com.example.App", "--set", "qel.class.path=lib/gone.jar"));
        assertTrue(err.contains("qel.nl.valid.vm.list: missing"), err);
        assertTrue(err.contains("lib/gone.jar does not exist"), err);
        assertTrue(err.contains("not written"), err);
        assertEquals("an earlier file\n", new String(Files.readAllBytes(output), StandardCharsets.ISO_8859_1));
        final List<String> left = new ArrayList<>();
        try (Stream<Path> files = Files.list(application)) {
            files.forEach(f -> left.add(f.getFileName().toString()));
        }
        assertFalse(left.stream().anyMatch(name -> name.endsWith(".tmp")), left.toString());
    }

    static Stream<Arguments> usageErrors() {
        return Stream.of(Arguments.of(new String[] {"check-settings"}, "--properties is missing"),
                Arguments.of(new String[] {"check-settings", "--properties"}, "--properties needs a value"),
                Arguments.of(new String[] {"check-settings", "--output", "x"}, "unknown option --output"),
                Arguments.of(new String[] {"check-settings", "--properties", "a", "--properties", "b"}, "twice"),
                Arguments.of(new String[] {"write-settings", "--set", "k=v"}, "--output is missing"),
                Arguments.of(new String[] {"write-settings", "--output", "x", "--set", "novalue"},
                        "--set novalue is not KEY=VALUE"));
    }

    @ParameterizedTest
    @MethodSource("usageErrors")
    void aCommandLineThatIsNotUnderstoodIsAUsageError(String[] args, String problem) throws IOException {
        assertEquals(Main.USAGE, run(args));
        assertTrue(err.contains(problem), err);
    }

    @Test
    void eachCommandHasItsHelpAndThePackagersHelpNamesBoth() throws IOException {
        assertEquals(Main.DONE, run("check-settings", "--help"));
        assertTrue(out.startsWith("usage: check-settings --properties FILE"), out);
        assertEquals(Main.DONE, run("write-settings", "--help"));
        assertTrue(out.startsWith("usage: write-settings --output FILE"), out);
        assertEquals(Main.DONE, run("--help"));
        assertTrue(out.contains("check-settings") && out.contains("write-settings"), out);
    }

    @Test
    void aFileThatCannotBeReadIsRefused() throws IOException {
        assertEquals(Main.REFUSED, run("check-settings", "--properties", application.resolve("none.qel").toString()));
        assertTrue(err.contains("cannot read"), err);
    }
}
