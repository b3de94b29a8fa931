package org.ravelin.packager.settings;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.File;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Optional;
import java.util.stream.Stream;
import java.util.zip.ZipEntry;
import java.util.zip.ZipOutputStream;

import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import org.ravelin.launcher.SharedCases;

class SettingsCheckTest {
    @TempDir
    Path application;

    static void writeJar(Path jar, String... entries) throws IOException {
        Files.createDirectories(jar.getParent());
        try (OutputStream file = Files.newOutputStream(jar); ZipOutputStream zip = new ZipOutputStream(file)) {
            for (String entry : entries) {
                zip.putNextEntry(new ZipEntry(entry));
                zip.write(new byte[] {(byte) 0xCA, (byte) 0xFE});
                zip.closeEntry();
            }
        }
    }

    /** An application directory with the Java side library's jar and the application's. */
    static void layOut(Path application) throws IOException {
        writeJar(application.resolve("lib/ravelin-java.jar"), "org/ravelin/launcher/RavelinMain.class");
        writeJar(application.resolve("lib/app.jar"), "com/example/App.class", "com/example/App$Inner.class");
        Files.write(application.resolve("lib/readme.txt"), "not a jar".getBytes(StandardCharsets.US_ASCII));
        Files.createDirectories(application.resolve("classes/com/example"));
        Files.write(application.resolve("classes/com/example/Loose.class"), new byte[] {1});
    }

    static Map<String, String> complete() {
        final Map<String, String> settings = new LinkedHashMap<>();
        settings.put("qel.nl.java.launcher.main.class", "org.ravelin.launcher.RavelinMain");
        settings.put("qel.application.main.class", "com.example.App");
        settings.put("qel.class.path", "lib/ravelin-java.jar;lib/app.jar");
        settings.put("qel.nl.valid.vm.list", "J2");
        return settings;
    }

    @BeforeEach
    void layOutApplication() throws IOException {
        layOut(application);
    }

    @Test
    void completeSettingsAndTheApplicationsOwnKeysGiveNoFinding() {
        final Map<String, String> settings = complete();
        settings.put("shop.database", "shop.db");
        settings.put("qel.nl.java.option.java.heap.size.max", "512m");
        settings.put("qel.service.start", "delayed");
        assertEquals(new ArrayList<Finding>(), SettingsCheck.check(settings, application));
    }

    // What the launcher makes of each value, and whether the check reports it: the cases the launcher's own
    // accessors run too.
    static String launcherReading(String key, SettingKey.Kind kind, String value) {
        if (key.equals(LauncherRules.RESTART_DELAY_KEY)) {
            return LauncherRules.restartDelayMs(value).map(ms -> Long.toString(ms)).orElse("refused");
        }
        if (key.equals(LauncherRules.LOG_SIZE_KEY)) {
            return LauncherRules.serviceLogSize(value).map(size -> Long.toString(size)).orElse("refused");
        }
        if (key.equals(LauncherRules.LOG_KEEP_KEY)) {
            return LauncherRules.serviceLogKeep(value).map(keep -> Long.toString(keep)).orElse("refused");
        }
        switch (kind) {
        case SIZE:
            return Long.toString(LauncherRules.byteSize(value));
        case SWITCH:
            return Boolean.toString(LauncherRules.isSwitchOn(value));
        case PAUSE_SWITCH:
            return Boolean.toString(LauncherRules.isPauseOn(value));
        case SECONDS:
            return Long.toString(LauncherRules.secondsMs(value));
        case INTEGER:
            return Integer.toString(LauncherRules.decimal32(value));
        case SERVICE_START:
            return LauncherRules.serviceStart(value).orElse("refused");
        case SERVICE_ACCOUNT:
            return LauncherRules.serviceAccount(value).orElse("refused");
        case SERVICE_DEPENDENCIES:
            return LauncherRules.serviceDependencies(value)
                    .map(list -> list.isEmpty() ? "none" : String.join(";", list)).orElse("refused");
        case WEB_ADDRESS:
            return LauncherRules.isDownloadUrlAcceptable(value) ? "accepted" : "refused";
        default:
            throw new IllegalArgumentException("no shared cases for " + kind);
        }
    }

