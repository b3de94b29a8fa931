package org.ravelin.packager.settings;

import java.io.File;
import java.io.IOException;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Objects;
import java.util.Optional;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.zip.ZipFile;

/**
 * Checks the settings of a properties file with the launcher's own rules, on the build machine, so that what the
 * launcher would refuse (message 104 on the user's desk) or misread is found before the application ships.
 */
public final class SettingsCheck {
    static final String MAIN_CLASS = "qel.nl.java.launcher.main.class";
    static final String APPLICATION_MAIN_CLASS = "qel.application.main.class";
    static final String CLASS_PATH = "qel.class.path";
    static final String CURRENT_VM = "qel.nl.current.vm";
    static final String VALID_VM_LIST = "qel.nl.valid.vm.list";
    static final String USER_DIR = "qel.user.dir";
    static final String VERBOSE = "qel.nl.java.option.verbose";
    static final String GC_EXTENT = "qel.nl.java.option.garbage.collection.extent";
    /** The Java side library's ready main class, which starts the class of qel.application.main.class. */
    static final String READY_MAIN_CLASS = "org.ravelin.launcher.RavelinMain";

    private static final String CLASS_PATH_MARKER = "$ENV_CLASSPATH$";
    private static final Pattern WHOLE_SIZE = Pattern.compile("[0-9]+[kKmM]?");
    private static final Pattern SIZE_WITH_UNIT = Pattern.compile("([0-9]+) *([kKmMgG])[bB]?");
    private static final Pattern DIGITS = Pattern.compile("[0-9]+");
    private static final Pattern INTEGER = Pattern.compile("[+-]?[0-9]{1,10}");

    private SettingsCheck() {}

    /**
     * Checks settings as the launcher would read them from a properties file in the application directory.
     *
     * <p>Found are: keys of the launcher's namespace ({@code qel.}) that nobody reads, and other keys that differ
     * from a known key by a typo (any other key is the application's own); values the launcher refuses or reads
     * otherwise than written (sizes, switches, seconds, integers, the service's start, the download page, class
     * names, U+0000 anywhere); the settings the launcher needs (the main class, the class path, a VM named or a VM
     * list, and with the ready main class the application's class); class path entries that do not exist or are no
     * jar; and main classes in none of the class path's entries.
     *
     * @param settings the keys and values, as the launcher reads them from the file
     * @param applicationDirectory where the properties file and the launcher are: relative paths count from there
     * @return the findings, each key's in the settings' order, then the missing settings, then the class path's;
     *     empty when the launcher takes the settings as meant
     */
    public static List<Finding> check(Map<String, String> settings, Path applicationDirectory) {
        Objects.requireNonNull(settings, "settings");
        Objects.requireNonNull(applicationDirectory, "applicationDirectory");
        final List<Finding> findings = new ArrayList<>();
        for (Map.Entry<String, String> entry : settings.entrySet()) {
            checkEntry(Objects.requireNonNull(entry.getKey(), "a key of the settings"),
                    Objects.requireNonNull(entry.getValue(), "a value of the settings"), findings);
        }
        checkComplete(settings, findings);
        checkClassPath(settings, applicationDirectory, findings);
        checkOwnPaths(settings, applicationDirectory, findings);
        return findings;
    }

    // ---- Keys and values.

    private static void checkEntry(String key, String value, List<Finding> findings) {
        final Optional<SettingKey> known = SettingKeys.find(key);
        if (!known.isPresent()) {
            checkUnknown(key, findings);
            return;
        }
        if (value.indexOf('\0') >= 0) {
            findings.add(Finding.of(key, "holds the character U+0000 (\\u0000, or \\u without digits), which the "
                    + "launcher refuses with message 104: no command line, path or title can carry it"));
            return;
        }
        if (value.indexOf('\n') >= 0 || value.indexOf('\r') >= 0) {
            findings.add(Finding.of(key, "holds a line break (" + (value.indexOf('\r') >= 0 ? "U+000D" : "U+000A")
                    + "), which the launcher passes on as it is: it reaches the VM's command line, a path or a title"
                    + " with it. Write the value on one line (a value over several lines of a POM keeps its line"
                    + " breaks)"));
            return;
        }
        if (known.get().kind() == SettingKey.Kind.TOKEN_LIST) {
            checkTokens(key, value, findings);
            return;
        }
        final Optional<Finding> finding = checkValue(known.get(), value);
        if (finding.isPresent()) {
            findings.add(finding.get());
        }
    }

