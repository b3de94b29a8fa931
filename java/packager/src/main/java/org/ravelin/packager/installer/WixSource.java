package org.ravelin.packager.installer;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.stream.Stream;

import org.ravelin.packager.settings.ServiceSettings;

/**
 * The package's source in the WiX 3 language, which msitools' {@code wixl} and the WiX toolset both build. Every
 * identifier is derived from the upgrade code and the file's path in the program's folder, and the files come in
 * the order of their paths: the same folder gives the same text.
 */
final class WixSource {
    /** The file of the program's icon in the package's Icon table (its extension tells Windows how to read it). */
    static final String ICON_ID = "ProgramIcon.exe";

    private WixSource() {}

    /** A folder of the program's, its subfolders and its files, by name. */
    private static final class Folder {
        final String path; // relative, with '/', "" for the program's folder
        final Map<String, Folder> folders = new TreeMap<>();
        final List<String> files = new ArrayList<>();

        Folder(String path) {
            this.path = path;
        }
    }

    static String render(Installer installer) throws IOException {
        final Folder root = scan(installer.folder());
        final StringBuilder x = new StringBuilder();
        final String name = installer.name();
        final String exeId = id("f", name + ".exe");
        x.append("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n");
        x.append("<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n");
        x.append("  <Product Id=\"").append(upper(installer.productCode())).append("\" Name=\"").append(attr(name))
                .append("\" Language=\"1033\" Codepage=\"65001\" Version=\"").append(installer.msiVersionText())
                .append("\" Manufacturer=\"").append(attr(installer.manufacturer())).append("\" UpgradeCode=\"")
                .append(upper(installer.upgradeCode())).append("\">\n");
        x.append("    <Package InstallerVersion=\"500\" Compressed=\"yes\" InstallScope=\"")
                .append(installer.perUser() ? "perUser\" InstallPrivileges=\"limited" : "perMachine")
                .append("\" Description=\"").append(attr(name + " " + installer.version())).append("\"/>\n");
        x.append("    <MajorUpgrade DowngradeErrorMessage=\"").append(attr("A newer version of " + name
                + " is already installed. Remove it first to install this older version.")).append("\"/>\n");
        x.append("    <Media Id=\"1\" Cabinet=\"program.cab\" EmbedCab=\"yes\"/>\n");
        x.append("    <Icon Id=\"").append(ICON_ID).append("\" SourceFile=\"")
                .append(attr(source(installer, name + ".exe"))).append("\"/>\n");
        property(x, "ARPPRODUCTICON", ICON_ID);
        if (installer.description() != null && !installer.description().isEmpty()) {
            property(x, "ARPCOMMENTS", installer.description());
        }
        property(x, "ARPNOMODIFY", "1");
        if (installer.perUser()) {
            property(x, "MSIINSTALLPERUSER", "1");
        }
        x.append("    <Directory Id=\"TARGETDIR\" Name=\"SourceDir\">\n");
        // Per machine into Program Files\NAME; per user into AppData\Local\Programs\NAME, where Windows puts the
        // programs a user installs for themselves.
        if (installer.perUser()) {
            x.append("      <Directory Id=\"LocalAppDataFolder\">\n        <Directory Id=\"UserPrograms\""
                    + " Name=\"Programs\">\n");
        } else {
            x.append("      <Directory Id=\"ProgramFiles64Folder\">\n");
        }
        final List<String> components = new ArrayList<>();
        x.append("          <Directory Id=\"INSTALLDIR\" Name=\"").append(attr(name)).append("\">\n");
        contents(x, installer, root, "            ", components, exeId);
        x.append("          </Directory>\n").append(installer.perUser() ? "        </Directory>\n" : "")
                .append("      </Directory>\n");
        x.append("      <Directory Id=\"ProgramMenuFolder\"/>\n");
        if (installer.desktopShortcut()) {
            x.append("      <Directory Id=\"DesktopFolder\"/>\n");
        }
        x.append("    </Directory>\n");
        x.append("    <Feature Id=\"Program\" Level=\"1\">\n");
        for (String component : components) {
            x.append("      <ComponentRef Id=\"").append(component).append("\"/>\n");
        }
        x.append("    </Feature>\n  </Product>\n</Wix>\n");
        return x.toString();
    }

