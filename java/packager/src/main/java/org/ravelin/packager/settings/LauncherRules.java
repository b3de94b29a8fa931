package org.ravelin.packager.settings;

import java.util.ArrayList;
import java.util.List;
import java.util.Optional;

/**
 * The launcher's own reading of its typed settings, as its C++ rules read them (src/settings/settings.cpp,
 * src/base/text.cpp, src/base/web_address.cpp, src/service/service_install.cpp). The cases of
 * tests/cases/setting_values.txt hold both to the same results.
 */
final class LauncherRules {
    /** A day, the most seconds a setting of seconds counts. */
    static final long DAY_SECONDS = 24 * 60 * 60;

    private LauncherRules() {}

    /** 'A' to 'Z' become 'a' to 'z'; every other character stays. */
    static String lowerAscii(String text) {
        final StringBuilder result = new StringBuilder(text.length());
        for (int i = 0; i < text.length(); i++) {
            final char c = text.charAt(i);
            result.append(c >= 'A' && c <= 'Z' ? (char) (c + ('a' - 'A')) : c);
        }
        return result.toString();
    }

    /** The text without the characters up to U+0020 at either end. */
    static String trimControl(String text) {
        return text.trim();
    }

    /** A decimal number as the C library's scan reads it: its sign, its magnitude in 32 bits and capped at 2^63. */
    private static final class Scan {
        boolean negative;
        int wrapped;
        // The magnitude while it fits in 63 bits; capped once it reached 2^63.
        long magnitude;
        boolean capped;
    }

    private static Scan scan(String text) {
        final Scan scan = new Scan();
        int i = 0;
        while (i < text.length() && (text.charAt(i) == ' ' || (text.charAt(i) >= '\t' && text.charAt(i) <= '\r'))) {
            i++;
        }
        if (i < text.length() && (text.charAt(i) == '+' || text.charAt(i) == '-')) {
            scan.negative = text.charAt(i) == '-';
            i++;
        }
        for (; i < text.length() && text.charAt(i) >= '0' && text.charAt(i) <= '9'; i++) {
            final int digit = text.charAt(i) - '0';
            scan.wrapped = scan.wrapped * 10 + digit;
            if (!scan.capped && scan.magnitude > (Long.MAX_VALUE - digit) / 10) {
                scan.capped = true;
            } else if (!scan.capped) {
                scan.magnitude = scan.magnitude * 10 + digit;
            }
        }
        return scan;
    }

    /** Leading white space, a sign, digits to the first non-digit, in 32 bits wrapping around; no digits give 0. */
    static int decimal32(String text) {
        final Scan scan = scan(text);
        return scan.negative ? -scan.wrapped : scan.wrapped;
    }

    /** The same in 64 bits, a number beyond them at the limit on its side. */
    static long decimal64(String text) {
        final Scan scan = scan(text);
        if (scan.capped) {
            return scan.negative ? Long.MIN_VALUE : Long.MAX_VALUE;
        }
        return scan.negative ? -scan.magnitude : scan.magnitude;
    }

    /** A count of bytes with an optional final k (1024) or m (1048576), any case, at the 64-bit limits. */
    static long byteSize(String text) {
        String lowered = lowerAscii(text);
        long multiplier = 1;
        if (lowered.endsWith("k")) {
            multiplier = 1024;
        } else if (lowered.endsWith("m")) {
            multiplier = 1024 * 1024;
        }
        if (multiplier != 1) {
            lowered = lowered.substring(0, lowered.length() - 1);
        }
        final long number = decimal64(lowered);
        if (number > Long.MAX_VALUE / multiplier) {
            return Long.MAX_VALUE;
        }
        if (number < Long.MIN_VALUE / multiplier) {
            return Long.MIN_VALUE;
        }
        return number * multiplier;
    }

    /** The generic switch: "true", "on" or "t" after lower-casing. */
    static boolean isSwitchOn(String text) {
        final String lowered = lowerAscii(text);
        return lowered.equals("true") || lowered.equals("on") || lowered.equals("t");
    }

