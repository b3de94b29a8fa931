package org.ravelin.packager.settings;

import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

import org.ravelin.packager.Main;

/**
 * The packager's commands for the properties file: check-settings checks a file, write-settings writes one and
 * refuses to when the check finds anything.
 */
public final class SettingsCommands {
    /** The commands this class runs. */
    public static final List<String> COMMANDS =
            Collections.unmodifiableList(Arrays.asList("check-settings", "write-settings"));

    static final String CHECK_USAGE = "usage: check-settings --properties FILE [--application-directory DIR]\n"
            + "  Checks a properties file with the launcher's rules and prints each finding.\n"
            + "  --properties FILE             the properties file (<name>.qel)\n"
            + "  --application-directory DIR   where the file and the launcher will be, which relative paths\n"
            + "                                count from (default: the file's directory)\n"
            + "  Exit code 0: nothing found; 1: findings (or the file cannot be read); 2: usage error.\n";
    static final String WRITE_USAGE = "usage: write-settings --output FILE [--from FILE] [--set KEY=VALUE]... "
            + "[--application-directory DIR]\n"
            + "  Writes a properties file that the launcher reads back to exactly these settings (ASCII, \\uXXXX\n"
            + "  escapes, CR LF, the keys in the given order), then checks it with the launcher's rules. When the\n"
            + "  check finds anything, it prints the findings and writes nothing: a file already at FILE is left\n"
            + "  as it was.\n"
            + "  --output FILE                 the properties file to write (<name>.qel)\n"
            + "  --from FILE                   start from the settings of this properties file\n"
            + "  --set KEY=VALUE               set a key (after --from; a later one wins), the value as written\n"
            + "                                here, without escapes\n"
            + "  --application-directory DIR   where the file and the launcher will be (default: FILE's directory)\n"
            + "  Exit code 0: written; 1: findings, nothing written (or an input cannot be read); 2: usage error.\n";

    private SettingsCommands() {}

    /**
     * The commands' lines in the packager's help.
     *
     * @return one line each, ended by a line feed
     */
    public static String summary() {
        return "  check-settings --properties FILE [--application-directory DIR]\n"
                + "  write-settings --output FILE [--from FILE] [--set KEY=VALUE]... [--application-directory DIR]\n";
    }

    /**
     * Runs one of {@link #COMMANDS}.
     *
     * @param args the command and its options
     * @param out where help and results go
     * @param err where refusals go
     * @return {@link Main#DONE}, {@link Main#REFUSED} or {@link Main#USAGE}
     */
    public static int run(List<String> args, PrintStream out, PrintStream err) {
        return run(args, out, err, StandardCharsets.UTF_8);
    }

    /**
     * Runs one of {@link #COMMANDS}, writing a character that the output's character set cannot hold as a
     * {@code \}{@code uXXXX} escape, as the properties file would hold it.
     *
     * @param args the command and its options
     * @param out where help and results go
     * @param err where refusals go
     * @param charset the character set of both
     * @return {@link Main#DONE}, {@link Main#REFUSED} or {@link Main#USAGE}
     */
    public static int run(List<String> args, PrintStream out, PrintStream err, Charset charset) {
        final String command = args.get(0);
        final boolean check = command.equals("check-settings");
        final Map<String, List<String>> options = new LinkedHashMap<>();
        for (int i = 1; i < args.size(); i++) {
            final String option = args.get(i);
            if (option.equals("--help") || option.equals("-h")) {
                out.print(check ? CHECK_USAGE : WRITE_USAGE);
                return Main.DONE;
            }
            final List<String> known = check ? Arrays.asList("--properties", "--application-directory")
                    : Arrays.asList("--output", "--from", "--set", "--application-directory");
            if (!known.contains(option)) {
                return usage(command, "unknown option " + option, err);
            }
            if (i + 1 == args.size()) {
                return usage(command, option + " needs a value", err);
            }
            final List<String> values = options.computeIfAbsent(option, o -> new ArrayList<>());
            if (!values.isEmpty() && !option.equals("--set")) {
                return usage(command, option + " given twice", err);
            }
            values.add(args.get(++i));
        }
        return check ? check(options, out, err, charset) : write(options, out, err, charset);
    }