    private static void contents(StringBuilder x, Installer installer, Folder folder, String indent,
            List<String> components, String exeId) {
        for (String file : folder.files) {
            final String path = folder.path.isEmpty() ? file : folder.path + "/" + file;
            final String component = id("c", path);
            components.add(component);
            x.append(indent).append("<Component Id=\"").append(component).append("\" Guid=\"")
                    .append(upper(installer.derived("component " + path))).append("\"")
                    .append(" Win64=\"yes\">\n");
            final boolean program = path.equals(installer.name() + ".exe");
            x.append(indent).append("  <File Id=\"").append(program ? exeId : id("f", path)).append("\" Name=\"")
                    .append(attr(file)).append("\" Source=\"")
                    .append(attr(source(installer, path))).append("\" KeyPath=\"yes\"");
            if (!program) {
                x.append("/>\n");
            } else {
                x.append(">\n");
                shortcut(x, indent + "    ", installer, "StartMenuShortcut", "ProgramMenuFolder");
                if (installer.desktopShortcut()) {
                    shortcut(x, indent + "    ", installer, "DesktopShortcut", "DesktopFolder");
                }
                x.append(indent).append("  </File>\n");
                if (installer.service() != null) {
                    service(x, indent + "  ", installer.service(), exeId);
                }
                for (String extension : installer.associations()) {
                    final String progId = installer.name() + "." + extension;
                    x.append(indent).append("  <ProgId Id=\"").append(attr(progId)).append("\" Description=\"")
                            .append(attr(installer.name() + " ." + extension)).append("\">\n");
                    x.append(indent).append("    <Extension Id=\"").append(attr(extension)).append("\">\n");
                    x.append(indent).append("      <Verb Id=\"open\" Command=\"Open\" TargetFile=\"").append(exeId)
                            .append("\" Argument=\"&quot;%1&quot;\"/>\n");
                    x.append(indent).append("    </Extension>\n").append(indent).append("  </ProgId>\n");
                }
            }
            x.append(indent).append("</Component>\n");
        }
        for (Folder sub : folder.folders.values()) {
            final String leaf = sub.path.substring(sub.path.lastIndexOf('/') + 1);
            x.append(indent).append("<Directory Id=\"").append(id("d", sub.path)).append("\" Name=\"")
                    .append(attr(leaf)).append("\">\n");
            if (sub.files.isEmpty() && sub.folders.isEmpty()) {
                // An empty folder of the program's (logs/, say) is made at install and removed when empty.
                final String component = id("c", sub.path + "/");
                components.add(component);
                x.append(indent).append("  <Component Id=\"").append(component).append("\" Guid=\"")
                        .append(upper(installer.derived("folder " + sub.path))).append("\"")
                        .append(" Win64=\"yes\">\n");
                x.append(indent).append("    <CreateFolder/>\n").append(indent).append("  </Component>\n");
            }
            contents(x, installer, sub, indent + "  ", components, exeId);
            x.append(indent).append("</Directory>\n");
        }
    }

    private static void shortcut(StringBuilder x, String indent, Installer installer, String id, String folder) {
        x.append(indent).append("<Shortcut Id=\"").append(id).append("\" Directory=\"").append(folder)
                .append("\" Name=\"").append(attr(installer.name())).append("\" WorkingDirectory=\"INSTALLDIR\"")
                .append(" Icon=\"").append(ICON_ID).append("\" Advertise=\"no\"/>\n");
    }

