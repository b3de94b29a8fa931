package org.ravelin.launcher;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.Map;
import java.util.Optional;
import java.util.concurrent.atomic.AtomicReference;
import java.util.stream.Stream;

import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;

class LaunchContextTest {
    @TempDir
    Path dir;
    Path properties;
    Path handoff;

    @BeforeEach
    void writeFiles() throws IOException {
        properties = dir.resolve("Shop Floor/Shop.qel");
        Files.createDirectories(properties.getParent());
        Files.write(properties, SettingsTest.bytes("qel.stdout.redirect = logs/out.txt\nname=caf\u00e9\n"));
        handoff = dir.resolve("qel1.tmp");
        Files.write(handoff, HandoffTest.file("qel.nl.current.vm=C:\\\\j\\\\javaw.exe"));
    }

    /** The launcher's two arguments, with forward slashes, before the given ones. */
    String[] arguments(String... application) {
        final String[] all = new String[application.length + 2];
        all[0] = properties.toString().replace('\\', '/');
        all[1] = handoff.toString().replace('\\', '/');
        System.arraycopy(application, 0, all, 2, application.length);
        return all;
    }

    @Test
    void theApplicationsArgumentsFollowTheLaunchersTwo() throws LaunchContextException {
        final LaunchContext context = LaunchContext.fromArguments(arguments("-open", "C:\\\\My Files\\\\a.txt", ""));
        assertEquals(properties, context.propertiesFile());
        assertEquals(handoff, context.handoffFile());
        assertEquals(Arrays.asList("-open", "C:\\My Files\\a.txt", ""), context.applicationArguments());
        assertEquals(Arrays.asList("-open", "C:\\\\My Files\\\\a.txt", ""), context.rawApplicationArguments());
        assertEquals(Optional.of("caf\u00e9"), context.settings().find("name"));
        assertEquals(Optional.of("C:\\j\\javaw.exe"), context.handoff().findVmPath());
        assertThrows(UnsupportedOperationException.class, () -> context.applicationArguments().add("x"));
        assertThrows(UnsupportedOperationException.class, () -> context.rawApplicationArguments().add("x"));
    }

    // The launcher doubles every backslash of an application's argument; each pair is one backslash again. Received
    // form, then the argument as the user typed it.
    @ParameterizedTest(name = "[{0}]")
    @CsvSource(delimiter = '|', quoteCharacter = '\'', value = {
            "C:\\\\My Files\\\\a.txt | C:\\My Files\\a.txt",
            "\\\\\\\\server\\\\share | \\\\server\\share",
            "a\\\\\\\\\\\\b | a\\\\\\b",
            "say \\\\\"hi\\\\\" | say \\\"hi\\\"",
            "end\\\\ | end\\",
            "lone\\x | lone\\x",
            "odd\\\\\\ | odd\\\\",
            "'' | ''",
            "no backslash | no backslash"})
    void eachPairOfBackslashesIsOneAgain(String received, String typed) throws LaunchContextException {
        final LaunchContext context = LaunchContext.fromArguments(arguments(received));
        assertEquals(Collections.singletonList(typed), context.applicationArguments());
        assertEquals(Collections.singletonList(received), context.rawApplicationArguments());
    }

    @Test
    void noApplicationArguments() throws LaunchContextException {
        assertEquals(Collections.emptyList(), LaunchContext.fromArguments(arguments()).applicationArguments());
    }

    @Test
    void theLaunchersArgumentsAreRequired() {
        final List<String[]> tooFew = Arrays.asList(new String[0], new String[] {properties.toString()});
        for (String[] args : tooFew) {
            final LaunchContextException e =
                    assertThrows(LaunchContextException.class, () -> LaunchContext.fromArguments(args));
            assertEquals("the launcher's arguments are missing: expected the properties file and the hand-off file "
                    + "before the application's arguments, got " + args.length + " argument"
                    + (args.length == 1 ? "" : "s"), e.getMessage());
        }
    }

    @Test
    void unreadableFilesAreNamed() throws IOException {
        final Path missing = dir.resolve("missing.qel");
        final LaunchContextException noProperties = assertThrows(LaunchContextException.class,
                () -> LaunchContext.fromArguments(missing.toString(), handoff.toString()));
        assertEquals("cannot read the properties file " + missing + ": no such file or directory",
                noProperties.getMessage());
        final LaunchContextException noHandoff = assertThrows(LaunchContextException.class,
                () -> LaunchContext.fromArguments(properties.toString(), missing.toString()));
        assertEquals("cannot read the hand-off file " + missing + ": no such file or directory",
                noHandoff.getMessage());
        Files.write(handoff, HandoffTest.file("qel.nl.env.exact_case.A=1"));
        final LaunchContextException notHandoff = assertThrows(LaunchContextException.class,
                () -> LaunchContext.fromArguments(arguments()));
        assertEquals("cannot read the hand-off file " + handoff
                + ": not a hand-off file of the launcher: it has no qel.nl.current.vm line", notHandoff.getMessage());
    }