    private static int usage(String command, String problem, PrintStream err) {
        err.println("ravelin-packager " + command + ": " + problem + " (see " + command + " --help)");
        return Main.USAGE;
    }

    private static String one(Map<String, List<String>> options, String option) {
        final List<String> values = options.get(option);
        return values == null ? null : values.get(0);
    }

    private static Path applicationDirectory(Map<String, List<String>> options, Path file) {
        final String given = one(options, "--application-directory");
        if (given != null) {
            return Paths.get(given);
        }
        final Path parent = file.toAbsolutePath().getParent();
        return parent != null ? parent : Paths.get("");
    }

    private static int check(Map<String, List<String>> options, PrintStream out, PrintStream err, Charset charset) {
        final String properties = one(options, "--properties");
        if (properties == null) {
            return usage("check-settings", "--properties is missing", err);
        }
        final Path file = Paths.get(properties);
        final List<Finding> findings;
        try {
            findings = SettingsCheck.checkFile(file, applicationDirectory(options, file));
        } catch (IOException e) {
            err.println(Main.printable("ravelin-packager check-settings: cannot read " + file + ": " + e, charset));
            return Main.REFUSED;
        }
        for (Finding finding : findings) {
            out.println(Main.printable(finding.toString(), charset));
        }
        if (!findings.isEmpty()) {
            err.println(Main.printable(file + ": " + findings.size() + (findings.size() == 1 ? " finding" : " findings"),
                    charset));
            return Main.REFUSED;
        }
        out.println(Main.printable(file + ": the launcher takes these settings as written", charset));
        return Main.DONE;
    }

    private static int write(Map<String, List<String>> options, PrintStream out, PrintStream err, Charset charset) {
        final String output = one(options, "--output");
        if (output == null) {
            return usage("write-settings", "--output is missing", err);
        }
        final Map<String, String> settings = new LinkedHashMap<>();
        final String from = one(options, "--from");
        if (from != null) {
            try {
                settings.putAll(SettingsFile.read(Paths.get(from)));
            } catch (IOException e) {
                err.println("ravelin-packager write-settings: cannot read " + from + ": " + e);
                return Main.REFUSED;
            }
        }
        for (String assignment : options.getOrDefault("--set", Collections.<String>emptyList())) {
            final int separator = assignment.indexOf('=');
            if (separator <= 0) {
                return usage("write-settings", "--set " + assignment + " is not KEY=VALUE", err);
            }
            settings.put(assignment.substring(0, separator), assignment.substring(separator + 1));
        }
        final Path file = Paths.get(output).toAbsolutePath();
        try {
            Files.createDirectories(file.getParent());
            // What is checked is the file as the launcher will read it; it takes the output's place only then.
            final Path written = Files.createTempFile(file.getParent(), file.getFileName().toString(), ".tmp");
            try {
                SettingsFile.write(settings, written);
                final List<Finding> findings =
                        SettingsCheck.check(SettingsFile.read(written), applicationDirectory(options, file));
                if (!findings.isEmpty()) {
                    for (Finding finding : findings) {
                        err.println(Main.printable(finding.toString(), charset));
                    }
                    err.println(Main.printable(output + " not written: " + findings.size()
                            + (findings.size() == 1 ? " finding" : " findings"), charset));
                    return Main.REFUSED;
                }
                moveInPlace(written, file);
            } finally {
                Files.deleteIfExists(written);
            }
        } catch (IOException e) {
            err.println("ravelin-packager write-settings: cannot write " + output + ": " + e);
            return Main.REFUSED;
        }
        out.println("wrote " + output);
        return Main.DONE;
    }

    private static void moveInPlace(Path from, Path to) throws IOException {
        try {
            Files.move(from, to, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
        } catch (AtomicMoveNotSupportedException e) {
            Files.move(from, to, StandardCopyOption.REPLACE_EXISTING);
        }
    }
}