    private static void checkUnknown(String key, List<Finding> findings) {
        String nearest = null;
        int distance = Integer.MAX_VALUE;
        for (SettingKey candidate : SettingKeys.all()) {
            final int d = editDistance(key, candidate.name());
            if (d < distance) {
                distance = d;
                nearest = candidate.name();
            }
        }
        final boolean launcherNamespace = key.startsWith("qel.");
        final boolean typo = nearest != null && distance <= Math.max(2, key.length() / 5);
        if (!launcherNamespace && !typo) {
            return;  // the application's own setting
        }
        final String message = "unknown key, not read: neither the launcher nor the Java side library reads it (the"
                + " launcher takes the file all the same)";
        findings.add(typo ? Finding.withKey(key, message, nearest) : Finding.of(key, message));
    }

    /** The value's finding under the launcher's rules for the key's kind; empty when it reads as written. */
    static Optional<Finding> checkValue(SettingKey key, String value) {
        final String name = key.name();
        final String quoted = "\"" + value + "\"";
        final String lowered = LauncherRules.lowerAscii(value);
        if (name.equals(LauncherRules.LOG_SIZE_KEY) || name.equals(LauncherRules.LOG_KEEP_KEY)) {
            return checkServiceLog(name, value);
        }
        switch (key.kind()) {
        case SIZE: {
            final long bytes = LauncherRules.byteSize(value);
            if (value.isEmpty() || WHOLE_SIZE.matcher(value).matches() && bytes != Long.MAX_VALUE) {
                return Optional.empty();
            }
            final String message = "the launcher reads " + quoted + " as " + bytes
                    + " bytes: a size is a count of bytes with an optional final k or m, such as 512m";
            final Matcher unit = SIZE_WITH_UNIT.matcher(value);
            if (unit.matches() && unit.group(1).length() < 10) {
                final long count = Long.parseLong(unit.group(1));
                final char letter = Character.toLowerCase(unit.group(2).charAt(0));
                return Optional.of(Finding.withValue(name, message,
                        letter == 'g' ? count * 1024 + "m" : count + String.valueOf(letter)));
            }
            return Optional.of(Finding.of(name, message));
        }
        case SWITCH:
            return checkSwitch(name, value, LauncherRules.isSwitchOn(value), "true, on or t",
                    lowered.matches("|true|on|t|false|off|f|no|0"), lowered.matches("yes|y|1|enabled?"));
        case PAUSE_SWITCH:
            return checkSwitch(name, value, LauncherRules.isPauseOn(value), "true, yes or on",
                    lowered.matches("|true|yes|on|false|no|off|0"), lowered.matches("t|y|1|enabled?"));
        case SECONDS: {
            if (name.equals(LauncherRules.RESTART_DELAY_KEY) && !LauncherRules.restartDelayMs(value).isPresent()) {
                return Optional.of(Finding.of(name, "installing the service (-kwqelinstall) refuses " + quoted
                        + " with message 104: write a whole number of seconds from 0 to " + LauncherRules.DAY_SECONDS));
            }
            final long seconds = LauncherRules.secondsMs(value) / 1000;
            if (value.isEmpty() || DIGITS.matcher(value).matches() && LauncherRules.decimal64(value) == seconds) {
                return Optional.empty();
            }
            return Optional.of(Finding.of(name, "the launcher reads " + quoted + " as " + seconds
                    + " seconds: write a whole number of seconds from 0 to " + LauncherRules.DAY_SECONDS));
        }
        case INTEGER: {
            final int number = LauncherRules.decimal32(value);
            if (value.isEmpty()
                    || INTEGER.matcher(value).matches() && Long.parseLong(value.replace("+", "")) == number) {
                return Optional.empty();
            }
            return Optional.of(Finding.of(name, "the launcher reads " + quoted + " as " + number
                    + ": write a whole number in 32 bits"));
        }
        case SERVICE_START: {
            if (LauncherRules.serviceStart(value).isPresent()) {
                return Optional.empty();
            }
            final String message = "installing the service (-kwqelinstall) refuses " + quoted
                    + " with message 104: write demand, auto or delayed";
            if (lowered.equals("manual")) {
                return Optional.of(Finding.withValue(name, message, "demand"));
            }
            if (lowered.equals("automatic")) {
                return Optional.of(Finding.withValue(name, message, "auto"));
            }
            return Optional.of(Finding.of(name, message));
        }
        case SERVICE_ACCOUNT:
            if (LauncherRules.serviceAccount(value).isPresent()) {
                return Optional.empty();
            }
            return Optional.of(Finding.of(name, "installing the service (-kwqelinstall) refuses " + quoted
                    + " with message 104: write LocalSystem, LocalService, NetworkService, NT SERVICE\\ and the"
                    + " service's name, or a user as DOMAIN\\user or .\\user"));
        case SERVICE_DEPENDENCIES:
            if (LauncherRules.serviceDependencies(value).isPresent()) {
                return Optional.empty();
            }
            return Optional.of(Finding.of(name, "installing the service (-kwqelinstall) refuses " + quoted
                    + " with message 104: write service names and +groups separated by ;, without slashes or"
                    + " backslashes"));
        case WEB_ADDRESS:
            if (LauncherRules.isDownloadUrlAcceptable(value)) {
                return Optional.empty();
            }
            return Optional.of(Finding.of(name, "the launcher refuses " + quoted
                    + " with message 104: only an https:// or http:// address with a host and without a user name, of at"
                    + " most " + LauncherRules.MAX_WEB_ADDRESS_UNITS + " characters, without blanks, control characters"
                    + " or any of \" < > \\ ^ ` { | }"));
        case CLASS_NAME:
            if (value.isEmpty() || isClassName(value)) {
                return Optional.empty();
            }
            return Optional.of(Finding.of(name, quoted + " is not a Java class name (such as com.example.Main)"));
        case TEXT:
            if (name.equals(VERBOSE)) {
                return checkVerbosity(value, lowered);
            }
            if (name.equals(GC_EXTENT) && lowered.matches("false|off|no|n|f|0|none")) {
                return Optional.of(Finding.of(name, "the launcher turns class garbage collection off (-Xnoclassgc) for"
                        + " any text, even " + quoted + ": leave the key out to keep it on"));
            }
            return Optional.empty();
        default:
            return Optional.empty();
        }
    }

