package org.ravelin.packager.runtime;

import java.io.IOException;
import java.io.PrintStream;
import java.nio.file.FileVisitOption;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.stream.Collectors;
import java.util.stream.Stream;

import org.ravelin.packager.FileTrees;
import org.ravelin.packager.PackagerException;
import org.ravelin.packager.settings.SettingsFile;

/**
 * A Java runtime that travels with the program: laid into the program's folder as {@code runtime/} and named in its
 * properties file, so that the launcher starts it and no Java need be installed. A JDK that has {@code jmods} is
 * trimmed to the modules the application needs ({@link RuntimeLinker}); any other runtime is copied as it is.
 */
public final class BundledRuntime {
    /** The runtime's folder in the program's folder. */
    public static final String FOLDER = "runtime";
    /** The setting that names the VM to start. */
    public static final String CURRENT_VM = "qel.nl.current.vm";
    /** The setting that lets the launcher search the installed VMs when the named one is missing. */
    public static final String FALLBACK = "qel.nl.current.vm.fallback";
    static final String VALID_VM_LIST = "qel.nl.valid.vm.list";

    private BundledRuntime() {}

    /** What was laid out. */
    public static final class Result {
        private final List<String> modules;
        private final long files;
        private final long bytes;

        Result(List<String> modules, long files, long bytes) {
            this.modules = modules;
            this.files = files;
            this.bytes = bytes;
        }

        /** @return the modules linked, empty when the runtime was copied as given */
        public List<String> modules() {
            return modules;
        }

        /** @return the runtime's files */
        public long files() {
            return files;
        }

        /** @return the runtime's size in bytes, the sum of its files' */
        public long bytes() {
            return bytes;
        }

        /** @return "trimmed to 5 modules (java.base, …): 41.2 MB in 120 files" or "copied as given: …" */
        @Override
        public String toString() {
            final String size = String.format(Locale.ROOT, "%.1f MB in %d files", bytes / 1048576.0, files);
            return modules.isEmpty() ? "copied as given: " + size
                    : "trimmed to " + modules.size() + " modules (" + String.join(", ", modules) + "): " + size;
        }
    }

    /**
     * Lays the runtime into {@code program/runtime} (replacing what was there) and names it in the properties file:
     * {@code runtime\bin\javaw.exe}, or {@code java.exe} for the console launcher, relative to the file.
     *
     * @param options what to lay out, and where
     * @param log where the runtime's size is written
     * @return what was laid out
     * @throws PackagerException when the runtime is refused (no Windows runtime in it, jmods of another feature
     *     version than jlink's) or a JDK tool fails
     * @throws IOException when a file cannot be read or written
     */
    public static Result lay(RuntimeOptions options, PrintStream log) throws PackagerException, IOException {
        final Path program = options.program();
        final Path target = program.resolve(FOLDER);
        // Made beside its place, so that it moves there as a whole (a folder cannot move to another file system).
        Files.createDirectories(program);
        final Path scratch = Files.createTempDirectory(program, ".runtime-");
        final List<String> modules;
        try {
            final Path home = RuntimeSource.home(options.runtime(), scratch.resolve("given"));
            final Path made = scratch.resolve("made");
            if (Files.isDirectory(home.resolve("jmods")) && !options.full()) {
                final RuntimeLinker linker = options.linker();
                final int feature = linker.checkVersions(home);
                modules = linker.modules(options.jars(), options.modules(), feature);
                linker.link(home, modules, made);
            } else {
                modules = Collections.emptyList();
                copyTree(home, made);
            }
            FileTrees.delete(target);
            Files.move(made, target);
        } finally {
            FileTrees.delete(scratch);
        }
        final List<Path> files = files(target);
        long bytes = 0;
        for (Path file : files) {
            bytes += Files.size(file);
        }
        final Result result = new Result(Collections.unmodifiableList(new ArrayList<>(modules)), files.size(), bytes);
        if (options.properties() != null) {
            name(options.properties(), options.console(), options.fallback());
        }
        log.println("runtime " + target + ": " + result);
        return result;
    }

    /**
     * Names the runtime in a properties file (see {@link #name(Map, boolean, boolean)}).
     *
     * @param properties the properties file, beside the launcher and {@code runtime/}
     * @param console whether the launcher is the console twin, which starts {@code java.exe}
     * @param fallback whether an installed Java may start the program when {@code runtime/} is missing
     * @throws IOException when the file cannot be read or written
     */
    public static void name(Path properties, boolean console, boolean fallback) throws IOException {
        final Map<String, String> settings = Files.exists(properties) ? SettingsFile.read(properties)
                : new LinkedHashMap<>();
        name(settings, console, fallback);
        SettingsFile.write(settings, properties);
    }

    /**
     * Names the runtime in settings: the program the launcher starts, and whether the launcher may search the
     * installed VMs when the runtime is missing. Settings without an acceptable-VM list get J2, which takes the
     * runtime: a named VM that no token accepts is refused.
     *
     * @param settings the settings, changed in place
     * @param console whether the launcher is the console twin, which starts {@code java.exe}
     * @param fallback whether an installed Java may start the program when {@code runtime/} is missing
     */
    public static void name(Map<String, String> settings, boolean console, boolean fallback) {
        settings.put(CURRENT_VM, FOLDER + "\\bin\\" + (console ? "java.exe" : "javaw.exe"));
        settings.put(FALLBACK, Boolean.toString(fallback));
        if (settings.getOrDefault(VALID_VM_LIST, "").trim().isEmpty()) {
            settings.put(VALID_VM_LIST, "J2");
        }
    }

    /**
     * The regular files below a folder, sorted by their relative names with "/" between the parts, so that the
     * same runtime always lists the same way.
     *
     * @param folder the folder
     * @return its files
     * @throws IOException when it cannot be read
     */
    static List<Path> files(Path folder) throws IOException {
        try (Stream<Path> walk = Files.walk(folder, FileVisitOption.FOLLOW_LINKS)) {
            return walk.filter(Files::isRegularFile)
                    .sorted((a, b) -> slashed(folder, a).compareTo(slashed(folder, b)))
                    .collect(Collectors.toList());
        }
    }

    static String slashed(Path folder, Path file) {
        return folder.relativize(file).toString().replace(folder.getFileSystem().getSeparator(), "/");
    }

    // A distributor's links (Debian's JDK points at /etc and /usr/share) are copied as the files they name.
    private static void copyTree(Path from, Path to) throws IOException {
        Files.createDirectories(to);
        for (Path file : files(from)) {
            final Path target = to.resolve(from.relativize(file).toString());
            Files.createDirectories(target.getParent());
            Files.copy(file, target, StandardCopyOption.COPY_ATTRIBUTES);
        }
    }
}