    /** The console pause: "true", "yes" or "on" after lower-casing. */
    static boolean isPauseOn(String text) {
        final String lowered = lowerAscii(text);
        return lowered.equals("true") || lowered.equals("yes") || lowered.equals("on");
    }

    /** A setting of seconds in milliseconds: a negative count is 0, a huge one a day. */
    static long secondsMs(String text) {
        final long seconds = decimal64(text);
        return (seconds < 0 ? 0 : Math.min(seconds, DAY_SECONDS)) * 1000;
    }

    /** The keys of the service logs' size and count of older files, which the service refuses unless they are digits. */
    static final String LOG_SIZE_KEY = "qel.service.log.size";
    static final String LOG_KEEP_KEY = "qel.service.log.keep";
    /** The most older files of a service log kept. */
    static final int MAX_LOG_KEEP = 999;

    private static boolean allDigits(String text) {
        if (text.isEmpty()) {
            return false;
        }
        for (int i = 0; i < text.length(); i++) {
            if (text.charAt(i) < '0' || text.charAt(i) > '9') {
                return false;
            }
        }
        return true;
    }

    /**
     * The size of a service log's file in bytes: digits with an optional k, m or g in any case, blanks around aside;
     * empty or 0 is the default, 10m, and a count beyond 64 bits stays at the limit. Empty for any other value.
     */
    static Optional<Long> serviceLogSize(String value) {
        final long defaultSize = 10L << 20;
        final String text = trimControl(value);
        if (text.isEmpty()) {
            return Optional.of(defaultSize);
        }
        final char unit = Character.toLowerCase(text.charAt(text.length() - 1));
        final long multiplier = unit == 'k' ? 1L << 10 : unit == 'm' ? 1L << 20 : unit == 'g' ? 1L << 30 : 1;
        final String digits = multiplier == 1 ? text : text.substring(0, text.length() - 1);
        if (!allDigits(digits)) {
            return Optional.empty();
        }
        final long number = decimal64(digits);
        final long size = number > Long.MAX_VALUE / multiplier ? Long.MAX_VALUE : number * multiplier;
        return Optional.of(size > 0 ? size : defaultSize);
    }

    /** How many older files of a service log are kept: 0 to 999 in digits, blanks around aside; empty is 5. */
    static Optional<Long> serviceLogKeep(String value) {
        final String text = trimControl(value);
        if (text.isEmpty()) {
            return Optional.of(5L);
        }
        if (!allDigits(text)) {
            return Optional.empty();
        }
        final long keep = decimal64(text);
        return keep <= MAX_LOG_KEEP ? Optional.of(keep) : Optional.<Long>empty();
    }

    /** The key of the one setting of seconds that installing the service refuses when it is no number. */
    static final String RESTART_DELAY_KEY = "qel.service.restart.delay";

    /**
     * The restart delay in milliseconds as a setting of seconds; empty when the value, blanks around it aside, is
     * neither empty nor a sign and digits (installing the service refuses it with message 104).
     */
    static Optional<Long> restartDelayMs(String text) {
        final String trimmed = trimControl(text);
        final String digits = trimmed.startsWith("+") || trimmed.startsWith("-") ? trimmed.substring(1) : trimmed;
        if (digits.isEmpty() && !trimmed.isEmpty() || !digits.chars().allMatch(c -> c >= '0' && c <= '9')) {
            return Optional.empty();
        }
        return Optional.of(secondsMs(text));
    }

    /** "demand", "auto" or "delayed" in any case, blanks around them ignored; empty for any other text. */
    static Optional<String> serviceStart(String text) {
        final String word = lowerAscii(trimControl(text));
        return word.equals("demand") || word.equals("auto") || word.equals("delayed") ? Optional.of(word)
                : Optional.<String>empty();
    }

    private static final String NT_AUTHORITY = "NT AUTHORITY\\";
    private static final String NT_SERVICE = "NT SERVICE\\";

