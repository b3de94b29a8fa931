package org.ravelin.packager;

import java.io.IOException;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;

/** Makes an application's own executable from one of ours: its icon, version information and manifest. */
public final class Brander {
    /** The icon group our launchers carry (launcher.rc: {@code 1 ICON}); Explorer shows the first group. */
    static final int ICON_GROUP = 1;
    /** The manifest the loader applies to an executable. */
    static final int MANIFEST_ID = 1;
    private static final int VERSION_ID = 1;

    private Brander() {}

    /**
     * Writes {@code output}: {@code launcher} with the branding applied. The version information's original and
     * internal file names follow {@code output}'s file name. The same inputs give the same bytes. Writes nothing when
     * it refuses (the output is written to a temporary file beside it, then moved into place).
     *
     * @param launcher a launcher executable of ours ({@code ravelin.exe} or {@code ravelinc.exe}); not signed
     * @param output where the branded executable goes; replaced if it exists
     * @param branding what to change
     * @throws PackagerException if an input is refused or the output cannot be written; the message names it
     */
    public static void brand(Path launcher, Path output, Branding branding) throws PackagerException {
        final byte[] branded = brand(read(launcher), launcher.toString(), output.getFileName().toString(), branding);
        write(output, branded, launcher);
    }

    /** Brands an executable held in memory; {@code what} names it in messages. */
    static byte[] brand(byte[] executable, String what, String outputName, Branding branding)
            throws PackagerException {
        checkText("product name", "productName", branding.productName());
        checkText("file description", "fileDescription", branding.fileDescription());
        checkText("company", "company", branding.company());
        checkText("copyright", "copyright", branding.copyright());
        checkText("version", "version", branding.version());
        checkText("output file name", null, outputName);
        final int[] numbers = branding.version() == null ? null : VersionInfo.numbers(branding.version());
        final IconFile icon = branding.icon() == null ? null : IconFile.read(branding.icon());

        final PeFile pe = PeFile.parse(executable, what);
        if (pe.directoryRva(PeFile.DIR_SECURITY) != 0 || pe.directorySize(PeFile.DIR_SECURITY) != 0) {
            throw new PackagerException(what + " carries a signature (Authenticode), which branding would break;"
                    + " brand the unsigned executable and sign the result");
        }
        final ResourceTree tree = pe.resources();
        if (icon != null) {
            icon.replaceGroup(tree, ICON_GROUP, what);
        }
        versionInfo(tree, what, outputName, numbers, branding);
        if (Manifest.changes(branding)) {
            final ResourceTree.Entry manifests = tree.root.find(ResourceTree.RT_MANIFEST);
            final ResourceTree.Entry manifest = manifests == null ? null : manifests.dir.find(MANIFEST_ID);
            final boolean settings = branding.executionLevel() != null || branding.dpiAware() != null
                    || branding.longPathAware() != null;
            if ((manifest == null || manifest.dir.entries.isEmpty()) && settings) {
                throw new PackagerException(what + " has no manifest (resource type 24, id 1) to change");
            }
            // Without a manifest, there is no identity to name either.
            for (ResourceTree.Entry lang : manifest == null ? new java.util.ArrayList<ResourceTree.Entry>()
                    : manifest.dir.entries) {
                lang.leaf.data = Manifest.apply(lang.leaf.data, branding, what);
            }
        }
        return pe.withResources(tree);
    }

    private static void versionInfo(ResourceTree tree, String what, String outputName, int[] numbers,
            Branding branding) throws PackagerException {
        final ResourceTree.Entry versions = tree.root.find(ResourceTree.RT_VERSION);
        final ResourceTree.Entry version = versions == null ? null : versions.dir.find(VERSION_ID);
        if (version == null || version.dir.entries.isEmpty()) {
            throw new PackagerException(what + " has no version information (resource type 16, id 1)");
        }
        for (ResourceTree.Entry lang : version.dir.entries) {
            final VersionInfo.Node root = VersionInfo.read(lang.leaf.data, what);
            if (numbers != null) {
                if (root.value.length < 52 || Bytes.u32(root.value, 0) != 0xFEEF04BDL) {
                    throw new PackagerException(what + ": its version information has no fixed file information");
                }
                final long ms = (long) numbers[0] << 16 | numbers[1];
                final long ls = (long) numbers[2] << 16 | numbers[3];
                Bytes.put32(root.value, 8, ms);
                Bytes.put32(root.value, 12, ls);
                Bytes.put32(root.value, 16, ms);
                Bytes.put32(root.value, 20, ls);
            }
            final VersionInfo.Node table = stringTable(root, what);
            final String base = outputName.contains(".") ? outputName.substring(0, outputName.lastIndexOf('.'))
                    : outputName;
            set(table, "CompanyName", branding.company());
            set(table, "FileDescription", branding.fileDescription());
            set(table, "FileVersion", branding.version());
            set(table, "InternalName", base);
            set(table, "LegalCopyright", branding.copyright());
            set(table, "OriginalFilename", outputName);
            set(table, "ProductName", branding.productName());
            set(table, "ProductVersion", branding.version());
            checkFits(root, what, branding);
            lang.leaf.data = VersionInfo.write(root);
        }
    }

