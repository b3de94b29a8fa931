package org.ravelin.launcher.e2e;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.net.URISyntaxException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

import org.junit.jupiter.api.Test;
import org.ravelin.launcher.RavelinMain;
import org.ravelin.launcher.testapp.RecordingApplication;

/**
 * The second half of the Java side's end-to-end run: the ready main class on this machine's JVM with the arguments
 * the stand-in VM received from the launcher under Wine (java_side.capture_under_wine), its two paths without the
 * drive Z:. The application prints what it received to the file its properties file names for standard output.
 */
class NativeRunTest {
    static final Path RUN = Paths.get(System.getProperty("ravelin.handoff.run"));

    static String location(Class<?> type) throws URISyntaxException {
        return Paths.get(type.getProtectionDomain().getCodeSource().getLocation().toURI()).toString();
    }

    /** A path the launcher passed under Wine, on this machine: drive Z: is the root of the file system. */
    static String unixPath(String launcherPath) {
        assertTrue(launcherPath.regionMatches(true, 0, "Z:/", 0, 3), launcherPath);
        return launcherPath.substring(2);
    }

    @Test
    void theApplicationReceivesWhatTheLauncherPassed() throws Exception {
        final List<String> received = Files.readAllLines(RUN.resolve("arguments.txt"), StandardCharsets.UTF_8);
        assertEquals(9, received.size(), received.toString());
        final List<String> command = new ArrayList<>(Arrays.asList(
                Paths.get(System.getProperty("java.home"), "bin", "java").toString(), "-cp",
                location(RavelinMain.class) + File.pathSeparator + location(RecordingApplication.class),
                RavelinMain.class.getName(), unixPath(received.get(0)), unixPath(received.get(1))));
        command.addAll(received.subList(2, received.size()));
        final Path output = RUN.resolve("Shop Floor/output.txt");
        Files.deleteIfExists(output);
        final Path errors = RUN.resolve("native-stderr.txt");
        final Process process = new ProcessBuilder(command).directory(RUN.toFile())
                .redirectOutput(RUN.resolve("native-stdout.txt").toFile()).redirectError(errors.toFile()).start();
        assertEquals(0, process.waitFor());

        // The VM program as the launcher wrote it, and the setting with its backslashes as written in the file.
        final String vm = "Z:" + RUN.toString().replace('/', '\\') + "\\vm\\jre\\bin\\java.exe";
        final List<String> lines = Files.readAllLines(output, StandardCharsets.UTF_8);
        final List<String> expected = Arrays.asList("arguments=7", "argument=-open",
                "argument=C:\\My Files\\a.txt", "argument=caf\\u00e9", "argument=two  words",
                "argument=\\\\server\\share\\x", "argument=C:\\No\\Dir\\", "argument=C:\\No Such\\Dir\\",
                "properties=" + RUN.resolve("Shop Floor/Tool.qel"), "vm=" + vm, "control=false",
                "setting.qel.nl.java.launcher.main.class=" + RavelinMain.class.getName(),
                "setting.qel.application.main.class=" + RecordingApplication.class.getName(),
                "setting.qel.class.path=lib/ravelin-java.jar",
                "setting.qel.nl.current.vm=" + vm.replace("\\", "\\\\"), "setting.qel.nl.valid.vm.list=J2",
                "setting.qel.stdout.redirect=output.txt", "setting.greeting=caf\\u00e9");
        assertEquals(expected, lines.subList(0, Math.min(lines.size(), expected.size())));
        // The launcher's environment, by exact names.
        assertTrue(lines.contains("environment.Ravelin_Side=caf\\u00e9 C:\\dir"), lines.toString());
        assertTrue(lines.contains("environment.TMP=" + vm.substring(0, vm.indexOf("\\vm\\")) + "\\temp"),
                lines.toString());
        assertEquals("standard error of the application" + System.lineSeparator(),
                new String(Files.readAllBytes(errors), StandardCharsets.UTF_8));
    }
}