    /**
     * The name the service manager is given for the account text (blanks around it ignored): "LocalSystem" for an
     * empty text, "LocalSystem" or "NT AUTHORITY\SYSTEM"; "NT AUTHORITY\LocalService" or "...\NetworkService" for
     * those names with or without the prefix; "NT SERVICE\NAME" for a virtual account (the service's name is only
     * known when installing, so any NAME passes here); a user (a domain or ".", a backslash, the user's name) as
     * written. The well-known names and prefixes in any case. Empty for anything else: a name without a domain, an
     * empty part, a second backslash, another NT AUTHORITY account.
     */
    static Optional<String> serviceAccount(String text) {
        final String account = trimControl(text);
        final String lowered = lowerAscii(account);
        if (lowered.isEmpty() || lowered.equals("localsystem") || lowered.equals("nt authority\\system")) {
            return Optional.of("LocalSystem");
        }
        for (String name : new String[] {"LocalService", "NetworkService"}) {
            final String word = lowerAscii(name);
            if (lowered.equals(word) || lowered.equals(lowerAscii(NT_AUTHORITY) + word)) {
                return Optional.of(NT_AUTHORITY + name);
            }
        }
        final int backslash = account.indexOf('\\');
        if (backslash <= 0 || backslash + 1 == account.length() || account.indexOf('\\', backslash + 1) >= 0) {
            return Optional.empty();
        }
        if (lowered.startsWith(lowerAscii(NT_SERVICE))) {
            return Optional.of(NT_SERVICE + account.substring(NT_SERVICE.length()));
        }
        if (lowered.startsWith(lowerAscii(NT_AUTHORITY))) {
            return Optional.empty();
        }
        return Optional.of(account);
    }

    /**
     * The services and "+group"s of the text, separated by ";", blanks around each ignored, empty entries skipped;
     * empty when an entry holds a slash or backslash or is a lone "+". (That the service does not need itself is
     * checked when installing, where its name is known.)
     */
    static Optional<List<String>> serviceDependencies(String text) {
        final List<String> dependencies = new ArrayList<>();
        for (String part : text.split(";", -1)) {
            final String entry = trimControl(part);
            if (entry.isEmpty()) {
                continue;
            }
            if (entry.equals("+") || entry.indexOf('/') >= 0 || entry.indexOf('\\') >= 0) {
                return Optional.empty();
            }
            dependencies.add(entry);
        }
        return Optional.of(dependencies);
    }

    /** The longest download page the launcher takes, in UTF-16 units (kMaxWebAddressUnits). */
    static final int MAX_WEB_ADDRESS_UNITS = 900;

    /**
     * "https://" or "http://" (the scheme in any case), then a host, optionally with a port of digits, then nothing
     * or a path, query or fragment; no user name, at most {@link #MAX_WEB_ADDRESS_UNITS} units, and none of the
     * characters a URL may not hold (the launcher's isWebAddress).
     */
    static boolean isWebAddress(String text) {
        if (text.length() > MAX_WEB_ADDRESS_UNITS) {
            return false;
        }
        for (int i = 0; i < text.length(); i++) {
            if (!mayAppearInWebAddress(text.charAt(i))) {
                return false;
            }
        }
        final String lowered = lowerAscii(text.substring(0, Math.min(8, text.length())));
        final String rest;
        if (lowered.startsWith("https://")) {
            rest = text.substring(8);
        } else if (lowered.startsWith("http://")) {
            rest = text.substring(7);
        } else {
            return false;
        }
        int authorityEnd = rest.length();
        for (int i = 0; i < rest.length(); i++) {
            if ("/?#".indexOf(rest.charAt(i)) >= 0) {
                authorityEnd = i;
                break;
            }
        }
        return isHostAndPort(rest.substring(0, authorityEnd));
    }

    /**
     * Whether a UTF-16 unit may appear in a web address: no blank (U+0020, NBSP, U+3000 and Unicode's other spaces,
     * the line and paragraph separators), no C0 or C1 control or DEL, no bidirectional control (U+061C, U+200E,
     * U+200F, U+202A to U+202E, U+2066 to U+2069), none of " &lt; &gt; \ ^ ` { | }.
     */
    static boolean mayAppearInWebAddress(char unit) {
        if (unit <= 0x20 || (unit >= 0x7F && unit <= 0xA0)) {
            return false;
        }
        if ("\"<>\\^`{|}\u1680\u202F\u205F\u2028\u2029\u3000\u061C\u200E\u200F".indexOf(unit) >= 0) {
            return false;
        }
        return !(unit >= 0x2000 && unit <= 0x200A) && !(unit >= 0x202A && unit <= 0x202E)
                && !(unit >= 0x2066 && unit <= 0x2069);
    }

