package org.ravelin.packager;

import java.io.PrintStream;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.HashMap;
import java.util.List;
import java.util.Map;

/** The {@code brand} command: {@link Brander#brand} from the command line. */
final class BrandCommand {
    static final String USAGE = "usage: java -jar ravelin-packager.jar brand --launcher IN.exe --output OUT.exe [options]\n"
            + "Writes OUT.exe: the launcher IN.exe with its own icon, version information and manifest settings.\n"
            + "What is not given stays as in IN.exe; the original and internal file names follow OUT.exe.\n"
            + "  --icon FILE                 an .ico file (all its images) or a PNG image, at most 256x256 pixels\n"
            + "  --product-name TEXT         the product name; also the program's name in the title of its error\n"
            + "                              boxes and in its manifest's identity\n"
            + "  --file-description TEXT     the file description Explorer and the task manager show; without a\n"
            + "                              product name, the program's name in its error boxes' title\n"
            + "  --company TEXT              the company name\n"
            + "  --copyright TEXT            the copyright notice\n"
            + "  --version TEXT              the product and file version, such as 2.3.1 or 2.3.1-SNAPSHOT; the\n"
            + "                              numeric fields take its first four numbers (each at most 65535)\n"
            + "  --execution-level LEVEL     asInvoker, highestAvailable or requireAdministrator\n"
            + "  --dpi-aware true|false      whether Windows draws its windows unscaled on high-DPI screens\n"
            + "  --long-path-aware true|false  whether it takes paths longer than 260 characters\n"
            + "A signed launcher is refused: brand first, then sign.\n";

    /** The option of each branding setting, by the name of the builder's method that sets it. */
    private static final Map<String, String> OPTIONS = new HashMap<>();

    static {
        OPTIONS.put("icon", "--icon");
        OPTIONS.put("productName", "--product-name");
        OPTIONS.put("fileDescription", "--file-description");
        OPTIONS.put("company", "--company");
        OPTIONS.put("copyright", "--copyright");
        OPTIONS.put("version", "--version");
    }

    private BrandCommand() {}

    static int run(List<String> args, PrintStream out, PrintStream err) {
        if (args.contains("--help") || args.contains("-h")) {
            out.print(USAGE);
            return Main.DONE;
        }
        Path launcher = null;
        Path output = null;
        final Branding.Builder b = Branding.builder();
        try {
            for (int i = 0; i < args.size(); i += 2) {
                final String option = args.get(i);
                if (i + 1 >= args.size()) {
                    return usage(err, option + " needs a value");
                }
                final String value = args.get(i + 1);
                switch (option) {
                    case "--launcher": launcher = Paths.get(value); break;
                    case "--output": output = Paths.get(value); break;
                    case "--icon": b.icon(Paths.get(value)); break;
                    case "--product-name": b.productName(value); break;
                    case "--file-description": b.fileDescription(value); break;
                    case "--company": b.company(value); break;
                    case "--copyright": b.copyright(value); break;
                    case "--version": b.version(value); break;
                    case "--execution-level": b.executionLevel(ExecutionLevel.fromManifestName(value)); break;
                    case "--dpi-aware": b.dpiAware(bool(option, value)); break;
                    case "--long-path-aware": b.longPathAware(bool(option, value)); break;
                    default: return usage(err, "unknown option " + option);
                }
            }
        } catch (IllegalArgumentException e) {
            return usage(err, e.getMessage());
        }
        if (launcher == null || output == null) {
            return usage(err, launcher == null ? "--launcher is missing" : "--output is missing");
        }
        try {
            Brander.brand(launcher, output, b.build());
            return Main.DONE;
        } catch (PackagerException e) {
            final String option = e.setting() == null ? null : OPTIONS.get(e.setting());
            err.println("ravelin-packager: " + (option == null ? "" : option + ": ") + e.getMessage());
            return Main.REFUSED;
        }
    }

    private static boolean bool(String option, String value) {
        if (value.equals("true") || value.equals("false")) {
            return Boolean.parseBoolean(value);
        }
        throw new IllegalArgumentException(option + " takes true or false, not " + value);
    }

    private static int usage(PrintStream err, String problem) {
        err.println("ravelin-packager: brand: " + problem + " (see brand --help)");
        return Main.USAGE;
    }
}
