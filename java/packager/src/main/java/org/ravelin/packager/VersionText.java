package org.ravelin.packager;

import java.util.ArrayList;
import java.util.List;

/** The numbers a version starts with, as build tools write versions ({@code 2.3.1-SNAPSHOT}, {@code 2024.05.1-rc2}). */
public final class VersionText {
    private VersionText() {}

    /**
     * The dot-separated numbers the version starts with, as written, at most {@code count}; it stops at the first
     * character that continues none ({@code -SNAPSHOT}, {@code -rc2}).
     *
     * @param version the version text
     * @param count how many numbers at most
     * @return the numbers' texts; empty when the version does not start with a number
     */
    public static List<String> leadingNumbers(String version, int count) {
        final List<String> numbers = new ArrayList<>();
        int i = 0;
        while (numbers.size() < count) {
            final int start = i;
            while (i < version.length() && version.charAt(i) >= '0' && version.charAt(i) <= '9') {
                i++;
            }
            if (i == start) {
                break;
            }
            numbers.add(version.substring(start, i));
            if (i + 1 < version.length() && version.charAt(i) == '.' && version.charAt(i + 1) >= '0'
                    && version.charAt(i + 1) <= '9') {
                i++;
            } else {
                break;
            }
        }
        return numbers;
    }

    /**
     * The number's value, or -1 when it exceeds {@code limit}.
     *
     * @param number digits, as {@link #leadingNumbers} gives them
     * @param limit the largest value taken
     * @return the value, or -1
     */
    public static int valueWithin(String number, int limit) {
        final String digits = number.replaceFirst("^0+(?=.)", "");
        if (digits.length() > 9) {
            return -1;
        }
        final int value = Integer.parseInt(digits);
        return value <= limit ? value : -1;
    }
}