    /** A host, then nothing or ":" and digits; no user name ("user@host"). */
    private static boolean isHostAndPort(String authority) {
        if (authority.indexOf('@') >= 0) {
            return false;
        }
        final String host;
        final String port;
        if (authority.startsWith("[")) {
            final int close = authority.indexOf(']');
            if (close < 0) {
                return false;
            }
            host = authority.substring(1, close);
            port = authority.substring(close + 1);
        } else {
            final int colon = authority.indexOf(':');
            host = colon < 0 ? authority : authority.substring(0, colon);
            port = colon < 0 ? "" : authority.substring(colon);
        }
        return !host.isEmpty() && (port.isEmpty() || port.matches(":[0-9]*"));
    }

    /** The download page setting as the launcher takes it: none, or a web address. */
    static boolean isDownloadUrlAcceptable(String text) {
        return text.isEmpty() || isWebAddress(text);
    }

    // ---- The acceptable-VM list (src/vm/version.cpp).

    /** The most a field of a version holds. */
    private static final int FIELD_MAX = 0xFFFF;
    /** The first release of Java 2, and the first that names its release first ("17.0.12"). */
    private static final int JAVA2_RELEASE = 2;
    /** The first release written without "1." in front. */
    private static final int MODERN_RELEASE = 9;
    /** The named tokens, compared after upper-casing. */
    static final List<String> NAMED_TOKENS = java.util.Arrays.asList("ALL", "J1", "J2", "JDK", "JRE", "JDK_J1",
            "JDK_J2", "JRE_J1", "JRE_J2", "MSJ");

    /** 'a' to 'z' become 'A' to 'Z'; every other character stays. */
    static String upperAscii(String text) {
        final StringBuilder result = new StringBuilder(text.length());
        for (int i = 0; i < text.length(); i++) {
            final char c = text.charAt(i);
            result.append(c >= 'a' && c <= 'z' ? (char) (c - ('a' - 'A')) : c);
        }
        return result.toString();
    }

    /**
     * The launcher's tokenizer: the first unit of a token belongs to it even when it is a delimiter (only at the
     * very start of the text), runs of delimiters separate tokens.
     */
    static List<String> tokens(String text, String delimiters) {
        final List<String> tokens = new ArrayList<>();
        int position = 0;
        while (position < text.length()) {
            int end = position + 1;
            while (end < text.length() && delimiters.indexOf(text.charAt(end)) < 0) {
                end++;
            }
            tokens.add(text.substring(position, end));
            position = end;
            while (position < text.length() && delimiters.indexOf(text.charAt(position)) >= 0) {
                position++;
            }
        }
        return tokens;
    }

    /** A number as one version field: as {@link #decimal64}, below 0 is 0, above 65535 is 65535. */
    static int versionField(String text) {
        final long value = decimal64(text);
        return value <= 0 ? 0 : (int) Math.min(value, FIELD_MAX);
    }

    /**
     * A version text as release, maintenance, update and patch: "17.0.12" names its release first, "1.4.2_05"
     * (and a text that starts with no number) puts a "1" before it that is never used.
     */
    static int[] parseVersion(String text) {
        final List<String> parts = tokens(text, "._");
        final int[] fields = new int[4];
        final boolean releaseFirst = !parts.isEmpty() && versionField(parts.get(0)) >= JAVA2_RELEASE;
        final int first = releaseFirst ? 0 : 1;
        final int count = releaseFirst ? 4 : 3;
        for (int i = 0; i < count && first + i < parts.size(); i++) {
            fields[i] = versionField(parts.get(first + i));
        }
        return fields;
    }

