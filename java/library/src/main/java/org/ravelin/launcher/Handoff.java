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
    /**
     * With {@code qel.single.instance=true}: the loopback port on which the launcher passes the arguments of a second
     * start to a {@link SecondStartListener} (see {@link LaunchContext#addSecondStartListener(SecondStartListener)}).
     */
    public static final String SINGLE_INSTANCE_PORT = "qel.single.instance.port";
    /** With {@value #SINGLE_INSTANCE_PORT}: the token that the launcher asks of the library on that port. */
    public static final String SINGLE_INSTANCE_TOKEN = "qel.single.instance.token";
    /** The prefix of each environment variable's line with the variable's exact name. */
    public static final String ENVIRONMENT_EXACT_CASE = "qel.nl.env.exact_case.";

    private static final String ENVIRONMENT = "qel.nl.env.";

    // The file's bytes, whose environment lines are read only when asked for (null for entries made in memory); the
    // entries of every other line, read at once; and every entry and the environment, made on first use.
    private final byte[] bytes;
    private final Map<String, String> launcherEntries;
    private volatile Map<String, String> properties;
    private volatile Map<String, String> environment;

    private Handoff(byte[] bytes, Map<String, String> launcherEntries, Map<String, String> properties) {
        this.bytes = bytes;
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
     * @throws IOException when the file cannot be read, is not a regular file, holds more than 4 MiB or a byte that is
     *     not ASCII, an escape is malformed or the file names no VM program
     */
    public static Handoff read(Path file) throws IOException {
        return parse(Settings.readFile(Objects.requireNonNull(file, "file")));
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
        final byte[] copy = Objects.requireNonNull(bytes, "bytes").clone();
        return new Handoff(copy, entries(copy, false), null);
    }

    // Every VM start reads the whole file, its environment too (some 150 lines), so it is read in one pass over its
    // bytes, each looked at once: the line's end, its first "=" that no backslash escapes, its escapes and a byte
    // beyond ASCII. With all false, only the entries of the launcher's own lines are made; the environment's lines,
    // most of the file, are only checked, and made when the application asks for them. A line ends at CR LF, CR or LF.
    private static Map<String, String> entries(byte[] bytes, boolean all) throws IOException {
        final Map<String, String> entries = new LinkedHashMap<>();
        final int length = bytes.length;
        int lineNumber = 0;
        int start = 0;
        while (start < length) {
            lineNumber++;
            int separator = -1;
            int escapes = 0;
            boolean malformed = false;
            int end = start;
            for (; end < length; end++) {
                final byte b = bytes[end];
                if (b == '\r' || b == '\n') {
                    break;
                }
                if (b < 0) {
                    throw notAscii(bytes, end);
                }
                if (b == '=') {
                    if (separator < 0) {
                        separator = end;
                    }
                } else if (b == '\\' && end + 1 < length && bytes[end + 1] != '\r' && bytes[end + 1] != '\n') {
                    // The backslash takes the next byte with it; after u, four hexadecimal digits of the line.
                    escapes++;
                    end++;
                    if (bytes[end] < 0) {
                        throw notAscii(bytes, end);
                    }
                    if (bytes[end] == 'u') {
                        for (int digit = end + 1; digit <= end + 4; digit++) {
                            malformed |= digit >= length || Settings.hexDigit((char) bytes[digit]) < 0;
                        }
                    }
                }
            }
            final int lineStart = start;
            start = end + (end + 1 < length && bytes[end] == '\r' && bytes[end + 1] == '\n' ? 2 : 1);
            if (end == lineStart || bytes[lineStart] == '#' || bytes[lineStart] == '!' || separator < 0) {
                continue;
            }
            if (malformed) {
                throw new IOException("malformed \\u escape in line " + lineNumber + " of the hand-off file");
            }
            if (!all && isEnvironmentLine(bytes, lineStart, end)) {
                continue;
            }
            final String line = new String(bytes, lineStart, end - lineStart, StandardCharsets.ISO_8859_1);
            final int equals = separator - lineStart;
            entries.put(escapes == 0 ? line.substring(0, equals) : unescape(line, 0, equals),
                    escapes == 0 ? line.substring(equals + 1) : unescape(line, equals + 1, line.length()));
        }
        if (!entries.containsKey(VM_PATH)) {
            throw new IOException("not a hand-off file of the launcher: it has no " + VM_PATH + " line");
        }
        return entries;
    }

    private static boolean isEnvironmentLine(byte[] bytes, int start, int end) {
        if (end - start < ENVIRONMENT.length()) {
            return false;
        }
        for (int i = 0; i < ENVIRONMENT.length(); i++) {
            if (bytes[start + i] != ENVIRONMENT.charAt(i)) {
                return false;
            }
        }
        return true;
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

    // The escapes of java.util.Properties: a backslash and u with four hexadecimal digits (checked when the line was
    // read), t, n, r or f; a backslash before any other character stands for that character, one that ends the text
    // for itself.
    private static String unescape(String text, int start, int end) {
        final StringBuilder result = new StringBuilder(end - start);
        for (int i = start; i < end; i++) {
            final char c = text.charAt(i);
            if (c != '\\' || i + 1 == end) {
                result.append(c);
                continue;
            }
            final char escaped = text.charAt(++i);
            switch (escaped) {
            case 'u':
                result.append((char) Integer.parseInt(text.substring(i + 1, i + 5), 16));
                i += 4;
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
                entries = Collections.unmodifiableMap(entries(bytes, true));
            } catch (IOException e) {
                // The whole text was checked when it was read. (An error the VM has loaded already: one it loads costs
                // every start, when it checks this class.)
                throw new InternalError(e);
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
