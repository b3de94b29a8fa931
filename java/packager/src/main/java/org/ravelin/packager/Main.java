package org.ravelin.packager;

import java.io.PrintStream;
import java.nio.charset.Charset;
import java.nio.charset.CharsetEncoder;
import java.nio.charset.StandardCharsets;
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
        System.exit(run(Arrays.asList(args), System.out, System.err, outputCharset()));
    }

    /**
     * The character set of standard output: the one the VM names for it (stdout.encoding, or on a Windows console
     * sun.stdout.encoding), else the platform's (native.encoding), else the default. Under LC_ALL=C it is ASCII.
     *
     * @return the character set
     */
    public static Charset outputCharset() {
        for (String property : new String[] {"stdout.encoding", "sun.stdout.encoding", "native.encoding"}) {
            final String name = System.getProperty(property);
            if (name != null && Charset.isSupported(name)) {
                return Charset.forName(name);
            }
        }
        return Charset.defaultCharset();
    }

    /**
     * The text with every character that the character set cannot encode written as a {@code \}{@code uXXXX}
     * escape (a no-break space as backslash, u, 00a0, not "?"), and every control character but the tab too.
     *
     * @param text a line to print
     * @param charset the output's character set
     * @return the text to print
     */
    public static String printable(String text, Charset charset) {
        final CharsetEncoder encoder = charset.newEncoder();
        final StringBuilder result = new StringBuilder(text.length());
        for (int i = 0; i < text.length(); i++) {
            final char c = text.charAt(i);
            final boolean pair = Character.isHighSurrogate(c) && i + 1 < text.length()
                    && Character.isLowSurrogate(text.charAt(i + 1));
            final String unit = pair ? text.substring(i, i + 2) : String.valueOf(c);
            if (c < ' ' && c != '\t' || c == 0x7F || !encoder.canEncode(unit)) {
                for (int j = 0; j < unit.length(); j++) {
                    result.append(String.format("\\u%04x", (int) unit.charAt(j)));
                }
            } else {
                result.append(unit);
            }
            if (pair) {
                i++;
            }
        }
        return result.toString();
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
        return run(args, out, err, StandardCharsets.UTF_8);
    }

    /**
     * Runs a command, writing what the output's character set cannot hold as escapes.
     *
     * @param args the command and its options
     * @param out where help and results go
     * @param err where refusals go
     * @param charset the character set of both
     * @return the exit code
     */
    public static int run(List<String> args, PrintStream out, PrintStream err, Charset charset) {
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
            return SettingsCommands.run(args, out, err, charset);
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