    @Test
    void relativePathsCountFromThePropertiesFilesDirectory() throws LaunchContextException {
        final LaunchContext context = LaunchContext.fromArguments(arguments());
        assertEquals(properties.getParent().resolve("logs/out.txt"), context.resolve("logs/out.txt"));
        final Path absolute = dir.resolve("elsewhere.txt").toAbsolutePath();
        assertEquals(absolute, context.resolve(absolute.toString()));
    }

    // The hand-off file's redirect (the user held Ctrl) comes before the setting.
    @ParameterizedTest(name = "setting [{0}], hand-off [{1}]")
    @CsvSource({"logs/out.txt,,logs/out.txt", "logs/out.txt,console,console", ",console,console", ",,"})
    void redirects(String setting, String fromHandoff, String expected) throws IOException, LaunchContextException {
        Files.write(properties, SettingsTest.bytes(setting == null ? "" : "qel.stderr.redirect=" + setting + "\n"));
        Files.write(handoff, fromHandoff == null ? HandoffTest.file("qel.nl.current.vm=j")
                : HandoffTest.file("qel.control-key=true", "qel.stderr.redirect=" + fromHandoff,
                        "qel.stdout.redirect=" + fromHandoff, "qel.nl.current.vm=j"));
        final LaunchContext context = LaunchContext.fromArguments(arguments());
        assertEquals(expected == null ? "" : expected, context.stderrRedirect());
        assertEquals(fromHandoff == null ? "" : fromHandoff, context.stdoutRedirect());
    }

    @Test
    void noCurrentContextWithoutTheReadyMainClass() {
        assertFalse(LaunchContext.current().isPresent());
    }

    // An application's test makes its own context current, for every thread, and clears it after.
    @Test
    void anApplicationsTestSetsTheCurrentContext() throws InterruptedException {
        final LaunchContext context = LaunchContext.builder().setting("shop.database", "test.db").build();
        final LaunchContext next = LaunchContext.builder().build();
        final AtomicReference<Optional<LaunchContext>> seenByAnotherThread = new AtomicReference<>();
        try {
            LaunchContext.setCurrent(context);
            assertSame(context, LaunchContext.current().get());
            final Thread other = new Thread(() -> seenByAnotherThread.set(LaunchContext.current()));
            other.start();
            other.join();
            assertSame(context, seenByAnotherThread.get().get());
            LaunchContext.setCurrent(next);
            assertSame(next, LaunchContext.current().get());
        } finally {
            LaunchContext.clearCurrent();
        }
        assertEquals(Optional.empty(), LaunchContext.current());
    }

    // An application's test builds the context its code takes, without files.
    @Test
    void aContextBuiltInMemory() {
        final Path shop = dir.resolve("Shop");
        final LaunchContext.Builder builder = LaunchContext.builder()
                .propertiesFile(shop.resolve("Shop.qel"))
                .setting("shop.database", "data/shop.db")
                .setting(Settings.STDOUT_REDIRECT, "logs/out.txt")
                .setting("empty", "")
                .handoffEntry(Handoff.VM_PATH, "C:\\Java\\bin\\javaw.exe")
                .handoffEntry(Handoff.CONSOLE, "false")
                .environmentVariable("Caf\u00e9_Home", "C:\\Caf\u00e9")
                .applicationArguments("-open", "C:\\My Files\\a.txt");
        final LaunchContext context = builder.build();
        builder.setting("later", "x").applicationArguments("later");

        assertEquals(shop.resolve("Shop.qel"), context.propertiesFile());
        assertEquals(shop.resolve("data/shop.db"), context.resolve(context.settings().find("shop.database").get()));
        assertEquals("logs/out.txt", context.stdoutRedirect());
        assertEquals("", context.stderrRedirect());
        assertEquals(Optional.of("C:\\Java\\bin\\javaw.exe"), context.handoff().findVmPath());
        assertFalse(context.handoff().hasConsole());
        assertEquals(Optional.of("C:\\Caf\u00e9"), context.handoff().findEnvironmentValue("CAF\u00c9_home"));
        assertEquals(Arrays.asList("qel.nl.current.vm", "qel.console", "qel.nl.env.caf\u00e9_home",
                "qel.nl.env.CAF\u00e9_HOME", "qel.nl.env.exact_case.Caf\u00e9_Home"),
                new ArrayList<>(context.handoff().asMap().keySet()));
        assertEquals(Arrays.asList("-open", "C:\\My Files\\a.txt"), context.applicationArguments());
        assertEquals(Arrays.asList("-open", "C:\\\\My Files\\\\a.txt"), context.rawApplicationArguments());
        assertFalse(context.settings().contains("later"));
        assertSame(System.in, context.serviceInput());
    }

