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
        final String message = "unknown key: neither the launcher nor the Java side library reads it";
        findings.add(typo ? Finding.withKey(key, message, nearest) : Finding.of(key, message));
    }

    /** The value's finding under the launcher's rules for the key's kind; empty when it reads as written. */
    static Optional<Finding> checkValue(SettingKey key, String value) {
        final String name = key.name();
        final String quoted = "\"" + value + "\"";
        final String lowered = LauncherRules.lowerAscii(value);
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
                    + " with message 104: only an https:// or http:// address with a host, a port of at most 65535 or"
                    + " none, and without a user name, of at most " + LauncherRules.MAX_WEB_ADDRESS_UNITS
                    + " characters, without blanks, control or invisible characters or any of \" < > \\ ^ ` { | },"
                    + " and with % only before two hexadecimal digits"));
        case CLASS_NAME:
            if (value.isEmpty() || isClassName(value)) {
                return Optional.empty();
            }
            return Optional.of(Finding.of(name, quoted + " is not a Java class name (such as com.example.Main)"));
        default:
            return Optional.empty();
        }
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

    /** A binary class name: Java identifiers separated by dots. */
    static boolean isClassName(String text) {
        for (String part : text.split("\\.", -1)) {
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
        if (!classPath.contains(CLASS_PATH_MARKER) && classPathPieces(classPath).isEmpty()) {
            findings.add(Finding.of(CLASS_PATH, "missing: the launcher refuses a properties file without a class "
                    + "path (message 104)"));
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
        final String entryName = className.replace('.', '/') + ".class";
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
