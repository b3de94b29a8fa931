// Reads a hand-off file the way the Java side does, with java.util.Properties of
// this machine's JDK and with the Java side library's reader
// (org.ravelin.launcher.Handoff, on the class path), and compares both with
// what the launcher was given.
//
//   java -cp ravelin-java.jar HandoffCheck.java <hand-off file> <expected file>
//
// The expected file (ASCII, LF lines): the VM program's path on the first line,
// then one line per environment variable the launcher had: its name, a blank and
// its value. Each text is written as the hexadecimal digits of its UTF-16 units,
// four per unit, so that line breaks, separators and surrogates pass unchanged.
// Exits 0 when every value reads back exactly, 1 otherwise (a missing file
// included).

import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Properties;

import org.ravelin.launcher.Handoff;

public class HandoffCheck {
    private final Properties properties = new Properties();
    private Handoff handoff;
    private final List<String> failures = new ArrayList<>();
    private int checks;

    public static void main(String[] args) throws IOException {
        if (args.length != 2) {
            System.err.println("usage: java HandoffCheck.java <hand-off file> <expected file>");
            System.exit(2);
        }
        HandoffCheck check = new HandoffCheck();
        try (InputStream in = Files.newInputStream(Path.of(args[0]))) {
            check.properties.load(in);
        }
        check.handoff = Handoff.read(Path.of(args[0]));
        List<String> expected = Files.readAllLines(Path.of(args[1]), StandardCharsets.US_ASCII);
        if (expected.size() < 2) {
            System.err.println("the expected file names no variable: " + args[1]);
            System.exit(1);
        }
        String vm = units(expected.get(0));
        check.expect("qel.nl.current.vm", vm);
        check.compare("Handoff.findVmPath()", vm, check.handoff.findVmPath().orElse(null));
        for (String line : expected.subList(1, expected.size())) {
            int blank = line.indexOf(' ');
            String name = units(line.substring(0, blank));
            String value = units(line.substring(blank + 1));
            check.expect("qel.nl.env.exact_case." + name, value);
            check.expect("qel.nl.env." + asciiCase(name, false), value);
            check.expect("qel.nl.env." + asciiCase(name, true), value);
            check.compare("Handoff.environment() of " + visible(name), value, check.handoff.environment().get(name));
        }
        for (String failure : check.failures) {
            System.err.println(failure);
        }
        System.out.println(check.checks + " values checked, " + check.failures.size() + " wrong");
        System.exit(check.failures.isEmpty() ? 0 : 1);
    }

    // The key read by both readers.
    private void expect(String key, String value) {
        compare("Properties " + visible(key), value, properties.getProperty(key));
        compare("Handoff " + visible(key), value, handoff.asMap().get(key));
    }

    private void compare(String what, String value, String found) {
        ++checks;
        if (!value.equals(found)) {
            failures.add(what + ": expected " + visible(value) + ", read "
                         + (found == null ? "nothing" : visible(found)));
        }
    }

    private static String units(String hex) {
        StringBuilder out = new StringBuilder();
        for (int i = 0; i + 4 <= hex.length(); i += 4) {
            out.append((char) Integer.parseInt(hex.substring(i, i + 4), 16));
        }
        return out.toString();
    }

    // The launcher changes the case of ASCII letters only, before it escapes.
    private static String asciiCase(String text, boolean upper) {
        StringBuilder out = new StringBuilder();
        for (char unit : text.toCharArray()) {
            if (upper && unit >= 'a' && unit <= 'z') {
                out.append((char) (unit - 'a' + 'A'));
            } else if (!upper && unit >= 'A' && unit <= 'Z') {
                out.append((char) (unit - 'A' + 'a'));
            } else {
                out.append(unit);
            }
        }
        return out.toString();
    }

    // Units outside printable ASCII as \\uXXXX, so that messages read the same in any locale.
    private static String visible(String text) {
        StringBuilder out = new StringBuilder("\"");
        for (char unit : text.toCharArray()) {
            out.append(unit >= 0x20 && unit < 0x7F ? String.valueOf(unit) : String.format("\\u%04x", (int) unit));
        }
        return out.append('"').toString();
    }
}
