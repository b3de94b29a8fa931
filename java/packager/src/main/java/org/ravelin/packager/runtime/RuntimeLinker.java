package org.ravelin.packager.runtime;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collection;
import java.util.List;
import java.util.Properties;
import java.util.TreeSet;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

import org.ravelin.packager.PackagerException;

/**
 * Links a runtime of only the modules an application needs, with the build machine's {@code jlink} and the
 * {@code jmods} of the JDK to ship: so a build on Linux or macOS makes a Windows runtime from a Windows JDK's
 * {@code jmods}. {@code jlink} links only the {@code jmods} of its own feature version.
 */
public final class RuntimeLinker {
    /** What {@code jlink} leaves out: the runtime runs the application, nobody debugs or compiles against it. */
    static final List<String> TRIM = Arrays.asList("--strip-debug", "--no-header-files", "--no-man-pages");

    private static final Pattern FEATURE = Pattern.compile("(?:1\\.)?([0-9]+).*");

    private final Path jlink;
    private final Path jdeps;

    /**
     * @param jlink the build machine's {@code jlink}; {@code jdeps} is taken from the same folder
     */
    public RuntimeLinker(Path jlink) {
        this.jlink = jlink;
        this.jdeps = jlink.resolveSibling(jlink.getFileName().toString().replace("jlink", "jdeps"));
    }

    /** @return the linker of the JDK the packager runs on */
    public static RuntimeLinker ofThisJdk() {
        final Path bin = Paths.get(System.getProperty("java.home"), "bin");
        final boolean windows = System.getProperty("os.name", "").startsWith("Windows");
        return new RuntimeLinker(bin.resolve(windows ? "jlink.exe" : "jlink"));
    }

    /**
     * The feature version of a Java version text: 17 of "17.0.12", 8 of "1.8.0_392", 21 of "21".
     *
     * @param version a version as {@code jlink --version} or a {@code release} file gives it
     * @return its feature version, or -1 when it has none
     */
    static int feature(String version) {
        final Matcher matcher = FEATURE.matcher(version.trim());
        return matcher.matches() ? Integer.parseInt(matcher.group(1)) : -1;
    }

    /**
     * The version of the JDK that holds {@code jmods}, from its {@code release} file.
     *
     * @param home the JDK's home
     * @return its JAVA_VERSION
     * @throws PackagerException when there is none
     * @throws IOException when the file cannot be read
     */
    static String jdkVersion(Path home) throws PackagerException, IOException {
        final Path release = home.resolve("release");
        if (!Files.isRegularFile(release)) {
            throw new PackagerException(home + " has jmods but no release file that gives their Java version");
        }
        final Properties properties = new Properties();
        try (InputStream in = Files.newInputStream(release)) {
            properties.load(in);
        }
        final String version = properties.getProperty("JAVA_VERSION", "").replace("\"", "").trim();
        if (feature(version) < 0) {
            throw new PackagerException(release + " gives no JAVA_VERSION");
        }
        return version;
    }

    /** @return {@code jlink --version}: the Java version of the JDK it belongs to */
    String jlinkVersion() throws PackagerException {
        final String[] lines = run(Arrays.asList(jlink.toString(), "--version")).trim().split("\\R");
        return lines[lines.length - 1].trim();
    }

    /**
     * The modules the application needs: what {@code jdeps --print-module-deps} finds in its jars, and the extra
     * ones, sorted.
     *
     * @param jars the application's jars, its dependencies among them
     * @param extra modules to add, such as {@code jdk.crypto.ec} or {@code jdk.localedata}, which no class names
     * @param feature the feature version of the runtime, for multi-release jars
     * @return the module names
     * @throws PackagerException when {@code jdeps} fails
     */
    List<String> modules(Collection<Path> jars, Collection<String> extra, int feature) throws PackagerException {
        final TreeSet<String> modules = new TreeSet<>(extra);
        modules.add("java.base");
        if (!jars.isEmpty()) {
            final List<String> command = new ArrayList<>(Arrays.asList(jdeps.toString(), "--print-module-deps",
                    "--ignore-missing-deps", "--multi-release", Integer.toString(feature)));
            for (Path jar : jars) {
                command.add(jar.toString());
            }
            // The list is the last line; warnings may come before it.
            final String[] lines = run(command).trim().split("\\R");
            for (String module : lines[lines.length - 1].split(",")) {
                if (!module.trim().isEmpty()) {
                    modules.add(module.trim());
                }
            }
        }
        return new ArrayList<>(modules);
    }

    /**
     * Checks that this {@code jlink} links the JDK's {@code jmods}: both are of the same feature version.
     *
     * @param jdkHome the JDK whose {@code jmods} are to be linked
     * @return the feature version of both
     * @throws PackagerException when they differ, naming both versions
     * @throws IOException when the JDK's release file cannot be read
     */
    int checkVersions(Path jdkHome) throws PackagerException, IOException {
        final String jmodsVersion = jdkVersion(jdkHome);
        final String jlinkVersion = jlinkVersion();
        if (feature(jlinkVersion) != feature(jmodsVersion)) {
            throw new PackagerException("jlink " + jlinkVersion + " (" + jlink + ") cannot link the jmods of Java "
                    + jmodsVersion + " (" + jdkHome.resolve("jmods") + "): a jlink of Java " + feature(jmodsVersion)
                    + " is needed");
        }
        return feature(jmodsVersion);
    }

    /**
     * Links the runtime; {@link #checkVersions} has taken the JDK.
     *
     * @param jdkHome the JDK whose {@code jmods} are linked
     * @param modules the modules to link (with all they require)
     * @param output where the runtime goes; it must not exist
     * @throws PackagerException when {@code jlink} fails
     */
    void link(Path jdkHome, Collection<String> modules, Path output) throws PackagerException {
        final List<String> command = new ArrayList<>(Arrays.asList(jlink.toString(), "--module-path",
                jdkHome.resolve("jmods").toString(), "--add-modules", String.join(",", modules)));
        command.addAll(TRIM);
        command.add("--output");
        command.add(output.toString());
        run(command);
    }

    // Runs a tool of the JDK and gives its output (standard output and error together).
    private static String run(List<String> command) throws PackagerException {
        final Process process;
        try {
            process = new ProcessBuilder(command).redirectErrorStream(true).start();
        } catch (IOException e) {
            throw new PackagerException("cannot run " + command.get(0) + ": " + e.getMessage(), e);
        }
        final ByteArrayOutputStream output = new ByteArrayOutputStream();
        try (InputStream in = process.getInputStream()) {
            final byte[] buffer = new byte[8192];
            for (int n; (n = in.read(buffer)) > 0;) {
                output.write(buffer, 0, n);
            }
            final int code = process.waitFor();
            final String text = new String(output.toByteArray(), StandardCharsets.UTF_8);
            if (code != 0) {
                throw new PackagerException(String.join(" ", command) + " failed with exit code " + code + ":"
                        + System.lineSeparator() + text.trim());
            }
            return text;
        } catch (IOException e) {
            throw new PackagerException("cannot read what " + command.get(0) + " writes: " + e.getMessage(), e);
        } catch (InterruptedException e) {
            process.destroy();
            Thread.currentThread().interrupt();
            throw new PackagerException(command.get(0) + " was interrupted", e);
        }
    }
}
