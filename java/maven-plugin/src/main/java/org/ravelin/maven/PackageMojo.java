package org.ravelin.maven;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.zip.ZipEntry;
import java.util.zip.ZipOutputStream;

import org.apache.maven.artifact.Artifact;
import org.apache.maven.plugin.AbstractMojo;
import org.apache.maven.plugin.MojoExecutionException;
import org.apache.maven.plugin.MojoFailureException;
import org.apache.maven.project.MavenProject;
import org.ravelin.packager.Brander;
import org.ravelin.packager.Branding;
import org.ravelin.packager.ExecutionLevel;
import org.ravelin.packager.PackagerException;
import org.ravelin.packager.settings.Finding;
import org.ravelin.packager.settings.SettingsCheck;
import org.ravelin.packager.settings.SettingsFile;

/**
 * The goal {@code ravelin:package}, bound to the {@code package} phase: writes {@code target/<name>/} with the
 * application's own launcher {@code <name>.exe} (branded with its name, icon, version, vendor and description), its
 * properties file {@code <name>.qel}, and in {@code lib/} the project's jar, its runtime dependencies and the Java
 * side's library; then checks the settings with the launcher's rules and packs the folder into
 * {@code target/<name>.zip}, ready to unpack and run on Windows. The launcher executables come with this plug-in, of
 * its own version: the build downloads nothing else.
 *
 * <p>The fields are set by Maven from the plug-in's descriptor ({@code META-INF/maven/plugin.xml}), which names each
 * parameter, its property and its default.
 */
public final class PackageMojo extends AbstractMojo {
    static final String READY_MAIN_CLASS = "org.ravelin.launcher.RavelinMain";
    static final String LIBRARY_JAR = "ravelin-java.jar";

    private MavenProject project;
    private String name;
    private File icon;
    private String version;
    private String vendor;
    private String description;
    private String copyright;
    private String mainClass;
    private Map<String, String> settings;
    private boolean console;
    private String executionLevel;
    private List<String> excludes;
    private File outputDirectory;
    private String outputTimestamp;
    private boolean skip;
    private String runtime;
    private List<String> runtimeModules;
    private org.eclipse.aether.RepositorySystem repositorySystem;
    private org.eclipse.aether.RepositorySystemSession repositorySession;
    private List<org.eclipse.aether.repository.RemoteRepository> remoteRepositories;

    @Override
    public void execute() throws MojoExecutionException, MojoFailureException {
        if (skip) {
            getLog().info("ravelin:package skipped");
            return;
        }
        final Path target = outputDirectory.toPath();
        final Path folder = target.resolve(name);
        try {
            deleteTree(folder);
            Files.createDirectories(folder.resolve("lib"));
            final List<String> classPath = copyJars(folder.resolve("lib"));
            final Map<String, String> properties = properties(classPath);
            if (runtime != null && !runtime.trim().isEmpty()) {
                RuntimeStep.lay(RuntimeStep.locate(runtime, project.getBasedir().toPath(),
                        new RuntimeStep.Repositories(repositorySystem, repositorySession, remoteRepositories)),
                        runtimeModules, folder, classPath, console, properties, settings, getLog());
            }
            final List<Finding> findings = SettingsCheck.check(properties, folder);
            if (!findings.isEmpty()) {
                final StringBuilder text = new StringBuilder("the settings of " + name + ".qel would be refused by the"
                        + " launcher:");
                for (Finding finding : findings) {
                    text.append(System.lineSeparator()).append("  ").append(finding);
                }
                throw new MojoFailureException(text.toString());
            }
            SettingsFile.write(properties, folder.resolve(name + ".qel"));
            brand(folder.resolve(name + ".exe"));
            final Path zip = target.resolve(name + ".zip");
            Zips.write(folder, name, zip, Zips.entryTime(outputTimestamp));
            getLog().info("Ravelin: " + folder + " and " + zip);
        } catch (IOException e) {
            throw new MojoExecutionException("cannot write " + folder + ": " + e.getMessage(), e);
        } catch (PackagerException e) {
            throw new MojoFailureException(e.getMessage(), e);
        }
    }

    // The project's jar, its runtime dependencies (but the excluded ones) and the Java side's library, into lib;
    // their class path entries, in that order.
    private List<String> copyJars(Path lib) throws IOException, MojoExecutionException {
        final List<String> classPath = new ArrayList<>();
        final File own = project.getArtifact().getFile();
        if (own == null || !own.isFile()) {
            throw new MojoExecutionException("the project's jar is not built yet: bind ravelin:package to the package"
                    + " phase, after the jar plug-in");
        }
        classPath.add(copy(own.toPath(), lib));
        boolean library = false;
        final List<Artifact> artifacts = new ArrayList<>(project.getArtifacts());
        Collections.sort(artifacts, (a, b) -> a.getId().compareTo(b.getId()));
        for (Artifact artifact : artifacts) {
            final String scope = artifact.getScope();
            if (!(Artifact.SCOPE_COMPILE.equals(scope) || Artifact.SCOPE_RUNTIME.equals(scope))
                    || !"jar".equals(artifact.getType()) || excluded(artifact)) {
                continue;
            }
            library |= "org.ravelin".equals(artifact.getGroupId()) && "ravelin-launcher".equals(artifact.getArtifactId());
            classPath.add(copy(artifact.getFile().toPath(), lib));
        }
        if (!library) {
            try (InputStream in = resource(LIBRARY_JAR)) {
                Files.copy(in, lib.resolve(LIBRARY_JAR), StandardCopyOption.REPLACE_EXISTING);
            }
            classPath.add("lib/" + LIBRARY_JAR);
        }
        return classPath;
    }