    // Factories and the builder refuse null where it would stand for a key, a value, a file or an argument, with a
    // NullPointerException that names it.
    static Stream<Arguments> nulls() {
        final Map<String, String> nullKey = Collections.singletonMap(null, "x");
        final Map<String, String> nullValue = Collections.singletonMap("qel.a", null);
        final LaunchContext.Builder builder = LaunchContext.builder();
        return Stream.of(
                row("Settings.of", () -> Settings.of(null), "entries"),
                row("Settings.of", () -> Settings.of(nullKey), "a key of the entries"),
                row("Settings.of", () -> Settings.of(nullValue), "the value of qel.a"),
                row("Settings.parse", () -> Settings.parse(null), "bytes"),
                row("Settings.read", () -> Settings.read(null), "file"),
                row("Handoff.of", () -> Handoff.of(null), "entries"),
                row("Handoff.of", () -> Handoff.of(nullKey), "a key of the entries"),
                row("Handoff.of", () -> Handoff.of(nullValue), "the value of qel.a"),
                row("Handoff.parse", () -> Handoff.parse(null), "bytes"),
                row("Handoff.read", () -> Handoff.read(null), "file"),
                row("setting", () -> builder.setting(null, "x"), "key"),
                row("setting", () -> builder.setting("a", null), "value"),
                row("handoffEntry", () -> builder.handoffEntry(null, "x"), "key"),
                row("handoffEntry", () -> builder.handoffEntry("a", null), "value"),
                row("environmentVariable", () -> builder.environmentVariable(null, "x"), "name"),
                row("environmentVariable", () -> builder.environmentVariable("A", null), "value"),
                row("propertiesFile", () -> builder.propertiesFile(null), "file"),
                row("handoffFile", () -> builder.handoffFile(null), "file"),
                row("applicationArguments", () -> builder.applicationArguments((String[]) null), "arguments"),
                row("applicationArguments", () -> builder.applicationArguments("a", null), "arguments[1]"),
                row("fromArguments", () -> LaunchContext.fromArguments((String[]) null), "args"),
                row("fromArguments", () -> LaunchContext.fromArguments("a.qel", null), "args[1]"),
                row("fromArguments", () -> LaunchContext.fromArguments("a.qel", "qel1.tmp", null), "args[2]"),
                row("setCurrent", () -> LaunchContext.setCurrent(null), "context"));
    }

    private static Arguments row(String what, Executable call, String named) {
        return Arguments.of(what, call, named);
    }

    @ParameterizedTest(name = "{0}: null {2}")
    @MethodSource("nulls")
    void factoriesRefuseNullAndNameIt(String what, Executable call, String named) {
        assertEquals(named, assertThrows(NullPointerException.class, call).getMessage());
    }

    // Absent values are empty Optionals.
    @Test
    void absentValues() {
        final Settings settings = LaunchContext.builder().setting("empty", "").build().settings();
        assertEquals(Optional.empty(), settings.find("absent"));
        assertEquals(Optional.of(""), settings.find("empty"));
        final Handoff handoff = LaunchContext.builder().build().handoff();
        assertEquals(Optional.empty(), handoff.findVmPath());
        assertEquals(Optional.empty(), handoff.findEnvironmentValue("PATH"));
        assertEquals(Optional.empty(), handoff.findStopLine());
    }

    // The former names, which applications may call, still give what they gave: null where a value is absent.
    @Test
    @SuppressWarnings("deprecation")
    void theFormerNamesStillWork() {
        final LaunchContext full = LaunchContext.builder().setting("empty", "").setting("a", "1")
                .handoffEntry(Handoff.VM_PATH, "j.exe").handoffEntry(Handoff.CONTROL_KEY, "true")
                .handoffEntry(Handoff.STOP_INPUT, "true").handoffEntry(Handoff.STOP_LINE, "stop")
                .environmentVariable("Path", "C:\\bin").build();
        final LaunchContext empty = LaunchContext.builder().build();
        assertEquals("1", full.settings().get("a"));
        assertEquals("", full.settings().get("empty"));
        assertNull(empty.settings().get("a"));
        assertEquals("j.exe", full.handoff().vmPath());
        assertNull(empty.handoff().vmPath());
        assertEquals("C:\\bin", full.handoff().environmentValue("PATH"));
        assertNull(empty.handoff().environmentValue("PATH"));
        assertEquals("stop", full.handoff().stopLine());
        assertNull(empty.handoff().stopLine());
        assertTrue(full.handoff().controlKeyAtStart());
        assertFalse(empty.handoff().controlKeyAtStart());
        assertSame(full.handoff().asMap(), full.handoff().properties());
    }
}
