package org.ravelin.launcher;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.io.IOException;
import java.io.OutputStream;
import java.net.URISyntaxException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.stream.Stream;

import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.MethodSource;
import org.ravelin.launcher.testapp.OtherApplications;
import org.ravelin.launcher.testapp.RecordingApplication;

/** The ready main class, each run in a VM of its own, as the launcher starts it. */
class RavelinMainTest {
    static final String RECORDING = RecordingApplication.class.getName();
    static final String NOT_PUBLIC = OtherApplications.class.getName() + "$NotPublic";
    static final String CLASS_PATH = location(RavelinMain.class) + File.pathSeparator
            + location(RecordingApplication.class);

    /** The refusal of a class without a main method the java command would start, before and after the details. */
    static final String NO_MAIN = " has no main method the java command can start";
    static final String MAIN_RULE = ": it takes the nearest main(String[]), else the nearest main(), declared or"
            + " inherited, and starts it when it returns void and is not private";

    @TempDir
    Path dir;
    Path properties;
    Path handoff;
    /** Options of the VM each run starts. */
    final List<String> vmOptions = new ArrayList<>();
    /** The Java runtime and the class path of each run. */
    String javaHome = System.getProperty("java.home");
    String classPath = CLASS_PATH;

    /** A Java 25 runtime's home when the build found one (the main method's rules are Java 25's), else null. */
    static final String JDK25 = System.getProperty("ravelin.jdk25", "").isEmpty() ? null
            : System.getProperty("ravelin.jdk25");

    static String location(Class<?> type) {
        try {
            return Paths.get(type.getProtectionDomain().getCodeSource().getLocation().toURI()).toString();
        } catch (URISyntaxException e) {
            throw new IllegalStateException(e);
        }
    }

    @BeforeEach
    void writeFiles() throws IOException {
        properties = dir.resolve("Shop Floor/Shop.qel");
        Files.createDirectories(properties.getParent().resolve("logs"));
        handoff = dir.resolve("qel1.tmp");
        Files.write(handoff, HandoffTest.file("qel.nl.current.vm=C:\\\\Java\\\\bin\\\\javaw.exe",
                "qel.nl.env.shop_home=C:\\\\Shop", "qel.nl.env.SHOP_HOME=C:\\\\Shop",
                "qel.nl.env.exact_case.Shop_Home=C:\\\\Shop"));
        Files.createDirectories(dir.resolve("work"));
    }

    void writeProperties(String... lines) throws IOException {
        Files.write(properties, SettingsTest.bytes(String.join("\r\n", lines) + "\r\n"));
    }

    static final class Run {
        int exitCode;
        String out;
        String err;
    }

    /** Starts the ready main class with these arguments in a VM whose working directory is not the application's. */
    Run run(String... args) throws IOException, InterruptedException {
        final List<String> command = new ArrayList<>(Arrays.asList(RavelinMain.class.getName()));
        command.addAll(Arrays.asList(args));
        return runJava(command);
    }

    /** Starts the java command of the run's runtime with the run's options and class path, then these arguments. */
    Run runJava(List<String> arguments) throws IOException, InterruptedException {
        final List<String> command = new ArrayList<>(Arrays.asList(Paths.get(javaHome, "bin", "java").toString()));
        command.addAll(vmOptions);
        command.addAll(Arrays.asList("-cp", classPath));
        command.addAll(arguments);
        final Path out = dir.resolve("work/out");
        final Path err = dir.resolve("work/err");
        final Process process = new ProcessBuilder(command).directory(dir.resolve("work").toFile())
                .redirectOutput(out.toFile()).redirectError(err.toFile()).start();
        final Run run = new Run();
        run.exitCode = process.waitFor();
        run.out = new String(Files.readAllBytes(out), StandardCharsets.UTF_8);
        run.err = new String(Files.readAllBytes(err), StandardCharsets.UTF_8);
        return run;
    }

    Run runWithLauncherArguments(String... application) throws IOException, InterruptedException {
        final List<String> args = new ArrayList<>(Arrays.asList(properties.toString(), handoff.toString()));
        args.addAll(Arrays.asList(application));
        return run(args.toArray(new String[0]));
    }

    static String lines(String... lines) {
        final StringBuilder text = new StringBuilder();
        for (String line : lines) {
            text.append(line).append(System.lineSeparator());
        }
        return text.toString();
    }

