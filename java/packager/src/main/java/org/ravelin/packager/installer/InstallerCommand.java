package org.ravelin.packager.installer;

import java.io.IOException;
import java.io.PrintStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.List;
import java.util.Map;
import java.util.UUID;

import org.ravelin.packager.PackagerException;
import org.ravelin.packager.settings.ServiceSettings;
import org.ravelin.packager.settings.SettingsFile;

/** The {@code installer} command: a Windows Installer package of a program's folder, from any build. */
public final class InstallerCommand {
    /** The command's name. */
    public static final String NAME = "installer";

    static final String USAGE = "usage: java -jar ravelin-packager.jar installer --folder DIR --version TEXT"
            + " (--upgrade-seed TEXT | --upgrade-code UUID) [options]\n"
            + "Writes a Windows Installer package (.msi) of the program's folder DIR (NAME.exe, NAME.qel, lib/, the\n"
            + "runtime when one is bundled, the application's own files), built with msitools' wixl on Linux and\n"
            + "macOS and with the WiX toolset on Windows.\n"
            + "  --folder DIR                the program's folder; NAME is its name unless --name gives it\n"
            + "  --name NAME                 the program: NAME.exe, Program Files\\NAME, the shortcut's name\n"
            + "  --version TEXT              the version, such as 2.3.1 or 2.3.1-SNAPSHOT (the package takes 2.3.1)\n"
            + "  --upgrade-seed TEXT         what names the project (groupId:artifactId): the upgrade code, the same\n"
            + "                              for every version, is derived from it\n"
            + "  --upgrade-code UUID         the upgrade code itself\n"
            + "  --output FILE.msi           the package (default: NAME-VERSION.msi beside DIR)\n"
            + "  --manufacturer TEXT         the publisher Programs and Features shows (default: NAME)\n"
            + "  --description TEXT          the comment Programs and Features shows\n"
            + "  --per-user                  install for the user alone, without administrator rights, into\n"
            + "                              AppData\\Local\\Programs\\NAME (default: per machine)\n"
            + "  --desktop-shortcut          a shortcut on the desktop too\n"
            + "  --associate EXT             open files of the extension EXT with the program (\"%1\"); repeatable\n"
            + "  --service SERVICE           install the launcher's service SERVICE with the settings of NAME.qel\n"
            + "                              (display name, description, start, account, dependencies, event\n"
            + "                              source), start it when it starts with Windows, remove it at uninstall\n"
            + "  --timestamp SECONDS         the package's dates (default: SOURCE_DATE_EPOCH, else 1980-01-01)\n";

    private InstallerCommand() {}

    /**
     * Runs the command.
     *
     * @param args its options
     * @param out where help and what was built go
     * @param err where refusals go
     * @return 0 when the package was built, 1 when the input was refused, 2 for a command line not understood
     */
    public static int run(List<String> args, PrintStream out, PrintStream err) {
        if (args.contains("--help") || args.contains("-h")) {
            out.print(USAGE);
            return 0;
        }
        final Installer.Builder b = Installer.builder();
        Path folder = null;
        Path output = null;
        String name = null;
        String version = null;
        String service = null;
        String timestamp = System.getenv("SOURCE_DATE_EPOCH");
        try {
            for (int i = 0; i < args.size(); i++) {
                final String option = args.get(i);
                if (option.equals("--per-user")) {
                    b.perUser(true);
                    continue;
                }
                if (option.equals("--desktop-shortcut")) {
                    b.desktopShortcut(true);
                    continue;
                }
                if (i + 1 >= args.size()) {
                    return usage(err, option + " needs a value");
                }
                final String value = args.get(++i);
                switch (option) {
                    case "--folder": folder = Paths.get(value); break;
                    case "--name": name = value; break;
                    case "--version": version = value; break;
                    case "--output": output = Paths.get(value); break;
                    case "--manufacturer": b.manufacturer(value); break;
                    case "--description": b.description(value); break;
                    case "--upgrade-seed": b.upgradeCode(Installer.upgradeCodeOf(value)); break;
                    case "--upgrade-code": b.upgradeCode(upgradeCode(value)); break;
                    case "--associate": b.associate(value); break;
                    case "--service": service = value; break;
                    case "--timestamp": timestamp = value; break;
                    default: return usage(err, "unknown option " + option);
                }
            }
        } catch (IllegalArgumentException e) {
            return usage(err, e.getMessage());
        }
        if (folder == null) {
            return usage(err, "--folder is missing");
        }
        if (name == null) {
            name = folder.toAbsolutePath().normalize().getFileName().toString();
        }
        try {
            if (timestamp != null && !timestamp.trim().isEmpty()) {
                b.epochSeconds(epochSeconds(timestamp.trim()));
            }
            if (service != null) {
                final Path qel = folder.resolve(name + ".qel");
                if (!Files.isRegularFile(qel)) {
                    throw new PackagerException("--service: " + folder + " holds no " + name + ".qel with the"
                            + " service's settings");
                }
                final Map<String, String> settings = SettingsFile.read(qel);
                try {
                    b.service(ServiceSettings.read(settings, service));
                } catch (IllegalArgumentException e) {
                    throw new PackagerException(name + ".qel: " + e.getMessage());
                }
            }
            final Installer installer = b.folder(folder).name(name).version(version).build();
            if (output == null) {
                output = folder.toAbsolutePath().normalize().resolveSibling(name + "-" + version + ".msi");
            }
            InstallerBuilder.build(installer, output, out);
            return 0;
        } catch (PackagerException e) {
            err.println("ravelin-packager: installer: " + e.getMessage());
            return 1;
        } catch (IOException e) {
            err.println("ravelin-packager: installer: " + e);
            return 1;
        }
    }

    private static UUID upgradeCode(String text) {
        final String bare = text.startsWith("{") && text.endsWith("}") ? text.substring(1, text.length() - 1) : text;
        if (!bare.matches("[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}")) {
            throw new IllegalArgumentException("--upgrade-code takes a UUID such as"
                    + " 6B29FC40-CA47-1067-B31D-00DD010662DA, not " + text);
        }
        return UUID.fromString(bare);
    }

    private static long epochSeconds(String text) throws PackagerException {
        if (!text.matches("[0-9]{1,12}")) {
            throw new PackagerException("--timestamp (or SOURCE_DATE_EPOCH): \"" + text + "\" is no count of seconds"
                    + " since 1970");
        }
        return Long.parseLong(text);
    }

    private static int usage(PrintStream err, String problem) {
        err.println("ravelin-packager: installer: " + problem + " (see installer --help)");
        return 2;
    }
}