    /** The service logs' size and count: refused unless digits, and reported when blanks are around them. */
    private static Optional<Finding> checkServiceLog(String name, String value) {
        final boolean size = name.equals(LauncherRules.LOG_SIZE_KEY);
        final Optional<Long> read = size ? LauncherRules.serviceLogSize(value) : LauncherRules.serviceLogKeep(value);
        final String rule = size ? "write a count of bytes with an optional k, m or g, such as 10m"
                : "write a count of older files from 0 to " + LauncherRules.MAX_LOG_KEEP;
        final String quoted = "\"" + value + "\"";
        if (!read.isPresent()) {
            return Optional.of(Finding.of(name, "installing the service (-kwqelinstall) and its start refuse " + quoted
                    + " with message 104: " + rule));
        }
        if (value.equals(LauncherRules.trimControl(value))) {
            return Optional.empty();
        }
        return Optional.of(Finding.withValue(name, "the launcher reads " + quoted + " as " + read.get() + ": " + rule,
                LauncherRules.trimControl(value)));
    }

    private static Optional<Finding> checkSwitch(String name, String value, boolean on, String trueWords,
            boolean plain, boolean meantTrue) {
        if (plain) {
            return Optional.empty();
        }
        final String message = "the launcher reads \"" + value + "\" as " + on + ": this switch is true only for "
                + trueWords + " (any case)";
        return Optional.of(meantTrue ? Finding.withValue(name, message, "true") : Finding.of(name, message));
    }

    // ---- The acceptable-VM list.

    private static final Pattern RELEASE = Pattern.compile("(1\\.)?([0-9]{1,3})");
    private static final Pattern RANGE = Pattern.compile("(JRE_|JDK_)?((?:1\\.)?[0-9]{1,3})-((?:1\\.)?[0-9]{1,3})");
    private static final Pattern INTERVAL =
            Pattern.compile("([\\[(])((?:1\\.)?[0-9]{1,3}),((?:1\\.)?[0-9]{1,3})?([\\])])");
    private static final Pattern U_UPDATE = Pattern.compile("([0-9]{1,2})U([0-9]{1,4})");
    private static final Pattern AT_LEAST = Pattern.compile(">=?(.+)");
    private static final Pattern NAMED_RELEASE = Pattern.compile("(JAVA|JRE|JDK)[-_ ]?([0-9]{1,3})");
    private static final int MOST_RELEASES = 30;