    @Test
    void startsTheApplicationWithItsArgumentsAndTheContext() throws Exception {
        writeProperties("qel.application.main.class = " + RECORDING, "greeting=caf\\u00e9 \\\\o/");
        final Run run = runWithLauncherArguments("-open", "C:\\\\My Files\\\\a.txt", "", "two  words");
        assertEquals(lines("arguments=4", "argument=-open", "argument=C:\\My Files\\a.txt", "argument=",
                "argument=two  words", "properties=" + properties, "vm=C:\\Java\\bin\\javaw.exe", "control=false",
                "setting.qel.application.main.class=" + RECORDING, "setting.greeting=caf\\u00e9 \\\\o/",
                "environment.Shop_Home=C:\\Shop"), run.out);
        assertEquals(lines("standard error of the application"), run.err);
        assertEquals(0, run.exitCode);
    }

    @Test
    void theServicesStopLineEndsTheVmWithItsShutdownHooks() throws Exception {
        writeProperties("qel.application.main.class=" + OtherApplications.class.getName() + "$Waiting");
        Files.write(handoff, HandoffTest.file("qel.nl.current.vm=C:\\\\Java\\\\bin\\\\java.exe",
                "qel.service.stop.input=true", "qel.service.stop.line=ravelin-stop"));
        final Path out = dir.resolve("work/out");
        final Process process = new ProcessBuilder(Paths.get(System.getProperty("java.home"), "bin", "java").toString(),
                "-cp", CLASS_PATH, RavelinMain.class.getName(), properties.toString(), handoff.toString())
                .redirectOutput(out.toFile()).start();
        // The stop comes while the application runs, as a service's stop does.
        while (!new String(Files.readAllBytes(out), StandardCharsets.UTF_8).contains("waiting")) {
            assertTrue(process.isAlive(), "the application ended before it was asked to stop");
            Thread.sleep(20);
        }
        process.getOutputStream().write("other line\r\nravelin-stop\r\n".getBytes(StandardCharsets.ISO_8859_1));
        process.getOutputStream().close();
        assertEquals(0, process.waitFor());
        assertEquals(lines("waiting", "shutdown hook ran"), new String(Files.readAllBytes(out), StandardCharsets.UTF_8));
    }

    /** Waits until the file holds the text, while the process runs. */
    static void awaitOutput(Process process, Path file, String text) throws IOException, InterruptedException {
        while (!new String(Files.readAllBytes(file), StandardCharsets.UTF_8).contains(text)) {
            assertTrue(process.isAlive(), "the application ended before it wrote " + text);
            Thread.sleep(20);
        }
    }

    // The watcher takes over standard input: the application reads every other line from System.in, unchanged.
    @Test
    void aServiceReadsTheLinesThatAreNotTheStopLine() throws Exception {
        writeProperties("qel.application.main.class=" + OtherApplications.class.getName() + "$ReadingInput");
        Files.write(handoff, HandoffTest.file("qel.nl.current.vm=C:\\\\Java\\\\bin\\\\java.exe",
                "qel.service.stop.input=true", "qel.service.stop.line=ravelin-stop"));
        final Path out = dir.resolve("work/out");
        final Process process = new ProcessBuilder(Paths.get(System.getProperty("java.home"), "bin", "java").toString(),
                "-cp", CLASS_PATH, RavelinMain.class.getName(), properties.toString(), handoff.toString())
                .redirectOutput(out.toFile()).start();
        final OutputStream input = process.getOutputStream();
        input.write("first line\r\n ravelin-stop\nravelin-stop \r\ncaf\u00c3\u00a9 \u00e2\u0086\u0092\n"
                .getBytes(StandardCharsets.ISO_8859_1));
        input.flush();
        awaitOutput(process, out, "read: caf\u00e9 \u2192");
        input.write("ravelin-stop\r\nnever read\r\n".getBytes(StandardCharsets.ISO_8859_1));
        input.close();
        assertEquals(0, process.waitFor());
        assertEquals(lines("service input is System.in: true", "read: first line", "read:  ravelin-stop",
                "read: ravelin-stop ", "read: caf\u00e9 \u2192", "shutdown hook ran"),
                new String(Files.readAllBytes(out), StandardCharsets.UTF_8));
    }

    // Without a stop line, standard input is the VM's own, to its end.
    @Test
    void withoutAStopLineStandardInputIsTheVmsOwn() throws Exception {
        writeProperties("qel.application.main.class=" + OtherApplications.class.getName() + "$ReadingInput");
        final Path in = dir.resolve("work/in");
        Files.write(in, "one\r\nravelin-stop\r\nlast".getBytes(StandardCharsets.ISO_8859_1));
        final Path out = dir.resolve("work/out");
        final Process process = new ProcessBuilder(Paths.get(System.getProperty("java.home"), "bin", "java").toString(),
                "-cp", CLASS_PATH, RavelinMain.class.getName(), properties.toString(), handoff.toString())
                .redirectInput(in.toFile()).redirectOutput(out.toFile()).start();
        assertEquals(0, process.waitFor());
        assertEquals(lines("service input is System.in: true", "read: one", "read: ravelin-stop", "read: last",
                "input ended", "shutdown hook ran"), new String(Files.readAllBytes(out), StandardCharsets.UTF_8));
    }