    // The service as -kwqelinstall installs it: the launcher with -kwqelservice NAME, its display name, description,
    // start, account and dependencies, and its event source, whose messages the launcher carries. It starts at
    // install when it starts with Windows, and is stopped and removed at uninstall.
    private static void service(StringBuilder x, String indent, ServiceSettings service, String exeId) {
        final boolean automatic = !service.start().equals("demand");
        x.append(indent).append("<ServiceInstall Id=\"Service\" Name=\"").append(attr(service.name()))
                .append("\" DisplayName=\"").append(attr(service.displayName())).append("\"");
        if (!service.description().isEmpty()) {
            x.append(" Description=\"").append(attr(service.description())).append("\"");
        }
        x.append(" Type=\"ownProcess\" Start=\"").append(automatic ? "auto" : "demand")
                .append("\" ErrorControl=\"normal\" Account=\"").append(attr(service.account()))
                .append("\" Arguments=\"").append(attr("-kwqelservice " + quoted(service.name()))).append("\"");
        if (service.dependencies().isEmpty()) {
            x.append("/>\n");
        } else {
            x.append(">\n");
            for (String dependency : service.dependencies()) {
                x.append(indent).append("  <ServiceDependency Id=\"").append(attr(dependency.startsWith("+")
                        ? dependency.substring(1) : dependency)).append("\"")
                        .append(dependency.startsWith("+") ? " Group=\"yes\"" : "").append("/>\n");
            }
            x.append(indent).append("</ServiceInstall>\n");
        }
        x.append(indent).append("<ServiceControl Id=\"ServiceControl\" Name=\"").append(attr(service.name()))
                .append("\"").append(automatic ? " Start=\"install\"" : "")
                .append(" Stop=\"both\" Remove=\"uninstall\" Wait=\"yes\"/>\n");
        final String services = "SYSTEM\\CurrentControlSet\\Services\\";
        x.append(indent).append("<RegistryKey Root=\"HKLM\" Key=\"").append(attr(services + "EventLog\\Application\\"
                + service.name())).append("\">\n");
        x.append(indent).append("  <RegistryValue Name=\"EventMessageFile\" Type=\"expandable\" Value=\"[#")
                .append(exeId).append("]\"/>\n");
        x.append(indent).append("  <RegistryValue Name=\"TypesSupported\" Type=\"integer\" Value=\"7\"/>\n");
        x.append(indent).append("</RegistryKey>\n");
        if (service.start().equals("delayed")) {
            x.append(indent).append("<RegistryValue Root=\"HKLM\" Key=\"").append(attr(services + service.name()))
                    .append("\" Name=\"DelayedAutostart\" Type=\"integer\" Value=\"1\"/>\n");
        }
    }

    // A file's source, relative to the folder that holds the program's folder (where the tool runs): wixl takes no
    // absolute source.
    private static String source(Installer installer, String path) {
        return installer.folder().getFileName() + "/" + path;
    }

    private static String quoted(String name) {
        return name.indexOf(' ') >= 0 ? "\"" + name + "\"" : name;
    }

    private static void property(StringBuilder x, String id, String value) {
        x.append("    <Property Id=\"").append(id).append("\" Value=\"").append(attr(value)).append("\"/>\n");
    }

    private static Folder scan(Path folder) throws IOException {
        final Folder root = new Folder("");
        final List<Path> paths = new ArrayList<>();
        try (Stream<Path> walk = Files.walk(folder)) {
            walk.filter(p -> !p.equals(folder)).forEach(paths::add);
        }
        final List<String> names = new ArrayList<>();
        for (Path path : paths) {
            names.add(folder.relativize(path).toString().replace('\\', '/') + (Files.isDirectory(path) ? "/" : ""));
        }
        java.util.Collections.sort(names);
        for (String name : names) {
            final boolean directory = name.endsWith("/");
            final String path = directory ? name.substring(0, name.length() - 1) : name;
            Folder at = root;
            final String[] parts = path.split("/");
            for (int i = 0; i < parts.length - 1; i++) {
                at = at.folders.get(parts[i]);
            }
            if (directory) {
                at.folders.put(parts[parts.length - 1], new Folder(path));
            } else {
                at.files.add(parts[parts.length - 1]);
            }
        }
        return root;
    }

    // An identifier of the package's tables: a letter and 32 hex digits of the path's digest (72 characters at most,
    // letters, digits and '_' or '.' only, whatever the file is named).
    static String id(String kind, String path) {
        try {
            final byte[] digest = MessageDigest.getInstance("SHA-256").digest(path.getBytes(StandardCharsets.UTF_8));
            final StringBuilder text = new StringBuilder(kind);
            for (int i = 0; i < 16; i++) {
                text.append(String.format("%02x", digest[i] & 0xff));
            }
            return text.toString();
        } catch (NoSuchAlgorithmException e) {
            throw new IllegalStateException("every Java platform has SHA-256", e);
        }
    }

    private static String upper(java.util.UUID uuid) {
        return uuid.toString().toUpperCase(java.util.Locale.ROOT);
    }

    static String attr(String text) {
        final StringBuilder out = new StringBuilder();
        for (int i = 0; i < text.length(); i++) {
            final char c = text.charAt(i);
            switch (c) {
                case '&': out.append("&amp;"); break;
                case '<': out.append("&lt;"); break;
                case '>': out.append("&gt;"); break;
                case '"': out.append("&quot;"); break;
                default:
                    if (c < 0x20) {
                        out.append("&#").append((int) c).append(';');
                    } else {
                        out.append(c);
                    }
            }
        }
        return out.toString();
    }
}