    // Each token that is neither a named token nor a well-formed pattern is a finding of its own, with the list as it
    // was probably meant: that token replaced, the others as they are.
    private static void checkTokens(String key, String value, List<Finding> findings) {
        final List<String> tokens = LauncherRules.tokens(value, " ");
        for (int i = 0; i < tokens.size(); i++) {
            final Optional<String> reading = LauncherRules.unusualTokenReading(tokens.get(i));
            if (!reading.isPresent()) {
                continue;
            }
            final String message = "the token \"" + tokens.get(i) + "\" is " + reading.get()
                    + "; a VM is acceptable when one token accepts it";
            final Optional<String> meant = meantToken(tokens.get(i));
            if (meant.isPresent()) {
                final List<String> list = new ArrayList<>(tokens);
                list.set(i, meant.get());
                findings.add(Finding.withValue(key, message, String.join(" ", list)));
            } else {
                findings.add(Finding.of(key, message));
            }
        }
    }

    /** What a token that is no named token or well-formed pattern was probably meant as; empty when unclear. */
    static Optional<String> meantToken(String token) {
        final String name = LauncherRules.upperAscii(token);
        Matcher m = INTERVAL.matcher(name);
        if (m.matches()) {
            final int from = releaseOf(m.group(2)) + (m.group(1).equals("(") ? 1 : 0);
            if (m.group(3) == null) {
                return Optional.of(from + "+");
            }
            return releases("", from, releaseOf(m.group(3)) - (m.group(4).equals(")") ? 1 : 0),
                    m.group(2).startsWith("1."));
        }
        m = RANGE.matcher(name);
        if (m.matches()) {
            return releases(m.group(1) == null ? "" : m.group(1), releaseOf(m.group(2)), releaseOf(m.group(3)),
                    m.group(2).startsWith("1."));
        }
        m = U_UPDATE.matcher(name);
        if (m.matches()) {
            final int release = Integer.parseInt(m.group(1));
            final int update = Integer.parseInt(m.group(2));
            return Optional.of(release < 9 ? "1." + release + ".0_" + (update < 10 ? "0" : "") + update
                    : release + ".0." + update);
        }
        m = AT_LEAST.matcher(name);
        if (m.matches() && LauncherRules.isWellFormedPattern(m.group(1)) && !m.group(1).endsWith("*")) {
            return Optional.of(m.group(1).endsWith("+") ? m.group(1) : m.group(1) + "+");
        }
        m = NAMED_RELEASE.matcher(name);
        if (m.matches()) {
            return Optional.of((m.group(1).equals("JAVA") ? "" : m.group(1) + "_") + m.group(2) + "*");
        }
        if (name.indexOf(',') >= 0) {
            final List<String> pieces = new ArrayList<>();
            for (String piece : name.split(",")) {
                if (piece.isEmpty()) {
                    continue;
                }
                if (LauncherRules.unusualTokenReading(piece).isPresent()) {
                    return Optional.empty();
                }
                pieces.add(piece);
            }
            return pieces.isEmpty() ? Optional.<String>empty() : Optional.of(String.join(" ", pieces));
        }
        return Optional.empty();
    }

    private static int releaseOf(String text) {
        final Matcher m = RELEASE.matcher(text);
        return m.matches() ? Integer.parseInt(m.group(2)) : -1;
    }

    // "17* 18* 19*": every release from one to the other, in the form the first was written in.
    private static Optional<String> releases(String kind, int from, int to, boolean oldForm) {
        if (from < 1 || to < from || to - from >= MOST_RELEASES) {
            return Optional.empty();
        }
        final List<String> tokens = new ArrayList<>();
        for (int release = from; release <= to; release++) {
            tokens.add(kind + (oldForm && release < 9 ? "1." : "") + release + "*");
        }
        return Optional.of(String.join(" ", tokens));
    }