    @Test
    void startsAMainMethodOfAClassThatIsNotPublic() throws Exception {
        writeProperties("qel.application.main.class=" + NOT_PUBLIC);
        final Run run = runWithLauncherArguments("a", "b");
        assertEquals(lines("standard output a b", "standard output again"), run.out);
        assertEquals(0, run.exitCode);
    }

    // An editor's UTF-8 byte-order mark before the first line, which names the application class: the launcher
    // skips it, and so does the Java side.
    @Test
    void aByteOrderMarkBeforeTheApplicationClass() throws Exception {
        final byte[] mark = {(byte) 0xEF, (byte) 0xBB, (byte) 0xBF};
        final byte[] lines = SettingsTest.bytes("qel.application.main.class=" + NOT_PUBLIC + "\r\n");
        final byte[] file = Arrays.copyOf(mark, mark.length + lines.length);
        System.arraycopy(lines, 0, file, mark.length, lines.length);
        Files.write(properties, file);
        final Run run = runWithLauncherArguments("x");
        assertEquals(lines("standard output x", "standard output again"), run.out, run.err);
        assertEquals(0, run.exitCode);
    }

    // The method the java launcher of Java 25 starts: the nearest main(String[]), declared, inherited from a
    // superclass or an interface's default method, static or not, else the nearest main(); not private, returning
    // void. A nearest one that does not count hides the ones further up. The class's simple name, then what its
    // method prints, or "refused:" and why the ready main class refuses it (code 6). Where a Java 25 runtime is there,
    // its java command starts the class itself and prints the same (or refuses it too), and the ready main class on
    // that runtime does too.
    @ParameterizedTest(name = "{0}")
    @CsvSource(delimiter = '|', value = {
            "InstanceMain | instance main(String[]) a b",
            "StaticWithoutParameters | static main()",
            "InstanceWithoutParameters | instance main()",
            "ParametersFirst | instance main(String[]) a b",
            "StaticBeforeArgumentsOnly | static main(String[]) a b",
            "Inherited | inherited instance main()",
            "PrivateArgumentsMain | static main()",
            "IntegerMainBesideInstanceMain | instance main()",
            "FromInterface | interface default main()",
            "InterfaceArgumentsFirst | interface default main(String[]) a b",
            "SuperclassArgumentsFirst | inherited instance main(String[]) a b",
            "PackageStaticMain | package static main(String[]) a b",
            "PrivateArgumentsMainBesideBaseMain | main() of another package",
            "PrivateArgumentsMainHidesBase | refused: main(String[]) is private and hides main(String[]) of the class"
                    + " org.ravelin.launcher.testapp.base.OtherPackageArgumentsMain",
            "IntegerArgumentsMainHidesBase | refused: main(String[]) returns int and hides main(String[]) of the class"
                    + " org.ravelin.launcher.testapp.base.OtherPackageArgumentsMain",
            "PrivateMainHidesBase | refused: main() is private and hides main() of the class"
                    + " org.ravelin.launcher.testapp.base.OtherPackageMain"})
    void startsTheMainMethodTheJavaLauncherWouldStart(String application, String printed) throws Exception {
        final String name = OtherApplications.class.getName() + "$" + application;
        final boolean refused = printed.startsWith("refused: ");
        final String out = refused ? "" : lines(printed);
        final String err = refused ? lines("Ravelin: the application class " + name + NO_MAIN + " ("
                + printed.substring("refused: ".length()) + ")" + MAIN_RULE) : "";
        final int exitCode = refused ? RavelinMain.Failure.NO_MAIN_METHOD.exitCode() : 0;
        writeProperties("qel.application.main.class=" + name);
        final Run run = runWithLauncherArguments("a", "b");
        assertEquals(out, run.out, run.err);
        assertEquals(err, run.err);
        assertEquals(exitCode, run.exitCode);
        if (JDK25 != null) {
            javaHome = JDK25;
            final Run java = runJava(Arrays.asList(name, "a", "b"));
            assertEquals(out, java.out, "java 25 itself: " + java.err);
            assertEquals(refused, java.err.startsWith("Error: Main method not found in class " + name), java.err);
            assertEquals(refused ? 1 : 0, java.exitCode, java.err);
            final Run onJava25 = runWithLauncherArguments("a", "b");
            assertEquals(out, onJava25.out, "the ready main class on java 25: " + onJava25.err);
            assertEquals(err, onJava25.err);
            assertEquals(exitCode, onJava25.exitCode);
        }
    }