    private boolean excluded(Artifact artifact) {
        if (excludes == null) {
            return false;
        }
        for (String exclude : excludes) {
            if (exclude.trim().equals(artifact.getGroupId() + ":" + artifact.getArtifactId())) {
                return true;
            }
        }
        return false;
    }

    private static String copy(Path jar, Path lib) throws IOException {
        final Path copied = lib.resolve(jar.getFileName().toString());
        Files.copy(jar, copied, StandardCopyOption.REPLACE_EXISTING);
        return "lib/" + copied.getFileName();
    }

    // The properties file: the ready main class starts the application's; the configured settings come after, and
    // may replace any of these.
    private Map<String, String> properties(List<String> classPath) {
        final Map<String, String> properties = new LinkedHashMap<>();
        properties.put("qel.application.name", name);
        properties.put("qel.nl.java.launcher.main.class", READY_MAIN_CLASS);
        if (mainClass != null) {
            properties.put("qel.application.main.class", mainClass);
        }
        properties.put("qel.class.path", String.join(";", classPath));
        properties.put("qel.nl.valid.vm.list", "J2");
        if (settings != null) {
            for (Map.Entry<String, String> setting : settings.entrySet()) {
                properties.put(setting.getKey(), setting.getValue() == null ? "" : setting.getValue());
            }
        }
        return properties;
    }

    private void brand(Path executable) throws IOException, PackagerException, MojoFailureException {
        final Path launcher = executable.resolveSibling(executable.getFileName() + ".launcher");
        try (InputStream in = resource(console ? "ravelinc.exe" : "ravelin.exe")) {
            Files.copy(in, launcher, StandardCopyOption.REPLACE_EXISTING);
        }
        final Branding.Builder branding = Branding.builder().productName(name).version(version);
        if (icon != null) {
            branding.icon(icon.toPath());
        }
        if (vendor != null) {
            branding.company(vendor);
        }
        branding.fileDescription(description != null ? description : name);
        if (copyright != null) {
            branding.copyright(copyright);
        }
        try {
            branding.executionLevel(ExecutionLevel.fromManifestName(executionLevel));
        } catch (IllegalArgumentException e) {
            throw new MojoFailureException("executionLevel " + executionLevel + " is none of asInvoker,"
                    + " highestAvailable, requireAdministrator");
        }
        try {
            Brander.brand(launcher, executable, branding.build());
        } finally {
            Files.deleteIfExists(launcher);
        }
    }

    private static InputStream resource(String file) throws IOException {
        final InputStream in = PackageMojo.class.getResourceAsStream(file);
        if (in == null) {
            throw new IOException("the plug-in carries no " + file);
        }
        return in;
    }

    private static void deleteTree(Path folder) throws IOException {
        if (!Files.exists(folder)) {
            return;
        }
        final List<Path> paths = new ArrayList<>();
        try (java.util.stream.Stream<Path> walk = Files.walk(folder)) {
            walk.forEach(paths::add);
        }
        Collections.reverse(paths);
        for (Path path : paths) {
            Files.delete(path);
        }
    }

    /** The zip of the folder, deterministic: entries sorted by name, one fixed time, no extra fields. */
    static final class Zips {
        private Zips() {}

        // The time of every entry: the project's project.build.outputTimestamp (ISO 8601 or seconds since 1970) as
        // Maven's reproducible builds set it, else 1980-01-01, the zip format's first day.
        static long entryTime(String outputTimestamp) {
            if (outputTimestamp != null && !outputTimestamp.trim().isEmpty()) {
                final String text = outputTimestamp.trim();
                final java.time.Instant instant = text.matches("[0-9]+")
                        ? java.time.Instant.ofEpochSecond(Long.parseLong(text))
                        : java.time.OffsetDateTime.parse(text).toInstant();
                return dosTime(java.time.LocalDateTime.ofInstant(instant, java.time.ZoneOffset.UTC));
            }
            return dosTime(java.time.LocalDateTime.of(1980, 1, 1, 0, 0));
        }

        // ZipEntry.setTime writes the time of day of the machine's time zone: the time that gives this date and time
        // of day there, so that every machine writes the same bytes.
        private static long dosTime(java.time.LocalDateTime time) {
            return time.atZone(java.time.ZoneId.systemDefault()).toInstant().toEpochMilli();
        }

        static void write(Path folder, String top, Path zip, long time) throws IOException {
            final List<Path> files = new ArrayList<>();
            try (java.util.stream.Stream<Path> walk = Files.walk(folder)) {
                walk.filter(Files::isRegularFile).forEach(files::add);
            }
            final List<String> names = new ArrayList<>();
            final Map<String, Path> byName = new LinkedHashMap<>();
            for (Path file : files) {
                final String entry = top + "/" + folder.relativize(file).toString().replace(File.separatorChar, '/');
                names.add(entry);
                byName.put(entry, file);
            }
            Collections.sort(names);
            final Path part = zip.resolveSibling(zip.getFileName() + ".part");
            try (OutputStream out = Files.newOutputStream(part); ZipOutputStream stream = new ZipOutputStream(out)) {
                for (String entry : names) {
                    final ZipEntry zipEntry = new ZipEntry(entry);
                    zipEntry.setTime(time);
                    stream.putNextEntry(zipEntry);
                    Files.copy(byName.get(entry), stream);
                    stream.closeEntry();
                }
            }
            Files.move(part, zip, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
        }
    }
}