    /** The string table of the first translation the version information lists, else its first string table. */
    private static VersionInfo.Node stringTable(VersionInfo.Node root, String what) throws PackagerException {
        final VersionInfo.Node strings = root.child("StringFileInfo");
        if (strings == null || strings.children.isEmpty()) {
            throw new PackagerException(what + ": its version information has no string table");
        }
        final VersionInfo.Node vars = root.child("VarFileInfo");
        final VersionInfo.Node translation = vars == null ? null : vars.child("Translation");
        if (translation != null && translation.value.length >= 4) {
            final String key = String.format("%04x%04x", Bytes.u16(translation.value, 0),
                    Bytes.u16(translation.value, 2));
            for (VersionInfo.Node t : strings.children) {
                if (t.key.equalsIgnoreCase(key)) {
                    return t;
                }
            }
        }
        return strings.children.get(0);
    }

    private static void set(VersionInfo.Node table, String key, String value) {
        if (value == null) {
            return;
        }
        final VersionInfo.Node node = table.child(key);
        if (node != null) {
            node.value = VersionInfo.text(value);
        } else {
            table.children.add(new VersionInfo.Node(key, 1, VersionInfo.text(value)));
        }
    }

    private static void checkText(String what, String setting, String text) throws PackagerException {
        if (text != null && text.indexOf('\0') >= 0) {
            throw new PackagerException("the " + what + " \"" + text.replace("\0", "\\0")
                    + "\" holds a NUL character", setting);
        }
    }

    // Every length in a version resource is 16 bits, the whole resource's too: a longer one would wrap, and the
    // system's reader would find no text after it. The longest text given is named as the one to shorten.
    private static void checkFits(VersionInfo.Node root, String what, Branding branding) throws PackagerException {
        final long size = VersionInfo.size(root);
        if (size <= VersionInfo.MAX_LENGTH) {
            return;
        }
        final String[][] texts = {{"product name", "productName", branding.productName()},
            {"file description", "fileDescription", branding.fileDescription()},
            {"company", "company", branding.company()}, {"copyright", "copyright", branding.copyright()},
            {"version", "version", branding.version()}};
        String[] longest = null;
        for (String[] text : texts) {
            if (text[2] != null && (longest == null || text[2].length() > longest[2].length())) {
                longest = text;
            }
        }
        final String tail = "the version information of " + what + " would take " + size + " bytes, and its 16-bit"
                + " lengths hold at most " + VersionInfo.MAX_LENGTH;
        if (longest == null) {
            throw new PackagerException(tail);
        }
        throw new PackagerException("the " + longest[0] + " is too long (" + longest[2].length() + " characters): "
                + tail, longest[1]);
    }

    private static byte[] read(Path launcher) throws PackagerException {
        try {
            return Files.readAllBytes(launcher);
        } catch (IOException e) {
            throw new PackagerException("cannot read the launcher " + launcher + ": " + e, e);
        }
    }

    private static void write(Path output, byte[] bytes, Path launcher) throws PackagerException {
        final Path absolute = output.toAbsolutePath();
        try {
            // As write-settings does: the folder the output goes into is made when it is missing.
            Files.createDirectories(absolute.getParent());
        } catch (IOException e) {
            throw new PackagerException("cannot make the folder " + absolute.getParent() + " for the output "
                    + output + ": " + e, e);
        }
        Path temp = null;
        try {
            temp = Files.createTempFile(absolute.getParent(), "." + absolute.getFileName(), ".tmp");
            Files.write(temp, bytes);
            if (Files.getFileStore(temp).supportsFileAttributeView("posix")) {
                // A temporary file is private to its owner; the output gets the launcher's permissions.
                Files.setPosixFilePermissions(temp, Files.getPosixFilePermissions(launcher));
            }
            try {
                Files.move(temp, absolute, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
            } catch (AtomicMoveNotSupportedException e) {
                Files.move(temp, absolute, StandardCopyOption.REPLACE_EXISTING);
            }
            temp = null;
        } catch (IOException e) {
            throw new PackagerException("cannot write the output " + output + ": " + e, e);
        } finally {
            if (temp != null) {
                try {
                    Files.deleteIfExists(temp);
                } catch (IOException ignored) {
                    // the refusal above says what went wrong
                }
            }
        }
    }
}