    // As the java command, the ready main class takes a class name with slashes for dots.
    @Test
    void aClassNameWithSlashes() throws Exception {
        final String name = NOT_PUBLIC.replace('.', '/');
        writeProperties("qel.application.main.class=" + name);
        final Run run = runWithLauncherArguments("x");
        assertEquals(lines("standard output x", "standard output again"), run.out, run.err);
        assertEquals(0, run.exitCode);
        if (JDK25 != null) {
            javaHome = JDK25;
            assertEquals(run.out, runJava(Arrays.asList(name, "x")).out);
        }
    }

    // A class of the application's build is missing at run time (an optional dependency): the class path holds the
    // test applications without it. The java command starts a public static main all the same, and so does the
    // ready main class; where the main method must be looked for among all the methods, the missing class ends the
    // search, which is a failure to load the class (java itself ends with "Unable to initialize main class").
    @ParameterizedTest(name = "{0}")
    @CsvSource(delimiter = '|', value = {
            "PublicMainBesideOptionalDependency | 0 | public static main(String[]) a b |",
            "InstanceMainBesideOptionalDependency | 5 | | the application class <class> cannot be loaded: looking for "
                    + "its main method met java.lang.NoClassDefFoundError: <missing>"})
    void aClassMissingFromTheClassPathThatMainDoesNotNeed(String application, int exitCode, String printed,
            String error) throws Exception {
        final Path classes = dir.resolve("classes");
        final String prefix = OtherApplications.class.getSimpleName();
        for (String file : new String[] {prefix, prefix + "$" + application}) {
            final Path target = classes.resolve(OtherApplications.class.getPackage().getName().replace('.', '/'))
                    .resolve(file + ".class");
            Files.createDirectories(target.getParent());
            try (java.io.InputStream in = OtherApplications.class.getResourceAsStream(file + ".class")) {
                Files.copy(in, target);
            }
        }
        classPath = location(RavelinMain.class) + File.pathSeparator + classes;
        final String name = OtherApplications.class.getName() + "$" + application;
        writeProperties("qel.application.main.class=" + name);
        final Run run = runWithLauncherArguments("a", "b");
        assertEquals(printed == null ? "" : lines(printed), run.out, run.err);
        assertEquals(error == null ? "" : lines("Ravelin: " + error.replace("<class>", name).replace("<missing>",
                OtherApplications.OptionalDependency.class.getName().replace('.', '/'))), run.err);
        assertEquals(exitCode, run.exitCode);
    }

    // A main class in a package its named module does not export: the ready main class, in the unnamed module, cannot
    // call it, and says what is missing; exported, it starts.
    @ParameterizedTest(name = "{0}")
    @CsvSource(delimiter = '|', value = {"module shop {} | 6", "module shop { exports shop.hidden; } | 0"})
    void aMainClassInANamedModule(String moduleInfo, int exitCode) throws Exception {
        final javax.tools.JavaCompiler compiler = javax.tools.ToolProvider.getSystemJavaCompiler();
        org.junit.jupiter.api.Assumptions.assumeTrue(compiler != null && !System.getProperty("java.version")
                .startsWith("1."), "modules need Java 9 and a JDK");
        final Path sources = dir.resolve("module sources");
        Files.createDirectories(sources.resolve("shop/hidden"));
        Files.write(sources.resolve("module-info.java"), moduleInfo.getBytes(StandardCharsets.UTF_8));
        Files.write(sources.resolve("shop/hidden/Main.java"), ("package shop.hidden; public class Main { public static"
                + " void main(String[] args) { System.out.println(\"started\"); } }").getBytes(StandardCharsets.UTF_8));
        final Path module = dir.resolve("modules/shop");
        assertEquals(0, compiler.run(null, null, null, "-d", module.toString(),
                sources.resolve("module-info.java").toString(), sources.resolve("shop/hidden/Main.java").toString()));
        vmOptions.addAll(Arrays.asList("--module-path", module.getParent().toString(), "--add-modules", "shop"));
        writeProperties("qel.application.main.class=shop.hidden.Main");
        final Run run = runWithLauncherArguments();
        assertEquals(exitCode, run.exitCode, run.err);
        if (exitCode == 0) {
            assertEquals(lines("started"), run.out);
            assertEquals("", run.err);
        } else {
            assertEquals("", run.out);
            assertTrue(run.err.startsWith("Ravelin: the application class shop.hidden.Main is in a named module that"
                    + " does not export its package shop.hidden to " + RavelinMain.class.getName() + " ("), run.err);
            assertTrue(run.err.endsWith("): add \"exports shop.hidden;\" to the module's module-info.java (\"opens"
                    + " shop.hidden;\" when the class or its main method is not public), or the option --add-exports"
                    + " (--add-opens) to the Java VM's options" + System.lineSeparator()), run.err);
        }
    }