    private static Optional<Finding> checkVerbosity(String value, String lowered) {
        if (lowered.matches("|none|normal|all|gc|class")) {
            return Optional.empty();
        }
        final String message = "the launcher leaves verbosity off for \"" + value + "\" and says \"invalid verbosity"
                + " selection\" on standard error: write none, normal, all, gc or class";
        if (lowered.matches("true|on|t|yes|y|1")) {
            return Optional.of(Finding.withValue(VERBOSE, message, "normal"));
        }
        final Matcher detail = Pattern.compile("-?verbose:(gc|class)").matcher(lowered);
        if (detail.matches()) {
            return Optional.of(Finding.withValue(VERBOSE, message, detail.group(1)));
        }
        return Optional.of(Finding.of(VERBOSE, message));
    }

    // ---- Separators other than "=".

    /**
     * Checks a properties file as {@link #check} checks its settings, and also its lines that begin with a known
     * key followed by ":" or a blank instead of "=": the launcher takes no value for that key from them.
     *
     * @param file the properties file
     * @param applicationDirectory where the properties file and the launcher are: relative paths count from there
     * @return the findings of the lines, then those of the settings
     * @throws IOException when the file cannot be read
     */
    public static List<Finding> checkFile(Path file, Path applicationDirectory) throws IOException {
        final byte[] bytes = Files.readAllBytes(Objects.requireNonNull(file, "file"));
        final List<Finding> findings = new ArrayList<>();
        final List<String> misseparated = new ArrayList<>();
        for (SettingsFile.Line line : SettingsFile.lines(bytes)) {
            final String text = line.text().trim();
            for (SettingKey key : SettingKeys.all()) {
                if (!text.startsWith(key.name()) || text.length() == key.name().length()) {
                    continue;
                }
                final char after = text.charAt(key.name().length());
                final String rest = text.substring(key.name().length() + 1).trim();
                final boolean blank = after == ' ' || after == '\t';
                if (!blank && after != ':' || blank && rest.startsWith("=")) {
                    continue;
                }
                final String message = "line " + line.number() + " (" + text + ") is not read as " + key.name()
                        + ": the launcher separates a key from its value only with \"=\"";
                findings.add(Finding.withValue(key.name(), message, SettingsFile.unescape(rest)));
                misseparated.add(line.key());
            }
        }
        for (Finding finding : check(SettingsFile.read(file), applicationDirectory)) {
            if (!misseparated.contains(finding.key())) {
                findings.add(finding);
            }
        }
        return findings;
    }

    // ---- The launcher's own paths in the application's folder.

    // The VM program and the working folder, when they are relative and inside the application's folder (a path
    // outside it is the user's machine's): the launcher searches the installed VMs when the program is missing or a
    // folder, and cannot start the VM in a folder that is missing.
    private static void checkOwnPaths(Map<String, String> settings, Path directory, List<Finding> findings) {
        for (String key : new String[] {CURRENT_VM, USER_DIR}) {
            final String value = valueOf(settings, key);
            if (value.isEmpty() || value.indexOf('\0') >= 0 || value.indexOf('\n') >= 0 || value.indexOf('\r') >= 0) {
                continue;
            }
            final Optional<Path> path = resolve(directory, value);
            if (!path.isPresent() || !path.get().toAbsolutePath().normalize()
                    .startsWith(directory.toAbsolutePath().normalize())) {
                continue;
            }
            final boolean program = key.equals(CURRENT_VM);
            final String counted = " (relative paths count from " + directory + ")";
            if (!Files.exists(path.get())) {
                findings.add(Finding.of(key, value + " does not exist" + counted + (program
                        ? ": the launcher searches the installed VMs with " + VALID_VM_LIST + " instead, and ends with"
                                + " message 101 when none is acceptable"
                        : ": the launcher cannot start the VM in it and ends with message 103")));
            } else if (program && Files.isDirectory(path.get())) {
                findings.add(Finding.of(key, value + " is a folder, not the VM's program" + counted + ": the launcher"
                        + " searches the installed VMs with " + VALID_VM_LIST + " instead, and ends with message 101"
                        + " when none is acceptable"));
            } else if (!program && !Files.isDirectory(path.get())) {
                findings.add(Finding.of(key, value + " is no folder" + counted + ": the launcher cannot start the VM"
                        + " in it and ends with message 103"));
            }
        }
    }

