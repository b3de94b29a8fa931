package org.ravelin.launcher;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.Locale;
import java.util.Map;
import java.util.Objects;
import java.util.Optional;

/**
 * The hand-off file the launcher writes for the Java side before the VM starts: the VM program it chose, the
 * environment it was started with, whether the user held Ctrl at the start, whether the VM has a console and whether
 * it runs as a service. Instances are immutable.
 *
 * <p>The file holds ASCII {@code key=value} lines ended by CR LF (a byte above 0x7F is refused), with the escapes of
 * {@link java.util.Properties#load(java.io.InputStream)}, which reads it too: backslashes doubled, line breaks, tabs and
 * form feeds written as <code>&#92;r &#92;n &#92;t &#92;f</code>, other control characters and every character above
 * U+007F as <code>&#92;uXXXX</code>, and in keys a backslash before {@code =}, {@code :}, blanks, {@code #} and
 * {@code !}. A key ends at its first {@code =} without a backslash before it; the value is the rest of the line. So
 * this reader also keeps what files of earlier launchers held unescaped: leading blanks of a value, and blanks or colons
 * in a variable's name.
 *
 * <p>What the file may lack is an empty {@link Optional} ({@link #findVmPath()}, {@link #findEnvironmentValue(String)},
 * {@link #findStopLine()}), as everywhere in this package.
 */
public final class Handoff {
    /** The VM program the launcher started. */
    public static final String VM_PATH = "qel.nl.current.vm";
    /** {@code true} when the user held Ctrl at the start; the launcher then also sends both outputs to a console. */
    public static final String CONTROL_KEY = "qel.control-key";
    /** Present when the service host asks the Java program to stop by a line on its standard input. */
    public static final String STOP_INPUT = "qel.service.stop.input";
    /** The line that asks the Java program to stop. */
    public static final String STOP_LINE = "qel.service.stop.line";
    /** {@code true} when the VM runs with a console (the launcher started its console program), else {@code false}. */
    public static final String CONSOLE = "qel.console";
    /** {@code true} when the launcher runs the VM as a Windows service. */
    public static final String SERVICE = "qel.service";
    /** The prefix of each environment variable's line with the variable's exact name. */
    public static final String ENVIRONMENT_EXACT_CASE = "qel.nl.env.exact_case.";

    private static final String ENVIRONMENT = "qel.nl.env.";

    // The file's text, whose environment lines are read only when asked for (null for entries made in memory); the
    // entries of every other line, read at once; and every entry and the environment, made on first use.
    private final String text;
    private final Map<String, String> launcherEntries;
    private volatile Map<String, String> properties;
    private volatile Map<String, String> environment;

    private Handoff(String text, Map<String, String> launcherEntries, Map<String, String> properties) {
        this.text = text;
        this.launcherEntries = launcherEntries;
        this.properties = properties == null ? null : Collections.unmodifiableMap(properties);
    }

    // The value of a key of the launcher's own lines (not one of the environment's), without reading the environment.
    String launcherValue(String key) {
        return launcherEntries.get(key);
    }

    /**
     * Reads a hand-off file.
     *
     * @param file the file
     * @return its entries
     * @throws IOException when the file cannot be read, holds a byte that is not ASCII, an escape is malformed or the
     *     file names no VM program
     */
    public static Handoff read(Path file) throws IOException {
        return parse(PropertiesReader.readFile(Objects.requireNonNull(file, "file")));
    }

    /**
     * Entries made in memory, as a file with these lines would give them after reading (for tests). Unlike a file,
     * they need not name the VM program.
     *
     * @param entries keys and values, in order; copied
     * @return the hand-off entries
     * @throws NullPointerException when the map, one of its keys or one of its values is {@code null}; the message
     *     names which
     */
    public static Handoff of(Map<String, String> entries) {
        final Map<String, String> copy = Settings.copyWithoutNull(entries);
        return new Handoff(null, copy, copy);
    }

