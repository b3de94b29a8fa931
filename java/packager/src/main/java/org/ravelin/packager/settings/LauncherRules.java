package org.ravelin.packager.settings;

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

    /**
     * "https://" or "http://" (the scheme in any case), then a host (a character that is not "/"), with no blank or
     * control character anywhere.
     */
    static boolean isWebAddress(String text) {
        for (int i = 0; i < text.length(); i++) {
            if (text.charAt(i) <= ' ' || text.charAt(i) == 0x7F) {
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
        return !rest.isEmpty() && rest.charAt(0) != '/';
    }

    /** The download page setting as the launcher takes it: none, or a web address. */
    static boolean isDownloadUrlAcceptable(String text) {
        return text.isEmpty() || isWebAddress(text);
    }
}