    /** A binary class name: Java identifiers separated by dots, or by slashes, which the VM takes for dots. */
    static boolean isClassName(String text) {
        for (String part : text.split("[./]", -1)) {
            if (part.isEmpty() || !Character.isJavaIdentifierStart(part.charAt(0))) {
                return false;
            }
            for (int i = 1; i < part.length(); i++) {
                if (!Character.isJavaIdentifierPart(part.charAt(i))) {
                    return false;
                }
            }
        }
        return true;
    }

    /** The edit distance with swapped neighbours as one edit (optimal string alignment). */
    static int editDistance(String a, String b) {
        final int[][] d = new int[a.length() + 1][b.length() + 1];
        for (int i = 0; i <= a.length(); i++) {
            d[i][0] = i;
        }
        for (int j = 0; j <= b.length(); j++) {
            d[0][j] = j;
        }
        for (int i = 1; i <= a.length(); i++) {
            for (int j = 1; j <= b.length(); j++) {
                final int cost = a.charAt(i - 1) == b.charAt(j - 1) ? 0 : 1;
                d[i][j] = Math.min(Math.min(d[i - 1][j] + 1, d[i][j - 1] + 1), d[i - 1][j - 1] + cost);
                if (i > 1 && j > 1 && a.charAt(i - 1) == b.charAt(j - 2) && a.charAt(i - 2) == b.charAt(j - 1)) {
                    d[i][j] = Math.min(d[i][j], d[i - 2][j - 2] + 1);
                }
            }
        }
        return d[a.length()][b.length()];
    }

    // ---- What the launcher needs.

    private static String valueOf(Map<String, String> settings, String key) {
        final String value = settings.get(key);
        return value != null ? value : SettingKeys.find(key).map(SettingKey::defaultValue).orElse("");
    }

    private static void checkComplete(Map<String, String> settings, List<Finding> findings) {
        final String mainClass = valueOf(settings, MAIN_CLASS);
        if (mainClass.isEmpty()) {
            findings.add(Finding.of(MAIN_CLASS, "missing: the launcher refuses a properties file without the class "
                    + "the VM starts (message 104)"));
        }
        if (valueOf(settings, CURRENT_VM).isEmpty() && valueOf(settings, VALID_VM_LIST).isEmpty()) {
            findings.add(Finding.of(VALID_VM_LIST, "missing: the launcher refuses a properties file with neither "
                    + VALID_VM_LIST + " nor " + CURRENT_VM + " (message 104)"));
        }
        final String classPath = valueOf(settings, CLASS_PATH);
        if (classPath.isEmpty()) {
            findings.add(Finding.of(CLASS_PATH, "missing: the launcher refuses a properties file without a class "
                    + "path (message 104)"));
        } else if (!classPath.contains(CLASS_PATH_MARKER) && classPathPieces(classPath).isEmpty()) {
            findings.add(Finding.of(CLASS_PATH, "no entry: the launcher starts the VM with an empty class path"
                    + " (-classpath \"\"), where it finds no class of the application"));
        }
        if (mainClass.equals(READY_MAIN_CLASS) && valueOf(settings, APPLICATION_MAIN_CLASS).isEmpty()) {
            findings.add(Finding.of(APPLICATION_MAIN_CLASS, "missing: the ready main class " + READY_MAIN_CLASS
                    + " needs the application's class, and ends with exit code 4 without it"));
        }
    }

    // ---- The class path and the classes in it.

    /** The pieces between the semicolons, without the empty ones, as the launcher splits its class path. */
    static List<String> classPathPieces(String text) {
        final List<String> pieces = new ArrayList<>();
        for (String piece : text.split(";", -1)) {
            if (!piece.isEmpty()) {
                pieces.add(piece);
            }
        }
        return pieces;
    }

