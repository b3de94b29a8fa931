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
        final String name = identityName(b.company(), b.productName() != null ? b.productName() : b.fileDescription());
        if (name != null) {
            text = identity(text, name);
        }
        final String description = b.fileDescription() != null ? b.fileDescription() : b.productName();
        if (description != null && !description.trim().isEmpty()) {
            text = description(text, description.trim());
        }
        return text.getBytes(StandardCharsets.UTF_8);
    }

    /** Whether branding changes the manifest: a setting of its own, or a name its identity follows. */
    static boolean changes(Branding b) {
        return b.executionLevel() != null || b.dpiAware() != null || b.longPathAware() != null
                || b.productName() != null || b.fileDescription() != null;
    }

    /**
     * The assembly identity's name for a program: its company and its name as "Company.Name", each kept to the
     * letters, digits, "-" and "_" of ASCII that an identity name takes, other runs becoming one "."; null when no
     * such character is left of the name.
     */
    static String identityName(String company, String name) {
        final String program = identityPart(name);
        if (program.isEmpty()) {
            return null;
        }
        final String maker = identityPart(company);
        return maker.isEmpty() ? program : maker + "." + program;
    }

    private static String identityPart(String text) {
        if (text == null) {
            return "";
        }
        return text.replaceAll("[^A-Za-z0-9_-]+", ".").replaceAll("^\\.+|\\.+$", "");
    }

    private static String identity(String text, String name) {
        final Matcher m = Pattern.compile("(<assemblyIdentity\\b[^>]*?\\bname\\s*=\\s*)([\"'])[^\"']*\\2")
                .matcher(text);
        if (!m.find()) {
            return text;
        }
        return text.substring(0, m.start()) + m.group(1) + m.group(2) + name + m.group(2) + text.substring(m.end());
    }

    private static String description(String text, String description) {
        // XML text: its markup characters escaped, control characters (which XML 1.0 cannot hold) as blanks.
        final String escaped = description.replaceAll("[\\x00-\\x1F\\x7F]", " ").replace("&", "&amp;")
                .replace("<", "&lt;").replace(">", "&gt;");
        final Matcher m = Pattern.compile("(<description\\b[^>]*>)[^<]*(</description\\s*>)").matcher(text);
        if (m.find()) {
            return text.substring(0, m.start()) + m.group(1) + escaped + m.group(2) + text.substring(m.end());
        }
        final Matcher identity = Pattern.compile("<assemblyIdentity\\b[^>]*/>").matcher(text);
        if (!identity.find()) {
            return text;
        }
        return text.substring(0, identity.end()) + "\n  <description>" + escaped + "</description>"
                + text.substring(identity.end());
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