    /**
     * Reads the bytes of a hand-off file.
     *
     * @param bytes the file's bytes
     * @return its entries
     * @throws IOException when a byte is not ASCII (the message names its value, its offset counted from 0 and its
     *     line), an escape is malformed or the file names no VM program
     */
    public static Handoff parse(byte[] bytes) throws IOException {
        // Read as ASCII, each other byte becomes U+FFFD at its own offset, which one indexOf finds: the VM compiled
        // that early, where a loop over each byte would run interpreted at every start.
        final String text = new String(Objects.requireNonNull(bytes, "bytes"), StandardCharsets.US_ASCII);
        final int beyondAscii = text.indexOf('\uFFFD');
        if (beyondAscii >= 0) {
            throw notAscii(bytes, beyondAscii);
        }
        return new Handoff(text, entries(text, false), null);
    }

    // Every VM start reads the whole file, its environment too (some 150 lines): line ends, "=" and backslashes are
    // found with String.indexOf, which the VM has compiled by then, where a loop over each character would run
    // interpreted. Each search goes on from the last one for that character (next holds where each was found, by
    // the index of SOUGHT), so the text is scanned once for each. No class of its own: each costs a VM start time.
    private static final String SOUGHT = "\r\n=\\";
    private static final int RETURN = 0;
    private static final int FEED = 1;
    private static final int EQUALS = 2;
    private static final int BACKSLASH = 3;

    // The position of the first sought character at or after from; the text's length when there is none.
    private static int find(String text, int[] next, int sought, int from) {
        if (next[sought] < from && next[sought] != text.length()) {
            final int found = text.indexOf(SOUGHT.charAt(sought), from);
            next[sought] = found < 0 ? text.length() : found;
        }
        return next[sought];
    }

    // The entries of the file's lines, or with all false only those of the launcher's own lines (the environment's
    // lines, most of the file, are then only checked for malformed escapes).
    private static Map<String, String> entries(String text, boolean all) throws IOException {
        final int[] next = {-1, -1, -1, -1};
        final Map<String, String> properties = new LinkedHashMap<>();
        final int length = text.length();
        int lineNumber = 0;
        int position = 0;
        while (position < length) {
            // A line ends at CR LF, CR or LF.
            final int start = position;
            final int end = Math.min(find(text, next, RETURN, start), find(text, next, FEED, start));
            position = end + (text.startsWith("\r\n", end) ? 2 : 1);
            lineNumber++;
            if (end == start || text.charAt(start) == '#' || text.charAt(start) == '!') {
                continue;
            }
            if (!all && text.startsWith(ENVIRONMENT, start)) {
                checkEscapes(text, next, start, end, lineNumber);
                continue;
            }
            final int separator = separatorOf(text, next, start, end);
            if (separator < 0) {
                continue;
            }
            properties.put(unescape(text, next, start, separator, lineNumber),
                    unescape(text, next, separator + 1, end, lineNumber));
        }
        if (!properties.containsKey(VM_PATH)) {
            throw new IOException("not a hand-off file of the launcher: it has no " + VM_PATH + " line");
        }
        return properties;
    }

    // Fails as unescape would on a malformed \\u escape of the line, without making its text.
    private static void checkEscapes(String text, int[] next, int start, int end, int lineNumber) throws IOException {
        for (int backslash = find(text, next, BACKSLASH, start); backslash < end - 1;
                backslash = find(text, next, BACKSLASH, backslash + 2)) {
            if (text.charAt(backslash + 1) != 'u') {
                continue;
            }
            for (int digit = backslash + 2; digit < backslash + 6; digit++) {
                if (digit >= end || PropertiesReader.hexDigit(text.charAt(digit)) < 0) {
                    throw malformedEscape(lineNumber);
                }
            }
        }
    }

    private static IOException malformedEscape(int lineNumber) {
        return new IOException("malformed \\u escape in line " + lineNumber + " of the hand-off file");
    }

