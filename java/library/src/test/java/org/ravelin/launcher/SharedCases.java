package org.ravelin.launcher;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

/**
 * The cases of a data file in the repository's tests/cases, which the launcher's own tests run too: blocks of lines,
 * each a field name, a tab and texts separated by tabs, a block beginning with its "case" line. Texts are as written
 * but for escapes in braces: {LF}, {CR}, {TAB}, {SP} (a blank), {LB} (a left brace), {xHH} and {uHHHH} (the unit of
 * that value), and {xHH*N} or {uHHHH*N} (the unit N times, N from 1 to 99999). The directory is the system property ravelin.cases. The packager's tests read them with it too.
 */
public final class SharedCases {
    /** One case: its name and its fields in the file's order, each the field name and its decoded texts. */
    public static final class Case {
        final String name;
        final List<List<String>> fields = new ArrayList<>();

        Case(String name) {
            this.name = name;
        }

        /** The texts of every line of the field, in order. */
        public List<List<String>> all(String field) {
            final List<List<String>> found = new ArrayList<>();
            for (List<String> line : fields) {
                if (line.get(0).equals(field)) {
                    found.add(line.subList(1, line.size()));
                }
            }
            return found;
        }

        /** The one text of a field the case must have once. */
        public String one(String field) {
            final List<List<String>> found = all(field);
            if (found.size() != 1 || found.get(0).size() != 1) {
                throw new IllegalStateException("case \"" + name + "\" needs one " + field + " line with one text");
            }
            return found.get(0).get(0);
        }

        @Override
        public String toString() {
            return name;
        }
    }

    private SharedCases() {}

    public static Path file(String name) {
        final String directory = System.getProperty("ravelin.cases");
        if (directory == null) {
            throw new IllegalStateException("the system property ravelin.cases names no directory of shared cases");
        }
        return Paths.get(directory, name);
    }

    public static List<Case> read(String name) throws IOException {
        final List<Case> cases = new ArrayList<>();
        Case current = null;
        int number = 0;
        for (String line : Files.readAllLines(file(name), StandardCharsets.UTF_8)) {
            number++;
            if (line.isEmpty() || line.startsWith("#")) {
                continue;
            }
            final String[] parts = line.split("\t", -1);
            if (parts.length < 2) {
                throw new IOException(name + ":" + number + ": a field name and a tab come first");
            }
            if (parts[0].equals("case")) {
                current = new Case(parts[1]);
                cases.add(current);
                continue;
            }
            if (current == null) {
                throw new IOException(name + ":" + number + ": a field before the first case");
            }
            final List<String> field = new ArrayList<>();
            field.add(parts[0]);
            for (int i = 1; i < parts.length; i++) {
                field.add(decode(parts[i], name + ":" + number));
            }
            current.fields.add(Collections.unmodifiableList(field));
        }
        return cases;
    }

    static String decode(String text, String where) throws IOException {
        final StringBuilder result = new StringBuilder(text.length());
        int i = 0;
        while (i < text.length()) {
            final char c = text.charAt(i);
            if (c != '{') {
                result.append(c);
                i++;
                continue;
            }
            final int end = text.indexOf('}', i);
            if (end < 0) {
                throw new IOException(where + ": a brace without its end");
            }
            final String escape = text.substring(i + 1, end);
            switch (escape) {
            case "LF":
                result.append('\n');
                break;
            case "CR":
                result.append('\r');
                break;
            case "TAB":
                result.append('\t');
                break;
            case "SP":
                result.append(' ');
                break;
            case "LB":
                result.append('{');
                break;
            default:
                // {xHH} or {uHHHH}, and with "*N" the unit N times.
                final int star = escape.indexOf('*');
                final String unit = star < 0 ? escape : escape.substring(0, star);
                final String count = star < 0 ? "1" : escape.substring(star + 1);
                final int digits = unit.startsWith("x") ? 2 : unit.startsWith("u") ? 4 : -1;
                if (unit.length() != digits + 1 || !unit.substring(1).matches("[0-9A-Fa-f]+")
                        || !count.matches("[0-9]{1,5}") || Integer.parseInt(count) == 0) {
                    throw new IOException(where + ": unknown escape {" + escape + "}");
                }
                final char value = (char) Integer.parseInt(unit.substring(1), 16);
                for (int n = Integer.parseInt(count); n > 0; n--) {
                    result.append(value);
                }
            }
            i = end + 1;
        }
        return result.toString();
    }

    /** The text's characters as bytes; each must be below 256. */
    public static byte[] bytes(String text) {
        final byte[] bytes = new byte[text.length()];
        for (int i = 0; i < text.length(); i++) {
            if (text.charAt(i) > 0xFF) {
                throw new IllegalArgumentException("not a byte: U+" + Integer.toHexString(text.charAt(i)));
            }
            bytes[i] = (byte) text.charAt(i);
        }
        return bytes;
    }
}
