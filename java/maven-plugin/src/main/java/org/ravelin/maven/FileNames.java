package org.ravelin.maven;

import java.util.Locale;

/**
 * The rules a name must follow to become a file or folder name on Windows, where the program is unpacked: one name,
 * not a path; none of the characters Windows refuses in a file name; not a device name, which Windows opens as the
 * device whatever the extension; no trailing dot or blank, which Windows drops.
 */
final class FileNames {
    private static final String FORBIDDEN = "<>:\"/\\|?*";

    private FileNames() {}

    /**
     * @param name the name to check
     * @return why Windows cannot hold {@code name} as one file name, or {@code null} when it can
     */
    static String problem(String name) {
        if (name == null || name.isEmpty()) {
            return "is empty";
        }
        if (name.equals(".") || name.equals("..")) {
            return "is \"" + name + "\", a folder of the path, not a name";
        }
        for (int i = 0; i < name.length(); i++) {
            final char c = name.charAt(i);
            if (c == '/' || c == '\\') {
                return "holds a path separator (" + c + "): give a name, not a path";
            }
            if (c < 0x20) {
                return "holds the control character U+" + String.format(Locale.ROOT, "%04X", (int) c)
                        + ", which a Windows file name cannot hold";
            }
            if (FORBIDDEN.indexOf(c) >= 0) {
                return "holds " + c + ", which a Windows file name cannot hold (none of " + FORBIDDEN + ")";
            }
        }
        final char last = name.charAt(name.length() - 1);
        if (last == '.' || last == ' ') {
            return "ends with " + (last == '.' ? "a dot" : "a blank") + ", which Windows drops from a file name";
        }
        final int dot = name.indexOf('.');
        final String stem = (dot < 0 ? name : name.substring(0, dot)).trim().toUpperCase(Locale.ROOT);
        if (stem.matches("CON|PRN|AUX|NUL|CONIN\\$|CONOUT\\$|(COM|LPT)[0-9\u00B9\u00B2\u00B3]")) {
            return "is the Windows device name " + stem + ", which Windows opens as the device";
        }
        return null;
    }
}
