// Reads a hand-off file the way the Java side does, with java.util.Properties,
// and compares it with what the launcher was given.
//
//   java HandoffCheck.java <hand-off file> <expected file>
//
// The expected file (UTF-8, LF lines): the VM program's path on the first line,
// then one "name=value" line per environment variable the launcher had. Exits 0
// when every value reads back exactly, 1 otherwise (a missing file included).

import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Properties;

public class HandoffCheck {
    private final Properties handoff = new Properties();
    private final List<String> failures = new ArrayList<>();
    private int checks;

    public static void main(String[] args) throws IOException {
        if (args.length != 2) {
            System.err.println("usage: java HandoffCheck.java <hand-off file> <expected file>");
            System.exit(2);
        }
        HandoffCheck check = new HandoffCheck();
        try (InputStream in = Files.newInputStream(Path.of(args[0]))) {
            check.handoff.load(in);
        }
        List<String> expected = Files.readAllLines(Path.of(args[1]), StandardCharsets.UTF_8);
        if (expected.size() < 2) {
            System.err.println("the expected file names no variable: " + args[1]);
            System.exit(1);
        }
        check.expect("qel.nl.current.vm", expected.get(0));
        for (String line : expected.subList(1, expected.size())) {
            int equals = line.indexOf('=');
            String name = line.substring(0, equals);
            String value = line.substring(equals + 1);
            check.expect("qel.nl.env.exact_case." + name, value);
            check.expect("qel.nl.env." + lowerAscii(name), value);
            check.expect("qel.nl.env." + upperAsRead(name), value);
        }
        for (String failure : check.failures) {
            System.err.println(failure);
        }
        System.out.println(check.checks + " values checked, " + check.failures.size() + " wrong");
        System.exit(check.failures.isEmpty() ? 0 : 1);
    }

    private void expect(String key, String value) {
        ++checks;
        String found = handoff.getProperty(key);
        if (!value.equals(found)) {
            failures.add(visible(key) + ": expected " + visible(value) + ", read "
                         + (found == null ? "nothing" : visible(found)));
        }
    }

    // The launcher changes the case of ASCII letters only.
    private static String lowerAscii(String text) {
        StringBuilder out = new StringBuilder();
        for (char unit : text.toCharArray()) {
            out.append(unit >= 'A' && unit <= 'Z' ? (char) (unit - 'A' + 'a') : unit);
        }
        return out.toString();
    }

    // The upper-cased line changes the case of the escapes too: a unit beyond
    // ASCII is written "\U00E9", which Properties reads as "U00E9".
    private static String upperAsRead(String text) {
        StringBuilder out = new StringBuilder();
        for (char unit : text.toCharArray()) {
            if (unit >= 0x80) {
                out.append(String.format("U%04X", (int) unit));
            } else {
                out.append(unit >= 'a' && unit <= 'z' ? (char) (unit - 'a' + 'A') : unit);
            }
        }
        return out.toString();
    }

    // Non-ASCII units as \\uXXXX, so that messages read the same in any locale.
    private static String visible(String text) {
        StringBuilder out = new StringBuilder("\"");
        for (char unit : text.toCharArray()) {
            out.append(unit >= 0x20 && unit < 0x7F ? String.valueOf(unit) : String.format("\\u%04x", (int) unit));
        }
        return out.append('"').toString();
    }
}