    private static IOException notAscii(byte[] bytes, int offset) {
        int line = 1;
        for (int i = 0; i < offset; i++) {
            if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 == bytes.length || bytes[i + 1] != '\n'))) {
                line++;
            }
        }
        final String value = Integer.toHexString(0x100 | (bytes[offset] & 0xFF)).substring(1).toUpperCase(Locale.ROOT);
        return new IOException("byte 0x" + value + " at offset " + offset + " (line " + line
                + ") of the hand-off file is not ASCII: the launcher writes every other character as \\uXXXX");
    }

    // The first "=" of the line that no backslash escapes; -1 when there is none.
    private static int separatorOf(String text, int[] next, int start, int end) {
        final int equals = find(text, next, EQUALS, start);
        if (find(text, next, BACKSLASH, start) > equals) {
            return equals < end ? equals : -1;
        }
        for (int i = start; i < end; i++) {
            final char c = text.charAt(i);
            if (c == '\\') {
                i++;
            } else if (c == '=') {
                return i;
            }
        }
        return -1;
    }

    // The escapes of java.util.Properties: a backslash and u with four hexadecimal digits, t, n, r or f; a
    // backslash before any other character stands for that character.
    private static String unescape(String text, int[] next, int start, int end, int lineNumber) throws IOException {
        int backslash = find(text, next, BACKSLASH, start);
        if (backslash >= end) {
            return text.substring(start, end);
        }
        final StringBuilder result = new StringBuilder(end - start);
        int i = start;
        while (backslash < end) {
            result.append(text, i, backslash);
            i = backslash + 1;
            if (i == end) {
                // A backslash that ends the text stands for itself.
                result.append('\\');
                break;
            }
            final char escaped = text.charAt(i++);
            switch (escaped) {
            case 'u':
                int value = 0;
                for (int digits = 0; digits < 4; digits++) {
                    final int digit = i < end ? PropertiesReader.hexDigit(text.charAt(i)) : -1;
                    if (digit < 0) {
                        throw malformedEscape(lineNumber);
                    }
                    value = value * 16 + digit;
                    i++;
                }
                result.append((char) value);
                break;
            case 't':
                result.append('\t');
                break;
            case 'n':
                result.append('\n');
                break;
            case 'r':
                result.append('\r');
                break;
            case 'f':
                result.append('\f');
                break;
            default:
                result.append(escaped);
            }
            backslash = find(text, next, BACKSLASH, i);
        }
        if (i < end) {
            result.append(text, i, end);
        }
        return result.toString();
    }

    /**
     * The Java VM program the launcher started.
     *
     * @return its path as the launcher wrote it, a Windows path; empty only for entries made with {@link #of(Map)}
     *     without it (a file without it is refused)
     */
    public Optional<String> findVmPath() {
        return Optional.ofNullable(launcherValue(VM_PATH));
    }

    /**
     * The Java VM program the launcher started, or {@code null}.
     *
     * @return its path, or {@code null} for entries made with {@link #of(Map)} without it
     * @deprecated absence is an empty {@link Optional} in this package: use {@link #findVmPath()}
     */
    @Deprecated
    public String vmPath() {
        return launcherValue(VM_PATH);
    }

    /**
     * The environment the launcher was started with, by the variables' exact names, in the launcher's order (by
     * name, UTF-16 unit by unit); values have their {@code %NAME%} references expanded. Unmodifiable. The names
     * compare exactly, where Windows ignores their case: see {@link #findEnvironmentValue(String)}.
     *
     * @return the variables by name
     */
    public Map<String, String> environment() {
        Map<String, String> variables = environment;
        if (variables == null) {
            final Map<String, String> made = new LinkedHashMap<>();
            for (Map.Entry<String, String> entry : asMap().entrySet()) {
                final String key = entry.getKey();
                // Windows' hidden per-drive entries ("=C:=C:\dir") have no name.
                if (key.startsWith(ENVIRONMENT_EXACT_CASE) && key.length() > ENVIRONMENT_EXACT_CASE.length()) {
                    made.put(key.substring(ENVIRONMENT_EXACT_CASE.length()), entry.getValue());
                }
            }
            variables = Collections.unmodifiableMap(made);
            environment = variables;
        }
        return variables;
    }

    /**
     * The value of an environment variable, its name compared as Windows compares it: the exact name first, else the
     * first variable whose name differs only in case.
     *
     * @param name the variable's name, in any case
     * @return its value, or an empty {@code Optional} when there is none
     */
    public Optional<String> findEnvironmentValue(String name) {
        final Map<String, String> environment = environment();
        final String exact = environment.get(name);
        if (exact != null) {
            return Optional.of(exact);
        }
        for (Map.Entry<String, String> entry : environment.entrySet()) {
            if (entry.getKey().equalsIgnoreCase(name)) {
                return Optional.of(entry.getValue());
            }
        }
        return Optional.empty();
    }

    /**
     * The value of an environment variable, or {@code null}, its name compared as
     * {@link #findEnvironmentValue(String)} compares it.
     *
     * @param name the variable's name, in any case
     * @return its value, or {@code null} when there is none
     * @deprecated absence is an empty {@link Optional} in this package: use {@link #findEnvironmentValue(String)}
     */
    @Deprecated
    public String environmentValue(String name) {
        return findEnvironmentValue(name).orElse(null);
    }

    /**
     * Whether the user held Ctrl when the launcher started.
     *
     * @return {@code true} when the file says so
     */
    public boolean isControlKeyHeldAtStart() {
        return "true".equalsIgnoreCase(launcherValue(CONTROL_KEY));
    }

    /**
     * Whether the user held Ctrl when the launcher started.
     *
     * @return {@code true} when the file says so
     * @deprecated boolean queries are named {@code is…} or {@code has…} in this package: use
     *     {@link #isControlKeyHeldAtStart()}
     */
    @Deprecated
    public boolean controlKeyAtStart() {
        return isControlKeyHeldAtStart();
    }

    /**
     * Whether the VM runs with a console, where its standard output and standard error are seen: the launcher's
     * console twin, a console window of the windowed launcher, or a file of an earlier launcher that does not say.
     * {@code false} when the windowed launcher started the VM's windowed program ({@code javaw.exe}), whose standard
     * error nobody sees unless it is redirected.
     *
     * @return {@code false} only when the file says the VM runs without a console
     */
    public boolean hasConsole() {
        return !"false".equalsIgnoreCase(launcherValue(CONSOLE));
    }

    /**
     * Whether the launcher runs the VM as a Windows service, where nobody sees a window.
     *
     * @return {@code true} when the file says so
     */
    public boolean isService() {
        return "true".equalsIgnoreCase(launcherValue(SERVICE));
    }

    /**
     * The line the service host writes to the Java program's standard input when the service stops.
     *
     * @return the stop line, or an empty {@code Optional} when the host ends the VM without asking (not a service, or
     *     no stop timeout set)
     */
    public Optional<String> findStopLine() {
        return "true".equalsIgnoreCase(launcherValue(STOP_INPUT)) ? Optional.ofNullable(launcherValue(STOP_LINE))
                : Optional.empty();
    }

    /**
     * The line the service host writes to the Java program's standard input when the service stops, or
     * {@code null}.
     *
     * @return the stop line, or {@code null} when the host ends the VM without asking
     * @deprecated absence is an empty {@link Optional} in this package: use {@link #findStopLine()}
     */
    @Deprecated
    public String stopLine() {
        return findStopLine().orElse(null);
    }

    /**
     * Every line of the file as key and value.
     *
     * @return the entries, unmodifiable, in the file's order
     */
    public Map<String, String> asMap() {
        Map<String, String> entries = properties;
        if (entries == null) {
            try {
                entries = Collections.unmodifiableMap(entries(text, true));
            } catch (IOException e) {
                // The whole text was checked when it was read.
                throw new IllegalStateException(e);
            }
            properties = entries;
        }
        return entries;
    }

    /**
     * Every line of the file as key and value.
     *
     * @return the entries, unmodifiable, in the file's order
     * @deprecated named as {@link Settings#asMap()}: use {@link #asMap()}
     */
    @Deprecated
    public Map<String, String> properties() {
        return asMap();
    }
}
