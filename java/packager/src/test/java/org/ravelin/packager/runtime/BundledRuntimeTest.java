package org.ravelin.packager.runtime;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.io.UnsupportedEncodingException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.zip.ZipEntry;
import java.util.zip.ZipOutputStream;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.ravelin.packager.Main;
import org.ravelin.packager.settings.SettingsFile;

/** The runtime command over small runtimes made here: what it lays out, what it writes, what it refuses. */
class BundledRuntimeTest {
    @TempDir
    Path dir;

    /** The output of one run of the packager. */
    static final class Run {
        final int code;
        final String out;
        final String err;

        Run(int code, String out, String err) {
            this.code = code;
            this.out = out;
            this.err = err;
        }
    }

    static Run packager(String... args) throws UnsupportedEncodingException {
        final ByteArrayOutputStream out = new ByteArrayOutputStream();
        final ByteArrayOutputStream err = new ByteArrayOutputStream();
        final int code = Main.run(Arrays.asList(args), new PrintStream(out, true, "UTF-8"),
                new PrintStream(err, true, "UTF-8"));
        return new Run(code, new String(out.toByteArray(), StandardCharsets.UTF_8),
                new String(err.toByteArray(), StandardCharsets.UTF_8));
    }

    // A Windows runtime as a distributor lays it out, below base.
    static Path runtime(Path base) throws IOException {
        write(base.resolve("bin/java.exe"), "MZ java");
        write(base.resolve("bin/javaw.exe"), "MZ javaw");
        write(base.resolve("bin/server/jvm.dll"), "MZ jvm");
        write(base.resolve("lib/modules"), "modules");
        write(base.resolve("release"), "JAVA_VERSION=\"17.0.12\"\n");
        return base;
    }

    // A program's folder as the packager's other commands leave it.
    Path program(String name) throws IOException {
        final Path program = dir.resolve(name);
        write(program.resolve("lib/app.jar"), "not read");
        final Map<String, String> settings = new LinkedHashMap<>();
        settings.put("qel.application.name", "Shop");
        settings.put("qel.nl.java.launcher.main.class", "shop.Main");
        settings.put("qel.class.path", "lib\\app.jar");
        SettingsFile.write(settings, program.resolve("Shop.qel"));
        return program;
    }

    static void write(Path file, String text) throws IOException {
        Files.createDirectories(file.getParent());
        Files.write(file, text.getBytes(StandardCharsets.UTF_8));
    }

    static void zip(Path zip, Map<String, String> entries) throws IOException {
        try (OutputStream out = Files.newOutputStream(zip); ZipOutputStream stream = new ZipOutputStream(out)) {
            for (Map.Entry<String, String> entry : entries.entrySet()) {
                stream.putNextEntry(new ZipEntry(entry.getKey()));
                stream.write(entry.getValue().getBytes(StandardCharsets.UTF_8));
                stream.closeEntry();
            }
        }
    }

    // Every file below a folder with its bytes, by relative name.
    static Map<String, String> tree(Path folder) throws IOException {
        final Map<String, String> files = new LinkedHashMap<>();
        for (Path file : BundledRuntime.files(folder)) {
            files.put(BundledRuntime.slashed(folder, file), new String(Files.readAllBytes(file), StandardCharsets.ISO_8859_1));
        }
        return files;
    }

    @ParameterizedTest(name = "{0} {1}")
    @CsvSource({
        "'',                       runtime\\bin\\javaw.exe, false",
        "--console,                runtime\\bin\\java.exe,  false",
        "--fallback,               runtime\\bin\\javaw.exe, true",
    })
    void aRuntimeFolderIsCopiedAndNamedInTheSettings(String option, String vm, String fallback) throws Exception {
        final Path given = runtime(dir.resolve("jre-17"));
        final Path program = program("Shop");
        write(program.resolve("runtime/stale.txt"), "from an earlier build");
        final List<String> args = new ArrayList<>(Arrays.asList("runtime", "--program", program.toString(), "--from",
                given.toString()));
        if (!option.isEmpty()) {
            args.add(option);
        }
        final Run run = packager(args.toArray(new String[0]));
        assertEquals(Main.DONE, run.code, run.err);
        assertEquals(tree(given), tree(program.resolve("runtime")));
        assertTrue(run.out.contains("runtime " + program.resolve("runtime") + ": copied as given: 0.0 MB in 5 files"),
                run.out);
        final Map<String, String> settings = SettingsFile.read(program.resolve("Shop.qel"));
        assertEquals(vm, settings.get("qel.nl.current.vm"));
        assertEquals(fallback, settings.get("qel.nl.current.vm.fallback"));
        // The named runtime must pass the acceptable-VM list.
        assertEquals("J2", settings.get("qel.nl.valid.vm.list"));
        assertEquals("shop.Main", settings.get("qel.nl.java.launcher.main.class"));
    }

    @Test
    void aZipOfARuntimeBelowTheDistributorsFolderIsUnpackedAsRuntime() throws Exception {
        final Map<String, String> entries = new LinkedHashMap<>();
        entries.put("README.txt", "about the download");
        entries.put("jdk-17.0.12+7/", "");
        entries.put("jdk-17.0.12+7/bin/java.exe", "MZ java");
        entries.put("jdk-17.0.12+7/bin/javaw.exe", "MZ javaw");
        entries.put("jdk-17.0.12+7/lib/modules", "modules");
        entries.put("jdk-17.0.12+7/demo/bin/java.exe", "a program of a demo, deeper than the runtime's");
        final Path zip = dir.resolve("jdk.zip");
        zip(zip, entries);
        final Path program = program("Shop");
        final Run run = packager("runtime", "--program", program.toString(), "--from", zip.toString());
        assertEquals(Main.DONE, run.code, run.err);
        final Map<String, String> expected = new LinkedHashMap<>();
        expected.put("bin/java.exe", "MZ java");
        expected.put("bin/javaw.exe", "MZ javaw");
        expected.put("demo/bin/java.exe", "a program of a demo, deeper than the runtime's");
        expected.put("lib/modules", "modules");
        assertEquals(expected, tree(program.resolve("runtime")));
    }