    private static void checkClassPath(Map<String, String> settings, Path directory, List<Finding> findings) {
        String text = valueOf(settings, CLASS_PATH);
        // The first marker stands for the user's CLASSPATH variable: what it holds is not known here.
        boolean everyEntryKnown = true;
        final int marker = text.indexOf(CLASS_PATH_MARKER);
        if (marker >= 0) {
            text = text.substring(0, marker) + ";" + text.substring(marker + CLASS_PATH_MARKER.length());
            everyEntryKnown = false;
        }
        if (classPathPieces(text).isEmpty()) {
            return;  // missing, or only the user's CLASSPATH
        }
        final List<Path> jars = new ArrayList<>();
        final List<Path> directories = new ArrayList<>();
        for (String piece : classPathPieces(text)) {
            final Optional<Path> path = resolve(directory, piece);
            if (!path.isPresent()) {
                everyEntryKnown = false;  // an absolute path of the user's machine
                continue;
            }
            final boolean wildcard = path.get().getFileName() != null
                    && path.get().getFileName().toString().equals("*");
            final Path entry = wildcard ? path.get().getParent() : path.get();
            if (entry == null || !Files.exists(entry)) {
                findings.add(Finding.of(CLASS_PATH, (wildcard ? "the directory of " : "") + piece
                        + " does not exist (relative paths count from " + directory + ")"));
                everyEntryKnown = false;
            } else if (wildcard) {
                jars.addAll(jarsIn(entry));
            } else if (Files.isDirectory(entry)) {
                directories.add(entry);
            } else if (isZip(entry)) {
                jars.add(entry);
            } else {
                findings.add(Finding.of(CLASS_PATH, piece + " is neither a directory nor a jar"));
            }
        }
        for (String key : new String[] {MAIN_CLASS, APPLICATION_MAIN_CLASS}) {
            final String className = valueOf(settings, key);
            if (!everyEntryKnown || className.isEmpty() || !isClassName(className)) {
                continue;
            }
            if (!holdsClass(jars, directories, className)) {
                findings.add(Finding.of(key, className + " is in none of the class path's entries (" + CLASS_PATH
                        + "): the VM would not find it"));
            }
        }
    }

    /**
     * The path of a class path entry on this machine: relative ones from the directory, with either kind of slash,
     * each name in any case when no file has it exactly (as on Windows). Empty for an absolute path of Windows (a
     * drive, or a leading slash) when this machine is not Windows.
     */
    static Optional<Path> resolve(Path directory, String piece) {
        final boolean absolute = piece.startsWith("\\") || piece.startsWith("/")
                || piece.length() >= 2 && piece.charAt(1) == ':';
        if (absolute) {
            return File.separatorChar == '\\' ? Optional.of(directory.getFileSystem().getPath(piece))
                    : Optional.<Path>empty();
        }
        Path path = directory;
        for (String name : piece.split("[\\\\/]+")) {
            if (name.isEmpty()) {
                continue;
            }
            path = withNameInAnyCase(path, name);
        }
        return Optional.of(path);
    }

    private static Path withNameInAnyCase(Path parent, String name) {
        final Path exact = parent.resolve(name);
        if (Files.exists(exact) || name.equals(".") || name.equals("..") || !Files.isDirectory(parent)) {
            return exact;
        }
        try (DirectoryStream<Path> children = Files.newDirectoryStream(parent)) {
            for (Path child : children) {
                if (child.getFileName().toString().equalsIgnoreCase(name)) {
                    return child;
                }
            }
        } catch (IOException e) {
            return exact;
        }
        return exact;
    }

    private static List<Path> jarsIn(Path directory) {
        final List<Path> jars = new ArrayList<>();
        try (DirectoryStream<Path> children = Files.newDirectoryStream(directory)) {
            for (Path child : children) {
                if (child.getFileName().toString().toLowerCase(Locale.ROOT).endsWith(".jar")) {
                    jars.add(child);
                }
            }
        } catch (IOException e) {
            // Unreadable: it holds no class the check can see.
        }
        return jars;
    }

    private static boolean isZip(Path file) {
        try {
            new ZipFile(file.toFile()).close();
            return true;
        } catch (IOException e) {
            return false;
        }
    }

    private static boolean holdsClass(List<Path> jars, List<Path> directories, String className) {
        final String entryName = className.replace('.', '/') + ".class";  // com/example/Main too
        for (Path directory : directories) {
            if (Files.isRegularFile(directory.resolve(entryName))) {
                return true;
            }
        }
        for (Path jar : jars) {
            try (ZipFile zip = new ZipFile(jar.toFile())) {
                if (zip.getEntry(entryName) != null) {
                    return true;
                }
            } catch (IOException e) {
                // Not a jar after all: no class in it.
            }
        }
        return false;
    }
}