    @Test
    void anExceptionOfTheApplicationPropagatesAsWithoutTheLauncher() throws Exception {
        writeProperties("qel.application.main.class=" + RECORDING);
        final Run run = runWithLauncherArguments("throw");
        assertTrue(run.err.startsWith("Exception in thread \"main\" java.io.IOException: thrown by the application"
                + System.lineSeparator()), run.err);
        assertTrue(run.err.contains("\tat " + RECORDING + ".main("), run.err);
        assertEquals("", run.out);
        assertEquals(1, run.exitCode);
    }

    // The VM's own launcher calls main without reflection, and so does the ready main class for a public one: the
    // application's stack trace shows the entry's frame, not reflection's. Since Java 18 reflection's first call
    // spins classes with the class-file API, which a start that calls main directly does not load; on Java 25, where
    // present, none is loaded. A main method that is not public is called by reflection.
    @ParameterizedTest(name = "{0}")
    @CsvSource({"RecordingApplication, false", "OtherApplications$NotPublicThrowing, true"})
    void aPublicMainMethodIsCalledWithoutReflection(String application, boolean reflection) throws Exception {
        final String name = OtherApplications.class.getPackage().getName() + "." + application;
        writeProperties("qel.application.main.class=" + name);
        final Path classLog = dir.resolve("classes.log");
        if (JDK25 != null) {
            javaHome = JDK25;
            vmOptions.add("-Xlog:class+load:file=" + classLog);
        }
        final Run run = runWithLauncherArguments("throw");
        assertEquals(1, run.exitCode, run.err);
        assertTrue(run.err.contains("\tat " + name + ".main("), run.err);
        assertEquals(reflection, run.err.contains("java.lang.reflect.Method.invoke("), run.err);
        assertEquals(!reflection, run.err.contains("\tat org.ravelin.launcher.entry.ApplicationEntry.accept("),
                run.err);
        if (JDK25 != null) {
            final String classes = new String(Files.readAllBytes(classLog), StandardCharsets.UTF_8);
            assertTrue(classes.contains(" " + name + " "), classes);
            assertEquals(reflection, classes.contains("jdk.internal.classfile.impl."), "class-file API loaded");
        }
    }

