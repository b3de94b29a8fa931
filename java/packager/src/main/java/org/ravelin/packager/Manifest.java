package org.ravelin.packager;

import java.nio.charset.StandardCharsets;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * Changes the settings branding knows in an application manifest (the requested execution level, DPI and long-path
 * awareness) and leaves every other byte as it is: the text is edited where those elements are, and an element that
 * is missing is added where the manifest schema puts it.
 */
final class Manifest {
    private static final String WINDOWS_SETTINGS_2005 = "http://schemas.microsoft.com/SMI/2005/WindowsSettings";
    private static final String WINDOWS_SETTINGS_2016 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings";

    private Manifest() {}

    static byte[] apply(byte[] manifest, Branding b, String what) throws PackagerException {
        String text = new String(manifest, StandardCharsets.UTF_8);
        if (!text.contains("</assembly>")) {
            throw new PackagerException(what + ": its manifest has no <assembly> element");
        }
        if (b.executionLevel() != null) {
            text = executionLevel(text, b.executionLevel().manifestName());
        }
        if (b.dpiAware() != null) {
            text = setting(text, "dpiAware", WINDOWS_SETTINGS_2005, b.dpiAware().toString());
        }
        if (b.longPathAware() != null) {
            text = setting(text, "longPathAware", WINDOWS_SETTINGS_2016, b.longPathAware().toString());
        }
        return text.getBytes(StandardCharsets.UTF_8);
    }

    private static String executionLevel(String text, String level) {
        final Matcher m = Pattern.compile("(<requestedExecutionLevel\\b[^>]*?\\blevel\\s*=\\s*)([\"'])[^\"']*\\2")
                .matcher(text);
        if (m.find()) {
            return text.substring(0, m.start()) + m.group(1) + m.group(2) + level + m.group(2) + text.substring(m.end());
        }
        final String element = "<requestedExecutionLevel level=\"" + level + "\" uiAccess=\"false\"/>";
        final int privileges = text.indexOf("</requestedPrivileges>");
        if (privileges >= 0) {
            return text.substring(0, privileges) + element + text.substring(privileges);
        }
        return beforeAssemblyEnd(text, "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n    <security>\n"
                + "      <requestedPrivileges>\n        " + element + "\n      </requestedPrivileges>\n"
                + "    </security>\n  </trustInfo>\n");
    }

    private static String setting(String text, String name, String namespace, String value) {
        final Matcher m = Pattern.compile("(<(?:\\w+:)?" + name + "\\b[^>]*>)[^<]*(</(?:\\w+:)?" + name + "\\s*>)")
                .matcher(text);
        if (m.find()) {
            return text.substring(0, m.start()) + m.group(1) + value + m.group(2) + text.substring(m.end());
        }
        final String element = "<" + name + " xmlns=\"" + namespace + "\">" + value + "</" + name + ">";
        final int settings = text.indexOf("</windowsSettings>");
        if (settings >= 0) {
            return text.substring(0, settings) + "  " + element + "\n    " + text.substring(settings);
        }
        return beforeAssemblyEnd(text, "  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
                + "    <windowsSettings>\n      " + element + "\n    </windowsSettings>\n  </application>\n");
    }

    private static String beforeAssemblyEnd(String text, String block) {
        final int end = text.lastIndexOf("</assembly>");
        return text.substring(0, end) + block + text.substring(end);
    }
}
