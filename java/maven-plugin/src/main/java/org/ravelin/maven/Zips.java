package org.ravelin.maven;

import java.io.File;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.time.Instant;
import java.time.LocalDateTime;
import java.time.OffsetDateTime;
import java.time.ZoneId;
import java.time.ZoneOffset;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.stream.Stream;
import java.util.zip.ZipEntry;
import java.util.zip.ZipOutputStream;

/** The zip of the program's folder, deterministic: entries sorted by name, one fixed time, no extra fields. */
final class Zips {
    private Zips() {}

    /**
     * The time of every entry: the project's {@code project.build.outputTimestamp} (ISO 8601 or seconds since 1970)
     * as Maven's reproducible builds set it, else 1980-01-01, the zip format's first day.
     *
     * @throws IllegalArgumentException if the text is neither
     */
    static long entryTime(String outputTimestamp) {
        return dosTime(LocalDateTime.ofInstant(instant(outputTimestamp), ZoneOffset.UTC));
    }

    /**
     * The time a build's {@code project.build.outputTimestamp} gives (ISO 8601 or seconds since 1970), else
     * 1980-01-01.
     *
     * @throws IllegalArgumentException if the text is neither
     */
    static Instant instant(String outputTimestamp) {
        if (outputTimestamp == null || outputTimestamp.trim().isEmpty()) {
            return LocalDateTime.of(1980, 1, 1, 0, 0).toInstant(ZoneOffset.UTC);
        }
        final String text = outputTimestamp.trim();
        try {
            return text.matches("[0-9]+") ? Instant.ofEpochSecond(Long.parseLong(text))
                    : OffsetDateTime.parse(text).toInstant();
        } catch (RuntimeException e) {
            throw new IllegalArgumentException("\"" + text + "\" is neither an ISO 8601 time with its offset"
                    + " (2026-12-01T10:00:00Z) nor seconds since 1970", e);
        }
    }

    // ZipEntry.setTime writes the time of day of the machine's time zone: the time that gives this date and time of
    // day there, so that every machine writes the same bytes.
    private static long dosTime(LocalDateTime time) {
        return time.atZone(ZoneId.systemDefault()).toInstant().toEpochMilli();
    }

    /**
     * Writes {@code zip}: every file below {@code folder} as {@code top/<path>}, and every empty folder as an entry of
     * its own (a program's empty {@code logs/} must survive the unpacking). Written beside the zip, then moved into
     * place.
     */
    static void write(Path folder, String top, Path zip, long time) throws IOException {
        final List<String> names = new ArrayList<>();
        try (Stream<Path> walk = Files.walk(folder)) {
            for (Path path : (Iterable<Path>) walk::iterator) {
                final String relative = folder.relativize(path).toString().replace(File.separatorChar, '/');
                if (Files.isRegularFile(path)) {
                    names.add(top + "/" + relative);
                } else if (!relative.isEmpty() && isEmptyFolder(path)) {
                    names.add(top + "/" + relative + "/");
                }
            }
        }
        Collections.sort(names);
        final Path part = zip.resolveSibling(zip.getFileName() + ".part");
        try (OutputStream out = Files.newOutputStream(part); ZipOutputStream stream = new ZipOutputStream(out)) {
            for (String entry : names) {
                final ZipEntry zipEntry = new ZipEntry(entry);
                zipEntry.setTime(time);
                stream.putNextEntry(zipEntry);
                if (!entry.endsWith("/")) {
                    Files.copy(folder.resolve(entry.substring(top.length() + 1)), stream);
                }
                stream.closeEntry();
            }
        }
        Files.move(part, zip, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
    }

    private static boolean isEmptyFolder(Path path) throws IOException {
        if (!Files.isDirectory(path)) {
            return false;
        }
        try (Stream<Path> children = Files.list(path)) {
            return !children.findAny().isPresent();
        }
    }
}