    // Where each output of OtherApplications$NotPublic goes: a file beside the properties file, or the VM's own
    // standard output or standard error.
    static Stream<Arguments> redirects() {
        final String out = "standard output";
        final String err = "standard error";
        return Stream.of(
                Arguments.of("a file each, relative", "logs/out.txt", "logs/err.txt", false,
                        "logs/out.txt", "logs/err.txt"),
                Arguments.of("console in any case", "CONSOLE", "Console", false, out, err),
                Arguments.of("empty values", "", "", false, out, err),
                Arguments.of("into folders that are made", "made/deeper/out.txt", "made/err.txt", false,
                        "made/deeper/out.txt", "made/err.txt"),
                Arguments.of("one file for both", "logs/both.txt", "logs/both.txt", false,
                        "logs/both.txt", "logs/both.txt"),
                Arguments.of("an absolute path", "<absolute>", "", false, "logs/out.txt", err),
                Arguments.of("console from the hand-off file (Ctrl held)", "logs/out.txt", "logs/err.txt", true,
                        out, err));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("redirects")
    void redirectsAppendToFilesBesideThePropertiesFile(String what, String stdout, String stderr, boolean control,
            String outGoesTo, String errGoesTo) throws Exception {
        final Path logs = properties.getParent().resolve("logs");
        // The output file holds a line already; the others are missing.
        Files.write(logs.resolve("out.txt"), SettingsTest.bytes(lines("earlier")));
        writeProperties("qel.application.main.class=" + NOT_PUBLIC,
                "qel.stdout.redirect=" + stdout.replace("<absolute>", logs.resolve("out.txt").toString()),
                "qel.stderr.redirect=" + stderr);
        if (control) {
            Files.write(handoff, HandoffTest.file("qel.control-key=true", "qel.stderr.redirect=console",
                    "qel.stdout.redirect=console", "qel.nl.current.vm=C:\\\\j\\\\java.exe"));
        }
        final Run run = runWithLauncherArguments("x");

        final Map<String, String> expected = new LinkedHashMap<>();
        expected.put("standard output", "");
        expected.put("standard error", "");
        expected.put("logs/out.txt", lines("earlier"));
        expected.merge(outGoesTo, lines("standard output x"), String::concat);
        expected.merge(errGoesTo, lines("standard error"), String::concat);
        expected.merge(outGoesTo, lines("standard output again"), String::concat);
        for (Map.Entry<String, String> place : expected.entrySet()) {
            final String actual = place.getKey().equals("standard output") ? run.out
                    : place.getKey().equals("standard error") ? run.err
                    : new String(Files.readAllBytes(logs.resolveSibling(place.getKey())), StandardCharsets.UTF_8);
            assertEquals(place.getValue(), actual, place.getKey());
        }
        for (String file : new String[] {"logs/err.txt", "logs/both.txt"}) {
            assertEquals(expected.containsKey(file), Files.exists(logs.resolveSibling(file)), file);
        }
        assertEquals(0, run.exitCode);
    }

    // The default charset of a Western Windows: windows-1252 up to Java 17 (file.encoding sets it there).
    @Test
    void redirectFilesAreUtf8WhateverTheDefaultCharset() throws Exception {
        vmOptions.add("-Dfile.encoding=windows-1252");
        writeProperties("qel.application.main.class=" + OtherApplications.class.getName() + "$BeyondLatin1",
                "qel.stdout.redirect=logs/out.txt", "qel.stderr.redirect=logs/both.txt");
        final Run run = runWithLauncherArguments();
        assertEquals(0, run.exitCode, run.err);
        final Path logs = properties.resolveSibling("logs");
        assertEquals(lines("out caf\u00e9 \u2192 \u4e2d"),
                new String(Files.readAllBytes(logs.resolve("out.txt")), StandardCharsets.UTF_8));
        assertEquals(lines("err \u20ac \ud83d\ude00"),
                new String(Files.readAllBytes(logs.resolve("both.txt")), StandardCharsets.UTF_8));
    }

    static Arguments failure(String what, RavelinMain.Failure failure, String message, String... setup) {
        return Arguments.of(what, failure, message, Arrays.asList(setup));
    }

    // Setup words: "arguments=<n>" (launcher's arguments given; 2 by default), "no properties", "no hand-off", and
    // any other text is a line of the properties file. In the message, <properties> and <class path> stand for those.
    static Stream<Arguments> failures() {
        final String missingArguments = "the launcher's arguments are missing: expected the properties file and the "
                + "hand-off file before the application's arguments, got ";
        final String noConstructor = ": the java command needs one that is not private to make an instance";
        final String other = OtherApplications.class.getName();
        return Stream.of(
                failure("no arguments", RavelinMain.Failure.CONTEXT, missingArguments + "0 arguments", "arguments=0"),
                failure("one argument", RavelinMain.Failure.CONTEXT, missingArguments + "1 argument", "arguments=1"),
                failure("no properties file", RavelinMain.Failure.CONTEXT,
                        "cannot read the properties file <properties>: no such file or directory", "no properties"),
                failure("no hand-off file", RavelinMain.Failure.CONTEXT,
                        "cannot read the hand-off file <hand-off>: no such file or directory", "no hand-off"),
                failure("a hand-off file larger than any launcher writes", RavelinMain.Failure.CONTEXT,
                        "cannot read the hand-off file <hand-off>: it holds 4194305 bytes or more, beyond the 4194304"
                        + " that a launcher's file may hold", "hand-off of 4194305 bytes", "vm=-Xmx16m",
                        "qel.application.main.class=" + RECORDING),
                failure("a properties file larger than any launcher reads", RavelinMain.Failure.CONTEXT,
                        "cannot read the properties file <properties>: it holds 4194305 bytes or more, beyond the"
                        + " 4194304 that a launcher's file may hold", "properties of 4194305 bytes"),
                failure("a folder as the properties file", RavelinMain.Failure.CONTEXT,
                        "cannot read the properties file <properties>: it is not a regular file", "properties folder"),
                failure("the endless device as the hand-off file", RavelinMain.Failure.CONTEXT,
                        "cannot read the hand-off file <hand-off>: it is not a regular file", "/dev/zero",
                        "qel.application.main.class=" + RECORDING),
                failure("a folder as the hand-off file", RavelinMain.Failure.CONTEXT,
                        "cannot read the hand-off file <hand-off>: it is not a regular file", "hand-off folder",
                        "qel.application.main.class=" + RECORDING),
                failure("a redirect into a folder that cannot be made", RavelinMain.Failure.REDIRECT,
                        "cannot make the folder <directory>/Shop.qel for out.txt of qel.stdout.redirect: a file of"
                        + " that name is there", "qel.application.main.class=" + RECORDING,
                        "qel.stdout.redirect=Shop.qel/out.txt"),
                failure("no application class", RavelinMain.Failure.NO_APPLICATION_CLASS,
                        "the properties file <properties> names no application class: set qel.application.main.class",
                        "qel.stdout.redirect=console"),
                failure("an empty application class", RavelinMain.Failure.NO_APPLICATION_CLASS,
                        "the properties file <properties> names no application class: set qel.application.main.class",
                        "qel.application.main.class=  "),
                failure("a class that is not there", RavelinMain.Failure.CLASS_NOT_LOADED,
                        "the application class shop.Missing is not on the class path (<class path>)",
                        "qel.application.main.class=shop.Missing"),
                failure("no main method", RavelinMain.Failure.NO_MAIN_METHOD, "the application class " + other
                        + "$WithoutMain" + NO_MAIN + MAIN_RULE, "qel.application.main.class=" + other + "$WithoutMain"),
                failure("a main method returning int", RavelinMain.Failure.NO_MAIN_METHOD, "the application class "
                        + other + "$IntegerMain" + NO_MAIN + " (main(String[]) returns int)" + MAIN_RULE,
                        "qel.application.main.class=" + other + "$IntegerMain"),
                failure("a private main method", RavelinMain.Failure.NO_MAIN_METHOD, "the application class "
                        + other + "$PrivateMain" + NO_MAIN + " (main(String[]) is private)" + MAIN_RULE,
                        "qel.application.main.class=" + other + "$PrivateMain"),
                failure("a private main(String[]) and main() returning int", RavelinMain.Failure.NO_MAIN_METHOD,
                        "the application class " + other + "$PrivateMainAndIntegerMain" + NO_MAIN
                        + " (main(String[]) is private; main() returns int)" + MAIN_RULE,
                        "qel.application.main.class=" + other + "$PrivateMainAndIntegerMain"),
                failure("only an interface's static main", RavelinMain.Failure.NO_MAIN_METHOD,
                        "the application class " + other + "$OnlyStaticInterfaceMain" + NO_MAIN + " (main(String[]) of"
                        + " the interface " + other + "$StaticInterfaceMain is static in an interface, and the static"
                        + " methods of an interface are not inherited)" + MAIN_RULE,
                        "qel.application.main.class=" + other + "$OnlyStaticInterfaceMain"),
                failure("an instance main method without a constructor without arguments",
                        RavelinMain.Failure.NO_MAIN_METHOD, "the application class " + other
                        + "$WithoutConstructor has the instance method void main() but no constructor without"
                        + " arguments" + noConstructor, "qel.application.main.class=" + other + "$WithoutConstructor"),
                failure("an instance main method with a private constructor", RavelinMain.Failure.NO_MAIN_METHOD,
                        "the application class " + other + "$PrivateConstructor has the instance method"
                        + " void main(String[]) but its constructor without arguments is private" + noConstructor,
                        "qel.application.main.class=" + other + "$PrivateConstructor"),
                failure("an instance main method of an abstract class", RavelinMain.Failure.NO_MAIN_METHOD,
                        "the application class " + other + "$AbstractWithMain has the instance method void main() but"
                        + " is abstract: the java command cannot make an instance of it",
                        "qel.application.main.class=" + other + "$AbstractWithMain"),
                // Written with a backslash between logs and update.log: a backslash and u without digits is U+0000.
                failure("a redirect that is no file name", RavelinMain.Failure.REDIRECT, "the value of"
                        + " qel.stdout.redirect, \"logs\\u0000pdate.log\", is not a usable file name: Nul character"
                        + " not allowed (in the properties file a backslash before u starts a \\uXXXX escape:"
                        + " separate the folders with /)",
                        "qel.application.main.class=" + RECORDING, "qel.stdout.redirect=logs\\update.log"),
                failure("a standard error redirect that is no file name", RavelinMain.Failure.REDIRECT, "the value of"
                        + " qel.stderr.redirect, \"a\\u0000\", is not a usable file name: Nul character not allowed"
                        + " (in the properties file a backslash before u starts a \\uXXXX escape: separate the folders"
                        + " with /)", "qel.application.main.class=" + RECORDING, "qel.stderr.redirect=a\\u"))
                // A device that never ends, where the system has one by that name.
                .filter(row -> !((List<?>) row.get()[3]).contains("/dev/zero") || Files.exists(Paths.get("/dev/zero")));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("failures")
    void failuresAreOneLineOnStandardErrorAndAnExitCode(String what, RavelinMain.Failure failure, String message,
            List<String> setup) throws Exception {
        int argumentCount = 2;
        final List<String> propertyLines = new ArrayList<>();
        boolean writeProperties = true;
        for (String step : setup) {
            if (step.startsWith("arguments=")) {
                argumentCount = Integer.parseInt(step.substring("arguments=".length()));
            } else if (step.startsWith("vm=")) {
                vmOptions.add(step.substring("vm=".length()));
            } else if (step.equals("no properties")) {
                properties = properties.resolveSibling("Missing.qel");
                writeProperties = false;
            } else if (step.equals("no hand-off")) {
                handoff = handoff.resolveSibling("qel2.tmp");
            } else if (step.equals("properties folder")) {
                properties = properties.resolveSibling("Folder.qel");
                Files.createDirectories(properties);
                writeProperties = false;
            } else if (step.equals("hand-off folder")) {
                handoff = handoff.resolveSibling("qel2.tmp");
                Files.createDirectories(handoff);
            } else if (step.startsWith("/dev/")) {
                handoff = Paths.get(step);
            } else if (step.matches("(properties|hand-off) of \\d+ bytes")) {
                // A valid file, its last line's value as long as it takes.
                final boolean handoffFile = step.startsWith("hand-off");
                final byte[] start = SettingsTest.bytes(handoffFile ? "qel.nl.current.vm=C:\\\\j\\\\java.exe\r\nx="
                        : "qel.application.main.class=" + RECORDING + "\r\nx=");
                final byte[] file = new byte[Integer.parseInt(step.replaceAll("\\D", ""))];
                Arrays.fill(file, (byte) 'a');
                System.arraycopy(start, 0, file, 0, start.length);
                Files.write(handoffFile ? handoff : properties, file);
                writeProperties = handoffFile;
            } else {
                propertyLines.add(step);
            }
        }
        if (writeProperties) {
            writeProperties(propertyLines.toArray(new String[0]));
        }
        final List<String> args = Arrays.asList(properties.toString(), handoff.toString());
        final Run run = run(args.subList(0, argumentCount).toArray(new String[0]));
        final String expected = message.replace("<properties>", properties.toString())
                .replace("<hand-off>", handoff.toString())
                .replace("<directory>", properties.getParent().toString())
                .replace("<class path>", CLASS_PATH);
        assertEquals(lines("Ravelin: " + expected), run.err);
        assertEquals("", run.out);
        assertEquals(failure.exitCode(), run.exitCode);
    }

    // A VM without a console but also without a display (headless): standard error alone, and the VM ends.
    @Test
    void aHeadlessVmWithoutAConsoleShowsNoDialog() throws Exception {
        vmOptions.add("-Djava.awt.headless=true");
        writeProperties("qel.application.name=Shop");
        Files.write(handoff, HandoffTest.file("qel.nl.current.vm=C:\\\\Java\\\\bin\\\\javaw.exe", "qel.console=false"));
        final Run run = runWithLauncherArguments();
        assertEquals(lines("Ravelin: the properties file " + properties + " names no application class: set "
                + "qel.application.main.class"), run.err);
        assertEquals(RavelinMain.Failure.NO_APPLICATION_CLASS.exitCode(), run.exitCode);
    }

    // A service's user looks into the standard error file: a standard output file that cannot be opened is named
    // there too.
    @Test
    void aRedirectFailureGoesToStandardErrorsFileToo() throws Exception {
        writeProperties("qel.application.main.class=" + RECORDING, "qel.stdout.redirect=Shop.qel/out.txt",
                "qel.stderr.redirect=logs/err.txt");
        Files.write(handoff, HandoffTest.file("qel.nl.current.vm=C:\\\\Java\\\\bin\\\\javaw.exe", "qel.console=false",
                "qel.service=true"));
        final Run run = runWithLauncherArguments();
        final String line = lines("Ravelin: cannot make the folder " + properties + " for out.txt of"
                + " qel.stdout.redirect: a file of that name is there");
        assertEquals(line, run.err);
        assertEquals(line, new String(Files.readAllBytes(properties.resolveSibling("logs/err.txt")),
                StandardCharsets.UTF_8));
        assertEquals(RavelinMain.Failure.REDIRECT.exitCode(), run.exitCode);
    }

    @Test
    void failuresAfterTheRedirectsGoToTheRedirectedStandardError() throws Exception {
        writeProperties("qel.application.main.class=shop.Missing", "qel.stderr.redirect=logs/err.txt");
        final Run run = runWithLauncherArguments();
        assertEquals("", run.err);
        assertEquals(lines("Ravelin: the application class shop.Missing is not on the class path (" + CLASS_PATH + ")"),
                new String(Files.readAllBytes(properties.resolveSibling("logs/err.txt")), StandardCharsets.UTF_8));
        assertEquals(RavelinMain.Failure.CLASS_NOT_LOADED.exitCode(), run.exitCode);
    }
}