    static Stream<SharedCases.Case> valueCases() throws IOException {
        return SharedCases.read("setting_values.txt").stream();
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("valueCases")
    void readsEachValueAsTheLauncherAndReportsTheMisreadOnes(SharedCases.Case c) {
        final String key = c.one("key");
        final String value = c.one("value");
        final SettingKey.Kind kind = SettingKeys.find(key).get().kind();
        assertEquals(c.one("read"), launcherReading(key, kind, value));
        final Map<String, String> settings = complete();
        settings.put(key, value);
        final List<Finding> findings = SettingsCheck.check(settings, application);
        assertEquals(c.one("finding").equals("yes") ? 1 : 0, findings.size(), findings.toString());
        findings.forEach(finding -> assertEquals(key, finding.key()));
    }

    /** A change to the complete settings (a null value removes the key), and the one finding it gives. */
    static Stream<Arguments> badSettings() {
        return Stream.of(
                bad("qel.clas.path", "lib/app.jar", "qel.clas.path", "unknown key", "qel.class.path"),
                bad("qle.single.instance", "true", "qle.single.instance", "unknown key", "qel.single.instance"),
                bad("qel.single.instace", "true", "qel.single.instace", "unknown key", "qel.single.instance"),
                bad("qel.frobnicate.everything.now", "1", "qel.frobnicate.everything.now", "unknown key", null),
                bad("qel.console", "true", "qel.console", "unknown key", null),
                bad("qel.nl.java.option.java.heap.size.max", "1g", "qel.nl.java.option.java.heap.size.max",
                        "reads \"1g\" as 1 bytes", "1024m"),
                bad("qel.nl.java.option.java.heap.size.initial", "256 MB",
                        "qel.nl.java.option.java.heap.size.initial", "as 256 bytes", "256m"),
                bad("qel.single.instance", "yes", "qel.single.instance", "reads \"yes\" as false", "true"),
                bad("qel.win32.console.pause", "t", "qel.win32.console.pause", "true only for true, yes or on",
                        "true"),
                bad("qel.service.stop.timeout", "30s", "qel.service.stop.timeout", "as 30 seconds", null),
                bad("qel.service.restart.delay", "soon", "qel.service.restart.delay",
                        "refuses \"soon\" with message 104", null),
                bad("qel.service.start", "manual", "qel.service.start", "refuses \"manual\"", "demand"),
                bad("qel.service.log.size", "10MB", "qel.service.log.size", "refuse \"10MB\" with message 104", null),
                bad("qel.service.log.keep", " 3", "qel.service.log.keep", "reads \" 3\" as 3", "3"),
                bad("qel.vm.download.url", "file:///C:/setup.exe", "qel.vm.download.url", "message 104", null),
                bad("qel.application.name", "Sh\u0000op", "qel.application.name", "U+0000", null),
                bad("qel.nl.java.launcher.main.class", null, "qel.nl.java.launcher.main.class", "missing", null),
                bad("qel.nl.java.launcher.main.class", "", "qel.nl.java.launcher.main.class", "missing", null),
                bad("qel.nl.valid.vm.list", null, "qel.nl.valid.vm.list", "neither", null),
                bad("qel.class.path", null, "qel.class.path", "missing", null),
                bad("qel.class.path", ";;", "qel.class.path", "no entry", null),
                bad("qel.application.main.class", null, "qel.application.main.class", "exit code 4", null),
                bad("qel.class.path", "lib/ravelin-java.jar;lib/app.jar;lib/gone.jar", "qel.class.path",
                        "lib/gone.jar does not exist", null),
                bad("qel.class.path", "lib/ravelin-java.jar;lib/app.jar;lib/readme.txt", "qel.class.path",
                        "lib/readme.txt is neither a directory nor a jar", null),
                bad("qel.class.path", "lib/ravelin-java.jar;nothing/*", "qel.class.path",
                        "the directory of nothing/* does not exist", null),
                bad("qel.application.main.class", "com.example.Missing", "qel.application.main.class",
                        "com.example.Missing is in none of the class path's entries", null),
                bad("qel.class.path", "lib/app.jar", "qel.nl.java.launcher.main.class",
                        "org.ravelin.launcher.RavelinMain is in none", null),
                bad("qel.application.main.class", "com/example/Missing", "qel.application.main.class",
                        "com/example/Missing is in none of the class path's entries", null),
                bad("qel.application.main.class", "com/example//App", "qel.application.main.class",
                        "not a Java class name", null));
    }

    static Arguments bad(String key, String value, String findingKey, String fragment, String suggestion) {
        return Arguments.of(key + "=" + value, key, value, findingKey, fragment, suggestion);
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("badSettings")
    void findsWhatTheLauncherWouldRefuseOrMisread(String name, String key, String value, String findingKey,
            String fragment, String suggestion) {
        final Map<String, String> settings = complete();
        if (value == null) {
            settings.remove(key);
        } else {
            settings.put(key, value);
        }
        final List<Finding> findings = SettingsCheck.check(settings, application);
        assertEquals(1, findings.size(), findings.toString());
        final Finding finding = findings.get(0);
        assertEquals(findingKey, finding.key());
        assertTrue(finding.message().contains(fragment), finding.message());
        assertEquals(Optional.ofNullable(suggestion), finding.suggestion());
    }

    @Test
    void aFindingSaysItsSuggestionAsAKeyOrAsASetting() {
        final Map<String, String> settings = complete();
        settings.put("qel.clas.path", "lib/app.jar");
        settings.put("qel.single.instance", "yes");
        final List<Finding> findings = SettingsCheck.check(settings, application);
        assertEquals(2, findings.size(), findings.toString());
        assertTrue(findings.get(0).toString().startsWith("qel.clas.path: unknown key"), findings.get(0).toString());
        assertTrue(findings.get(0).toString().endsWith(" (did you mean qel.class.path?)"));
        assertTrue(findings.get(1).toString().endsWith(" (did you mean qel.single.instance=true?)"));
    }

    /** Class paths that the launcher finds on Windows, each with the application's class in it. */
    @ParameterizedTest
    @MethodSource("classPathsThatHoldTheClasses")
    void findsTheClassesAsTheLauncherFindsTheEntries(String classPath, String applicationClass) {
        final Map<String, String> settings = complete();
        settings.put("qel.class.path", classPath);
        settings.put("qel.application.main.class", applicationClass);
        assertEquals(new ArrayList<Finding>(), SettingsCheck.check(settings, application));
    }

    static Stream<Arguments> classPathsThatHoldTheClasses() {
        return Stream.of(Arguments.of("lib\\ravelin-java.jar;lib\\app.jar", "com.example.App"),
                Arguments.of(";lib/ravelin-java.jar;;lib//app.jar;", "com.example.App$Inner"),
                Arguments.of("LIB/Ravelin-Java.JAR;lib/APP.jar", "com.example.App"),
                Arguments.of("lib/*", "com.example.App"),
                // The VM and the ready main class take slashes for dots.
                Arguments.of("lib/*", "com/example/App"),
                Arguments.of("./lib/ravelin-java.jar;lib/../classes", "com.example.Loose"));
    }

    @Test
    void entriesOutsideTheBuildMachineAreNotHeldAgainstTheClasses() {
        final Map<String, String> settings = complete();
        settings.put("qel.class.path", "$ENV_CLASSPATH$");
        assertEquals(new ArrayList<Finding>(), SettingsCheck.check(settings, application));
        settings.put("qel.class.path", "lib/ravelin-java.jar;$ENV_CLASSPATH$");
        assertEquals(new ArrayList<Finding>(), SettingsCheck.check(settings, application));
        assumeTrue(File.separatorChar == '/', "a drive path is one of this machine's on Windows");
        settings.put("qel.class.path", "lib/ravelin-java.jar;C:/shop/app.jar");
        assertEquals(new ArrayList<Finding>(), SettingsCheck.check(settings, application));
    }

    @Test
    void linesJoinedToTheOneBeforeAreNoLinesOfTheirOwn() throws IOException {
        final String text = "# qel.class.path lib\r\nqel.nl.java.option.additional=-Da=1 \\\r\n"
                + "qel.nl.java.option.verbose gc \\\r\n  qel.nl.java.option.debugging:true\r\n"
                + "qel.nl.java.option.compiler:true\r\n";
        final Path file = application.resolve("Joined.qel");
        Files.write(file, (SettingsCheckCasesTest.COMPLETE + text).getBytes(StandardCharsets.ISO_8859_1));
        final List<SettingsFile.Line> lines = SettingsFile.lines(Files.readAllBytes(file));
        assertEquals(6, lines.size());
        assertEquals(6, lines.get(4).number());
        assertEquals("qel.nl.java.option.compiler:true", lines.get(5).text());
        assertEquals(9, lines.get(5).number());
        final List<Finding> findings = SettingsCheck.checkFile(file, application);
        assertEquals(1, findings.size(), findings.toString());
        assertEquals("qel.nl.java.option.compiler", findings.get(0).key());
        assertTrue(findings.get(0).message().startsWith("line 9 (qel.nl.java.option.compiler:true) is not read"),
                findings.get(0).message());
    }

    @Test
    void editDistanceCountsSwappedNeighboursAsOneEdit() {
        assertEquals(1, SettingsCheck.editDistance("qel.clas.path", "qel.class.path"));
        assertEquals(1, SettingsCheck.editDistance("qel.calss.path", "qel.class.path"));
        assertEquals(2, SettingsCheck.editDistance("qle.clas.path", "qel.class.path"));
        assertEquals(0, SettingsCheck.editDistance("", ""));
        assertEquals(4, SettingsCheck.editDistance("", "abcd"));
    }
}
