package org.ravelin.packager.runtime;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.time.LocalDateTime;
import java.time.ZoneId;
import java.util.zip.ZipEntry;
import java.util.zip.ZipOutputStream;

/**
 * The zip of a program's folder, the same bytes from the same files: entries sorted by name below the folder's name,
 * one time for all, no extra fields.
 */
public final class ProgramZip {
    /** The time of every entry unless one is given: 1980-01-01, the zip format's first day. */
    public static final LocalDateTime FIRST_DAY = LocalDateTime.of(1980, 1, 1, 0, 0);

    private ProgramZip() {}

    /**
     * Writes the zip; it takes the place of an existing one only when complete.
     *
     * @param folder the program's folder
     * @param zip the zip to write
     * @param time the time of every entry
     * @throws IOException when a file cannot be read or the zip written
     */
    public static void write(Path folder, Path zip, LocalDateTime time) throws IOException {
        // ZipEntry.setTime stores the time of day of the machine's zone: the instant that shows this time there.
        final long stamp = time.atZone(ZoneId.systemDefault()).toInstant().toEpochMilli();
        final String top = folder.getFileName().toString();
        final Path part = zip.resolveSibling(zip.getFileName() + ".part");
        try (OutputStream out = Files.newOutputStream(part); ZipOutputStream stream = new ZipOutputStream(out)) {
            for (Path file : BundledRuntime.files(folder)) {
                final ZipEntry entry = new ZipEntry(top + "/" + BundledRuntime.slashed(folder, file));
                entry.setTime(stamp);
                stream.putNextEntry(entry);
                Files.copy(file, stream);
                stream.closeEntry();
            }
        }
        Files.move(part, zip, StandardCopyOption.REPLACE_EXISTING);
    }
}
