package org.ravelin.packager;

import java.io.PrintStream;
import java.util.Arrays;
import java.util.List;

import org.ravelin.packager.installer.InstallerCommand;
import org.ravelin.packager.settings.SettingsCommands;

/**
 * The packager's command line: {@code java -jar ravelin-packager-<version>.jar <command> [options]}. Exit codes: 0
 * done, 1 the input was refused (the message names it), 2 the command line is not understood.
 */
public final class Main {
    /** The exit code of a run that did what it was asked. */
    public static final int DONE = 0;
    /** The exit code of a run that refused its input. */
    public static final int REFUSED = 1;
    /** The exit code of a command line that is not understood. */
    public static final int USAGE = 2;

    private Main() {}

    /**
     * Runs a command and ends the VM with its exit code.
     *
     * @param args the command and its options
     */
    public static void main(String[] args) {
        System.exit(run(Arrays.asList(args), System.out, System.err));
    }

    /**
     * Runs a command.
     *
     * @param args the command and its options
     * @param out where help and results go
     * @param err where refusals go
     * @return the exit code
     */
    public static int run(List<String> args, PrintStream out, PrintStream err) {
        if (args.isEmpty() || args.get(0).equals("--help") || args.get(0).equals("-h")) {
            out.print(usage());
            return args.isEmpty() ? USAGE : DONE;
        }
        if (args.get(0).equals("brand")) {
            return BrandCommand.run(args.subList(1, args.size()), out, err);
        }
        if (args.get(0).equals(InstallerCommand.NAME)) {
            return InstallerCommand.run(args.subList(1, args.size()), out, err);
        }
        if (SettingsCommands.COMMANDS.contains(args.get(0))) {
            return SettingsCommands.run(args, out, err);
        }
        err.println("ravelin-packager: unknown command " + args.get(0) + " (see --help)");
        return USAGE;
    }

    static String usage() {
        return "usage: java -jar ravelin-packager.jar <command> [options]\n"
                + "  brand --launcher IN.exe --output OUT.exe [options]   writes IN.exe as the application's own"
                + " program (its icon, version information, manifest)\n"
                + SettingsCommands.summary()
                + "  installer --folder DIR --version TEXT --upgrade-seed TEXT [options]   a Windows Installer"
                + " package of the program's folder\n";
    }
}