    /** The version as people write it: "1.4.2_05" below release 9, "17.0.12" from then on, "0" for none. */
    static String versionText(int[] v) {
        if (v[0] == 0 && v[1] == 0 && v[2] == 0 && v[3] == 0) {
            return "0";
        }
        if (v[0] < MODERN_RELEASE && v[3] == 0) {
            final String text = "1." + v[0] + "." + v[1];
            return v[2] == 0 ? text : text + (v[2] < 10 ? "_0" : "_") + v[2];
        }
        return v[0] + "." + v[1] + "." + v[2] + (v[3] != 0 ? "." + v[3] : "");
    }

    private static String releaseText(int release) {
        return (release < MODERN_RELEASE ? "1." : "") + release;
    }

    /** What a version pattern accepts, in the launcher's words. */
    static String describeVersionPattern(String pattern) {
        if (pattern.endsWith("+")) {
            return versionText(parseVersion(pattern.substring(0, pattern.length() - 1))) + " or later";
        }
        if (pattern.endsWith("*")) {
            final int[] p = parseVersion(pattern.substring(0, pattern.length() - 1));
            if (p[2] != 0 || p[3] != 0) {
                return "nothing (an update cannot be combined with \"*\")";
            }
            if (p[1] == 0) {
                return "any version of release " + releaseText(p[0]);
            }
            return "any version of " + releaseText(p[0]) + "." + p[1];
        }
        final int[] p = parseVersion(pattern);
        if (versionText(p).equals("0")) {
            return "only a VM whose version is unknown (0)";
        }
        if (p[3] != 0 || p[2] != 0) {
            return "exactly " + versionText(p) + (p[3] != 0 || p[0] < MODERN_RELEASE ? "" : ", any patch of it");
        }
        return "any update of " + releaseText(p[0]) + "." + p[1];
    }

    /** Digits in groups separated by dots or underscores, with an optional "+" or "*" at the end. */
    static boolean isWellFormedPattern(String pattern) {
        final String body = pattern.endsWith("+") || pattern.endsWith("*")
                ? pattern.substring(0, pattern.length() - 1) : pattern;
        boolean digitBefore = false;
        for (int i = 0; i < body.length(); i++) {
            final char c = body.charAt(i);
            if (c >= '0' && c <= '9') {
                digitBefore = true;
            } else if ((c == '.' || c == '_') && digitBefore) {
                digitBefore = false;
            } else {
                return false;
            }
        }
        return digitBefore;
    }

    /** The kind a token asks for ("JRE" or "JDK" before its first "_"), empty for none. */
    static String tokenKind(String token) {
        final String name = upperAscii(token);
        if (NAMED_TOKENS.contains(name)) {
            return "";
        }
        final int underscore = name.indexOf('_');
        final String prefix = underscore < 0 ? name : name.substring(0, underscore);
        return underscore >= 0 && (prefix.equals("JRE") || prefix.equals("JDK")) ? prefix : "";
    }

    /** The version pattern of a token that is no named one: after "JRE_" or "JDK_", else the whole token. */
    static Optional<String> tokenPattern(String token) {
        final String name = upperAscii(token);
        if (NAMED_TOKENS.contains(name)) {
            return Optional.empty();
        }
        final String kind = tokenKind(token);
        return Optional.of(kind.isEmpty() ? name : name.substring(kind.length() + 1));
    }

    /**
     * For a token that is neither a named token nor a well-formed version pattern, how the launcher reads it anyway,
     * in its own words (unusualTokenReading); empty for a well-formed token.
     */
    static Optional<String> unusualTokenReading(String token) {
        final Optional<String> pattern = tokenPattern(token);
        if (!pattern.isPresent() || isWellFormedPattern(pattern.get())) {
            return Optional.empty();
        }
        String reading = "not a named token or a version pattern; read as the version pattern \"" + pattern.get()
                + "\", which accepts " + describeVersionPattern(pattern.get());
        if (!tokenKind(token).isEmpty()) {
            reading += " of kind " + tokenKind(token);
        }
        if (token.indexOf(',') >= 0) {
            reading += "; in the search, blanks separate the tokens, not commas";
        }
        return Optional.of(reading);
    }
}