    @Test
    void theSameInputsGiveTheSameFilesAndTheSameZip() throws Exception {
        final Path given = runtime(dir.resolve("jre-17"));
        final List<byte[]> zips = new ArrayList<>();
        final List<Map<String, String>> trees = new ArrayList<>();
        for (String build : Arrays.asList("first", "second")) {
            final Path program = program(build + "/Shop");
            final Path zip = dir.resolve(build + "/Shop.zip");
            final Run run = packager("runtime", "--program", program.toString(), "--from", given.toString(), "--zip",
                    zip.toString(), "--zip-time", "2026-01-31T12:00:00");
            assertEquals(Main.DONE, run.code, run.err);
            zips.add(Files.readAllBytes(zip));
            trees.add(tree(program));
            if (build.equals("first")) {
                // A second later, as on another day: nothing of the time the build ran reaches the output.
                Files.setLastModifiedTime(given.resolve("bin/java.exe"),
                        java.nio.file.attribute.FileTime.fromMillis(System.currentTimeMillis() + 86400000L));
            }
        }
        assertEquals(trees.get(0), trees.get(1));
        assertArrayEquals(zips.get(0), zips.get(1));
        assertTrue(trees.get(0).containsKey("runtime/bin/javaw.exe"));
    }

    @ParameterizedTest(name = "{0}")
    @CsvSource(delimiter = '|', value = {
        "a folder without bin\\java.exe | folder-without-java | has no bin\\java.exe",
        "a zip without a runtime        | zip-without-java    | holds no Windows Java runtime: no bin/java.exe in it",
        "a zip that writes outside      | zip-escaping        | which would be written outside the runtime",
        "jmods of another Java version  | jdk-21-jmods        | cannot link the jmods of Java 21.0.2",
        "a runtime that is not there    | missing             | does not exist",
    })
    void refusedRuntimesLeaveTheProgramAsItWas(String what, String kind, String message) throws Exception {
        final Path program = program("Shop");
        final Path given;
        switch (kind) {
            case "folder-without-java":
                given = runtime(dir.resolve("jre"));
                Files.delete(given.resolve("bin/java.exe"));
                break;
            case "zip-without-java":
                given = dir.resolve("jre.zip");
                zip(given, java.util.Collections.singletonMap("jre/bin/javaw.exe", "MZ"));
                break;
            case "zip-escaping": {
                given = dir.resolve("jre.zip");
                final Map<String, String> entries = new LinkedHashMap<>();
                entries.put("jre/bin/java.exe", "MZ");
                entries.put("jre/../../evil.txt", "outside");
                zip(given, entries);
                break;
            }
            case "jdk-21-jmods":
                given = runtime(dir.resolve("jdk-21"));
                write(given.resolve("release"), "JAVA_VERSION=\"21.0.2\"\n");
                write(given.resolve("jmods/java.base.jmod"), "JM");
                break;
            default:
                given = dir.resolve("nothing-here");
        }
        final byte[] settings = Files.readAllBytes(program.resolve("Shop.qel"));
        final Run run = packager("runtime", "--program", program.toString(), "--from", given.toString());
        assertEquals(Main.REFUSED, run.code, run.out);
        assertTrue(run.err.contains(message), run.err);
        assertFalse(Files.exists(program.resolve("runtime")));
        assertFalse(Files.exists(dir.resolve("evil.txt")));
        assertArrayEquals(settings, Files.readAllBytes(program.resolve("Shop.qel")));
    }

    @Test
    void theJlinkVersionIsNamedBesideTheJmodsVersion() throws Exception {
        final Path jdk = runtime(dir.resolve("jdk-21"));
        write(jdk.resolve("release"), "JAVA_VERSION=\"21.0.2\"\n");
        write(jdk.resolve("jmods/java.base.jmod"), "JM");
        final Run run = packager("runtime", "--program", program("Shop").toString(), "--from", jdk.toString());
        // The jlink of the JDK that runs the tests, named by its version, whose feature number comes first.
        final int jlinkFeature = RuntimeLinker.feature(System.getProperty("java.version"));
        assertTrue(run.err.contains("jlink " + jlinkFeature), run.err);
        assertTrue(run.err.contains("a jlink of Java 21 is needed"), run.err);
    }

    @ParameterizedTest(name = "{0} is Java {1}")
    @CsvSource({"17.0.12, 17", "1.8.0_392, 8", "21, 21", "25.0.1+8-LTS, 25", "'  17.0.15  ', 17", "abc, -1"})
    void featureVersions(String version, int feature) {
        assertEquals(feature, RuntimeLinker.feature(version));
    }

    @Test
    void usageErrors() throws Exception {
        assertEquals(Main.USAGE, packager("runtime", "--program", dir.toString()).code);
        assertEquals(Main.USAGE, packager("runtime", "--from", dir.toString()).code);
        assertEquals(Main.USAGE, packager("runtime", "--program", dir.toString(), "--from", dir.toString(),
                "--frobnicate", "x").code);
        assertEquals(Main.USAGE, packager("runtime", "--program", dir.toString(), "--from", dir.toString(),
                "--zip-time", "yesterday").code);
        final Run help = packager("runtime", "--help");
        assertEquals(Main.DONE, help.code);
        assertTrue(help.out.contains("--add-modules M[,M...]"), help.out);
    }
}
