package org.ravelin.packager.runtime;

import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.Arrays;
import java.util.Enumeration;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;

import org.ravelin.packager.PackagerException;

/**
 * A Windows Java runtime or JDK as distributors ship it: a folder whose {@code bin} holds {@code java.exe}, or a zip
 * that holds such a folder (at its top or below one folder of the distributor's name, such as
 * {@code jdk-17.0.12+7/}).
 */
final class RuntimeSource {
    private RuntimeSource() {}

    /**
     * The runtime's home: the folder itself, or the runtime of the zip unpacked into {@code scratch}.
     *
     * @param given a folder or a zip
     * @param scratch an empty folder for what a zip holds
     * @return the folder whose {@code bin} holds {@code java.exe}
     * @throws PackagerException when the given file is neither, or holds no Windows runtime
     * @throws IOException when it cannot be read
     */
    static Path home(Path given, Path scratch) throws PackagerException, IOException {
        if (Files.isDirectory(given)) {
            if (!Files.isRegularFile(given.resolve("bin").resolve("java.exe"))) {
                throw new PackagerException(given + " is no Windows Java runtime: it has no bin\\java.exe");
            }
            return given;
        }
        if (!Files.isRegularFile(given)) {
            throw new PackagerException("the runtime " + given + " does not exist");
        }
        return unzip(given, scratch);
    }

    // The runtime's entries are those below the shortest folder that holds bin/java.exe.
    private static Path unzip(Path zip, Path scratch) throws PackagerException, IOException {
        try (ZipFile file = new ZipFile(zip.toFile())) {
            String root = null;
            for (Enumeration<? extends ZipEntry> entries = file.entries(); entries.hasMoreElements();) {
                final String name = entries.nextElement().getName().replace('\\', '/');
                if (name.equals("bin/java.exe") || name.endsWith("/bin/java.exe")) {
                    final String prefix = name.substring(0, name.length() - "bin/java.exe".length());
                    if (root == null || prefix.length() < root.length()) {
                        root = prefix;
                    }
                }
            }
            if (root == null) {
                throw new PackagerException(zip + " holds no Windows Java runtime: no bin/java.exe in it");
            }
            for (Enumeration<? extends ZipEntry> entries = file.entries(); entries.hasMoreElements();) {
                final ZipEntry entry = entries.nextElement();
                final String name = entry.getName().replace('\\', '/');
                if (!name.startsWith(root) || name.length() == root.length()) {
                    continue;
                }
                final String inside = name.substring(root.length());
                if (inside.startsWith("/") || inside.contains(":") || Arrays.asList(inside.split("/")).contains("..")) {
                    throw new PackagerException(zip + " holds the entry " + entry.getName()
                            + ", which would be written outside the runtime");
                }
                final Path target = scratch.resolve(inside);
                if (entry.isDirectory()) {
                    Files.createDirectories(target);
                    continue;
                }
                Files.createDirectories(target.getParent());
                try (InputStream in = file.getInputStream(entry)) {
                    Files.copy(in, target, StandardCopyOption.REPLACE_EXISTING);
                }
            }
        } catch (java.util.zip.ZipException e) {
            throw new PackagerException("the runtime " + zip + " is neither a folder nor a zip: " + e.getMessage(), e);
        }
        return scratch;
    }
}
