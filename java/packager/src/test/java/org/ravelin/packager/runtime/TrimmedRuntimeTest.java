package org.ravelin.packager.runtime;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.Properties;
import java.util.TreeSet;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.ravelin.launcher.TestPrerequisites;
import org.ravelin.packager.Main;
import org.ravelin.packager.settings.SettingsFile;

/**
 * Trimming for real: a runtime of the example application's modules, linked by this machine's jlink from the jmods
 * of Debian's JDK 17 (ravelin.jdk, by default the JDK running the tests), which stands in for a Windows JDK of the
 * same version here: its jmods are linked, its own programs never run.
 */
class TrimmedRuntimeTest {
    @TempDir
    Path dir;

    static Path jdk() {
        return Paths.get(System.getProperty("ravelin.jdk", System.getProperty("java.home")));
    }

    // A Windows JDK as the packager sees one: bin\java.exe, the release file and the jmods (Debian's).
    Path windowsJdk() throws IOException {
        assumeTrue(Files.isDirectory(jdk().resolve("jmods")), jdk() + " has no jmods");
        final Path home = dir.resolve("jdk-17");
        BundledRuntimeTest.write(home.resolve("bin/java.exe"), "MZ");
        Files.copy(jdk().resolve("release"), home.resolve("release"));
        Files.createSymbolicLink(home.resolve("jmods"), jdk().resolve("jmods"));
        return home;
    }

    Path program(String name) throws IOException {
        // The example's jars, which the C++ build makes after the Maven build: given by its test run.
        TestPrerequisites.require(!System.getProperty("ravelin.example.jar", "").isEmpty()
                && !System.getProperty("ravelin.java.jar", "").isEmpty(),
                "the example application's jars (ravelin.example.jar and ravelin.java.jar)");
        final Path program = dir.resolve(name);
        Files.createDirectories(program.resolve("lib"));
        Files.copy(Paths.get(System.getProperty("ravelin.example.jar")), program.resolve("lib/hello.jar"));
        Files.copy(Paths.get(System.getProperty("ravelin.java.jar")), program.resolve("lib/ravelin-java.jar"));
        BundledRuntimeTest.write(program.resolve("Hello.qel"), "qel.application.name=Hello\r\n"
                + "qel.nl.java.launcher.main.class=org.ravelin.launcher.RavelinMain\r\n"
                + "qel.application.main.class=hello.Main\r\n"
                + "qel.class.path=lib\\\\ravelin-java.jar;lib\\\\hello.jar;$ENV_CLASSPATH$\r\n"
                + "qel.nl.valid.vm.list=J2\r\n");
        return program;
    }

    static String output(Path directory, String... command) throws IOException, InterruptedException {
        final Process process = new ProcessBuilder(command).directory(directory.toFile()).redirectErrorStream(true)
                .start();
        final ByteArrayOutputStream out = new ByteArrayOutputStream();
        try (InputStream in = process.getInputStream()) {
            final byte[] buffer = new byte[8192];
            for (int n; (n = in.read(buffer)) > 0;) {
                out.write(buffer, 0, n);
            }
        }
        assertEquals(0, process.waitFor(), String.join(" ", command));
        return new String(out.toByteArray(), StandardCharsets.UTF_8);
    }

    static long size(Path folder) throws IOException {
        long bytes = 0;
        for (Path file : BundledRuntime.files(folder)) {
            bytes += Files.size(file);
        }
        return bytes;
    }

    @Test
    void theExampleGetsARuntimeOfItsModulesThatIsTheSameEachTime() throws Exception {
        final Path jdk = windowsJdk();
        final List<Map<String, String>> trees = new ArrayList<>();
        for (String build : Arrays.asList("first", "second")) {
            final Path program = program(build + "/Hello");
            final BundledRuntimeTest.Run run = BundledRuntimeTest.packager("runtime", "--program",
                    program.toString(), "--from", jdk.toString(), "--add-modules", "jdk.localedata");
            assertEquals(Main.DONE, run.code, run.err);
            // The example's jars need java.desktop (the library's dialog) beside java.base.
            assertTrue(run.out.contains("trimmed to 3 modules (java.base, java.desktop, jdk.localedata): "), run.out);
            trees.add(BundledRuntimeTest.tree(program.resolve("runtime")));
            assertEquals("runtime\\bin\\javaw.exe", SettingsFile.read(program.resolve("Hello.qel"))
                    .get("qel.nl.current.vm"));

            final Path runtime = program.resolve("runtime");
            final Properties release = new Properties();
            try (InputStream in = Files.newInputStream(runtime.resolve("release"))) {
                release.load(in);
            }
            final Properties jdkRelease = new Properties();
            try (InputStream in = Files.newInputStream(jdk.resolve("release"))) {
                jdkRelease.load(in);
            }
            assertEquals(jdkRelease.getProperty("JAVA_VERSION"), release.getProperty("JAVA_VERSION"));
            final TreeSet<String> released = new TreeSet<>(Arrays.asList(
                    release.getProperty("MODULES").replace("\"", "").trim().split(" +")));
            // What the image itself lists: the modules asked for and those they require, nothing else.
            final TreeSet<String> listed = new TreeSet<>();
            for (String line : output(program, runtime.resolve("bin/java").toString(), "--list-modules")
                    .split("\\R")) {
                if (!line.trim().isEmpty()) {
                    listed.add(line.trim().split("@")[0]);
                }
            }
            assertEquals(released, listed);
            assertTrue(listed.containsAll(Arrays.asList("java.base", "java.desktop", "jdk.localedata")), listed.toString());
            assertFalse(listed.contains("jdk.compiler"), listed.toString());
            assertFalse(Files.exists(runtime.resolve("include")));
            assertFalse(Files.exists(runtime.resolve("man")));
            // A fraction of the whole JDK.
            final long trimmed = size(runtime);
            final long whole = size(jdk());
            assertTrue(trimmed * 2 < whole, trimmed + " bytes trimmed against " + whole);
        }
        assertEquals(trees.get(0).keySet(), trees.get(1).keySet());
        for (String name : trees.get(0).keySet()) {
            assertArrayEquals(trees.get(0).get(name).getBytes(StandardCharsets.ISO_8859_1),
                    trees.get(1).get(name).getBytes(StandardCharsets.ISO_8859_1), name);
        }
    }
}
