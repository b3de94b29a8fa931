package org.ravelin.packager.runtime;

import java.io.IOException;
import java.io.PrintStream;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.time.LocalDateTime;
import java.time.format.DateTimeParseException;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;

import org.ravelin.packager.Main;
import org.ravelin.packager.PackagerException;
import org.ravelin.packager.settings.SettingsFile;

/** The {@code runtime} command: {@link BundledRuntime#lay} from the command line, for builds other than Maven's. */
public final class RuntimeCommand {
    /** The command's name. */
    public static final String NAME = "runtime";

    static final String USAGE = "usage: runtime --program DIR --from RUNTIME [options]\n"
            + "  Lays a Windows Java runtime into the program's folder as runtime\\ and names it in the properties\n"
            + "  file, so that the launcher starts it. A JDK with jmods is trimmed to the modules the application\n"
            + "  needs (jdeps over its jars), linked by this machine's jlink of the same Java version from the\n"
            + "  JDK's jmods; any other runtime is copied as it is.\n"
            + "  --program DIR            the program's folder (the launcher, NAME.qel, the jars)\n"
            + "  --from RUNTIME           a Windows JDK or Java runtime: a folder with bin\\java.exe, or a zip of one\n"
            + "  --properties FILE        the properties file to name the runtime in (default: the one .qel of DIR)\n"
            + "  --jar JAR                a jar whose modules the runtime needs (default: the jars of the class path)\n"
            + "  --add-modules M[,M...]   modules the runtime holds besides those the jars need\n"
            + "  --console                the program is the console launcher: it starts runtime\\bin\\java.exe\n"
            + "                           (otherwise runtime\\bin\\javaw.exe)\n"
            + "  --fallback               when runtime\\ is missing, an installed Java that the acceptable-VM list\n"
            + "                           takes starts the program (otherwise the launcher says no VM was found)\n"
            + "  --full                   copy a JDK with jmods whole instead of trimming it\n"
            + "  --jlink FILE             the jlink to link with (default: the one of the Java running this)\n"
            + "  --zip FILE               then write the program's folder into this zip, the same bytes each time\n"
            + "  --zip-time TIME          the time of the zip's entries, as 2026-01-31T12:00:00 (default 1980-01-01)\n"
            + "  Exit code 0: laid out; 1: the runtime or the folder refused; 2: usage error.\n";

    private RuntimeCommand() {}

    /** @return the command's line in the packager's help */
    public static String summary() {
        return "  runtime --program DIR --from RUNTIME [options]   lays a Java runtime into the program's folder,"
                + " trimmed when it is a JDK with jmods\n";
    }

    /**
     * Runs the command.
     *
     * @param args its options
     * @param out where the result goes
     * @param err where refusals go
     * @return {@link Main#DONE}, {@link Main#REFUSED} or {@link Main#USAGE}
     */
    public static int run(List<String> args, PrintStream out, PrintStream err) {
        if (args.contains("--help") || args.contains("-h")) {
            out.print(USAGE);
            return Main.DONE;
        }
        final RuntimeOptions.Builder options = RuntimeOptions.builder();
        Path program = null;
        Path from = null;
        Path properties = null;
        Path zip = null;
        LocalDateTime zipTime = ProgramZip.FIRST_DAY;
        final List<Path> jars = new ArrayList<>();
        for (int i = 0; i < args.size(); i++) {
            final String option = args.get(i);
            switch (option) {
                case "--console": options.console(true); continue;
                case "--fallback": options.fallback(true); continue;
                case "--full": options.full(true); continue;
                default: break;
            }
            if (i + 1 == args.size()) {
                return usage(err, option + " needs a value");
            }
            final String value = args.get(++i);
            switch (option) {
                case "--program": program = Paths.get(value); break;
                case "--from": from = Paths.get(value); break;
                case "--properties": properties = Paths.get(value); break;
                case "--jar": jars.add(Paths.get(value)); break;
                case "--add-modules":
                    for (String module : value.split(",")) {
                        if (!module.trim().isEmpty()) {
                            options.module(module.trim());
                        }
                    }
                    break;
                case "--jlink": options.linker(new RuntimeLinker(Paths.get(value))); break;
                case "--zip": zip = Paths.get(value); break;
                case "--zip-time":
                    try {
                        zipTime = LocalDateTime.parse(value);
                    } catch (DateTimeParseException e) {
                        return usage(err, "--zip-time " + value + " is no time such as 2026-01-31T12:00:00");
                    }
                    break;
                default: return usage(err, "unknown option " + option);
            }
        }
        if (program == null || from == null) {
            return usage(err, program == null ? "--program is missing" : "--from is missing");
        }
        try {
            if (properties == null) {
                properties = onlyProperties(program);
            }
            if (jars.isEmpty()) {
                jars.addAll(classPathJars(program, SettingsFile.read(properties)));
            }
            for (Path jar : jars) {
                options.jar(jar);
            }
            BundledRuntime.lay(options.program(program).runtime(from).properties(properties).build(), out);
            if (zip != null) {
                ProgramZip.write(program, zip, zipTime);
                out.println("wrote " + zip);
            }
            return Main.DONE;
        } catch (PackagerException e) {
            err.println("ravelin-packager runtime: " + e.getMessage());
            return Main.REFUSED;
        } catch (IOException e) {
            err.println("ravelin-packager runtime: " + e);
            return Main.REFUSED;
        }
    }

    private static int usage(PrintStream err, String problem) {
        err.println("ravelin-packager runtime: " + problem + " (see runtime --help)");
        return Main.USAGE;
    }

    private static Path onlyProperties(Path program) throws PackagerException, IOException {
        if (!Files.isDirectory(program)) {
            throw new PackagerException("the program's folder " + program + " does not exist");
        }
        final List<Path> found = new ArrayList<>();
        try (DirectoryStream<Path> files = Files.newDirectoryStream(program, "*.qel")) {
            files.forEach(found::add);
        }
        if (found.size() != 1) {
            throw new PackagerException(program + " holds " + (found.isEmpty() ? "no" : found.size())
                    + " properties files (.qel): name the one with --properties");
        }
        return found.get(0);
    }

    // The jars of the class path that are there: the application's and its dependencies'.
    private static List<Path> classPathJars(Path program, Map<String, String> settings) {
        final List<Path> jars = new ArrayList<>();
        for (String entry : settings.getOrDefault("qel.class.path", "").split(";")) {
            if (entry.isEmpty() || entry.contains("$")) {
                continue;
            }
            final Path jar = program.resolve(entry.replace('\\', '/'));
            if (Files.isRegularFile(jar) && entry.toLowerCase(java.util.Locale.ROOT).endsWith(".jar")) {
                jars.add(jar);
            }
        }
        return jars;
    }
}
