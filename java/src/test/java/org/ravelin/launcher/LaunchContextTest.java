package org.ravelin.launcher;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.Optional;

import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

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
        assertEquals("caf\u00e9", context.settings().get("name"));
        assertEquals("C:\\j\\javaw.exe", context.handoff().vmPath());
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
        assertEquals(shop.resolve("data/shop.db"), context.resolve(context.settings().get("shop.database")));
        assertEquals("logs/out.txt", context.stdoutRedirect());
        assertEquals("", context.stderrRedirect());
        assertEquals("C:\\Java\\bin\\javaw.exe", context.handoff().vmPath());
        assertFalse(context.handoff().hasConsole());
        assertEquals("C:\\Caf\u00e9", context.handoff().environmentValue("CAF\u00c9_home"));
        assertEquals(Arrays.asList("qel.nl.current.vm", "qel.console", "qel.nl.env.caf\u00e9_home",
                "qel.nl.env.CAF\u00e9_HOME", "qel.nl.env.exact_case.Caf\u00e9_Home"),
                new ArrayList<>(context.handoff().properties().keySet()));
        assertEquals(Arrays.asList("-open", "C:\\My Files\\a.txt"), context.applicationArguments());
        assertEquals(Arrays.asList("-open", "C:\\\\My Files\\\\a.txt"), context.rawApplicationArguments());
        assertFalse(context.settings().contains("later"));
        assertSame(System.in, context.serviceInput());
    }

    // Absent values: Optional in find and current(), null in get(key), documented so.
    @Test
    void absentValues() {
        final Settings settings = LaunchContext.builder().setting("empty", "").build().settings();
        assertEquals(Optional.empty(), settings.find("absent"));
        assertEquals(Optional.of(""), settings.find("empty"));
        assertNull(settings.get("absent"));
        assertEquals("", settings.get("empty"));
        assertNull(LaunchContext.builder().build().handoff().vmPath());
    }
}
