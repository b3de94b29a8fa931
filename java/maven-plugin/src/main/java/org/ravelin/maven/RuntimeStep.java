package org.ravelin.maven;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.io.UnsupportedEncodingException;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

import org.apache.maven.plugin.MojoFailureException;
import org.apache.maven.plugin.logging.Log;
import org.eclipse.aether.RepositorySystem;
import org.eclipse.aether.RepositorySystemSession;
import org.eclipse.aether.artifact.DefaultArtifact;
import org.eclipse.aether.repository.RemoteRepository;
import org.eclipse.aether.resolution.ArtifactRequest;
import org.eclipse.aether.resolution.ArtifactResolutionException;
import org.ravelin.packager.PackagerException;
import org.ravelin.packager.runtime.BundledRuntime;
import org.ravelin.packager.runtime.RuntimeOptions;

/**
 * The goal's {@code <runtime>}: a Windows Java runtime or JDK laid into the program's folder as {@code runtime/} by
 * the packager ({@link BundledRuntime}), trimmed to the application's modules (and {@code <runtimeModules>}) when it
 * is a JDK with {@code jmods}. The runtime is a folder, a zip, or the Maven coordinates
 * {@code groupId:artifactId:version[:classifier]} of a zip in the project's repositories.
 */
final class RuntimeStep {
    private static final Pattern COORDINATES =
            Pattern.compile("([^:/\\\\\\s]+):([^:/\\\\\\s]+):([^:/\\\\\\s]+)(?::([^:/\\\\\\s]+))?");

    private RuntimeStep() {}

    /** Where a zip given by its coordinates comes from: the project's repositories. */
    static final class Repositories {
        final RepositorySystem system;
        final RepositorySystemSession session;
        final List<RemoteRepository> remotes;

        Repositories(RepositorySystem system, RepositorySystemSession session, List<RemoteRepository> remotes) {
            this.system = system;
            this.session = session;
            this.remotes = remotes;
        }
    }

    /**
     * The runtime as a file: a folder or zip that exists (relative to the project's folder), else the zip of the
     * coordinates, resolved.
     *
     * @param runtime the parameter's text
     * @param baseDirectory the project's folder
     * @param repositories where coordinates are resolved
     * @return the folder or zip
     * @throws MojoFailureException when the text is none of the three, or the coordinates resolve to nothing
     */
    static Path locate(String runtime, Path baseDirectory, Repositories repositories) throws MojoFailureException {
        final String text = runtime.trim();
        try {
            final Path path = baseDirectory.resolve(text);
            if (Files.exists(path)) {
                return path;
            }
        } catch (InvalidPathException e) {
            // Coordinates are no path on Windows (a colon after the first character): they are read below.
        }
        final Matcher matcher = COORDINATES.matcher(text);
        if (!matcher.matches()) {
            throw new MojoFailureException("runtime " + text + " is no folder or zip that exists, nor the Maven"
                    + " coordinates groupId:artifactId:version[:classifier] of a zip");
        }
        final DefaultArtifact zip = new DefaultArtifact(matcher.group(1), matcher.group(2),
                matcher.group(4) == null ? "" : matcher.group(4), "zip", matcher.group(3));
        try {
            return repositories.system.resolveArtifact(repositories.session,
                    new ArtifactRequest(zip, repositories.remotes, null)).getArtifact().getFile().toPath();
        } catch (ArtifactResolutionException e) {
            throw new MojoFailureException("runtime " + text + ": the zip " + zip + " is in none of the project's"
                    + " repositories: " + e.getMessage(), e);
        }
    }

    /**
     * Lays the runtime into the program's folder and names it in the settings, where the configured settings do not
     * (qel.nl.current.vm.fallback=true among them); the build log gives what was laid out and its size.
     *
     * @param runtime the runtime, a folder or zip
     * @param modules modules the runtime holds besides those the jars need; may be null
     * @param folder the program's folder, its jars in lib/
     * @param classPath the jars, relative to the folder
     * @param console whether the launcher is the console twin
     * @param properties the settings, changed in place
     * @param configured the settings configured in the POM; may be null
     * @param log the build log
     * @throws MojoFailureException when the packager refuses the runtime
     * @throws IOException when a file cannot be read or written
     */
    static void lay(Path runtime, List<String> modules, Path folder, List<String> classPath, boolean console,
            Map<String, String> properties, Map<String, String> configured, Log log) throws MojoFailureException, IOException {
        final RuntimeOptions.Builder options = RuntimeOptions.builder().program(folder).runtime(runtime)
                .console(console);
        for (String jar : classPath) {
            options.jar(folder.resolve(jar));
        }
        if (modules != null) {
            for (String module : modules) {
                if (module != null && !module.trim().isEmpty()) {
                    options.module(module.trim());
                }
            }
        }
        final ByteArrayOutputStream out = new ByteArrayOutputStream();
        try (PrintStream stream = new PrintStream(out, true, "UTF-8")) {
            BundledRuntime.lay(options.build(), stream);
        } catch (UnsupportedEncodingException e) {
            throw new IllegalStateException(e);
        } catch (PackagerException e) {
            throw new MojoFailureException(e.getMessage(), e);
        } finally {
            final String text = new String(out.toByteArray(), java.nio.charset.StandardCharsets.UTF_8).trim();
            if (!text.isEmpty()) {
                log.info("Ravelin: " + text);
            }
        }
        BundledRuntime.name(properties, console, false);
        for (String key : new String[] {BundledRuntime.CURRENT_VM, BundledRuntime.FALLBACK}) {
            if (configured != null && configured.containsKey(key)) {
                properties.put(key, configured.get(key) == null ? "" : configured.get(key));
            }
        }
    }
}
