package org.ravelin.maven;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Set;
import java.util.stream.Stream;

import org.apache.maven.artifact.Artifact;
import org.apache.maven.plugin.AbstractMojo;
import org.apache.maven.plugin.MojoExecutionException;
import org.apache.maven.plugin.MojoFailureException;
import org.apache.maven.plugin.descriptor.PluginDescriptor;
import org.apache.maven.plugins.annotations.Component;
import org.apache.maven.plugins.annotations.LifecyclePhase;
import org.apache.maven.plugins.annotations.Mojo;
import org.apache.maven.plugins.annotations.Parameter;
import org.apache.maven.plugins.annotations.ResolutionScope;
import org.apache.maven.project.MavenProject;
import org.ravelin.packager.Brander;
import org.ravelin.packager.Branding;
import org.ravelin.packager.ExecutionLevel;
import org.ravelin.packager.FileTrees;
import org.ravelin.packager.PackagerException;
import org.ravelin.packager.settings.Finding;
import org.ravelin.packager.settings.SettingsCheck;
import org.ravelin.packager.settings.SettingsFile;

/**
 * Makes the application's Windows program in the package phase: writes {@code target/NAME/} with the application's
 * own launcher {@code NAME.exe} (branded with its name, icon, version, vendor and description), its properties file
 * {@code NAME.qel}, the application's own files, and in {@code lib/} the project's jar, its runtime dependencies and
 * the Java side's library; checks the settings with the launcher's rules and packs the folder into
 * {@code target/NAME.zip}, ready to unpack and run on Windows. The launcher comes with this plug-in, of its own
 * version: the build downloads nothing else.
 *
 * <p>Every parameter is checked before anything is written; the program is put together in a folder of its own and
 * replaces {@code target/NAME/} only when it is complete, and the goal replaces only a folder it wrote itself.
 */
@Mojo(name = "package", defaultPhase = LifecyclePhase.PACKAGE, requiresDependencyResolution = ResolutionScope.RUNTIME,
        threadSafe = true)
public final class PackageMojo extends AbstractMojo {
    static final String READY_MAIN_CLASS = "org.ravelin.launcher.RavelinMain";
    static final String LIBRARY_JAR = "ravelin-java.jar";
    static final String LIBRARY_ARTIFACT = "org.ravelin:ravelin-launcher";
    /** The folder below the output directory where the program is put together before it replaces the last one. */
    static final String STAGING = "ravelin-package.tmp";

    @Parameter(defaultValue = "${project}", readonly = true, required = true)
    private MavenProject project;

    @Parameter(defaultValue = "${plugin}", readonly = true, required = true)
    private PluginDescriptor plugin;

    /**
     * The program's name: {@code NAME.exe}, {@code NAME.qel}, the folder and the zip. One Windows file name: no path
     * separator, no {@code ..}, no device name such as {@code CON}, none of {@code < > : " / \ | ? *}.
     */
    @Parameter(property = "ravelin.name", defaultValue = "${project.artifactId}", required = true)
    private String name;

    /** An {@code .ico} file (every image) or a PNG of at most 256 pixels; the launcher's own icon when not set. */
    @Parameter(property = "ravelin.icon")
    private File icon;

    /**
     * The version the program shows; {@code 2.3.1-SNAPSHOT} gives 2.3.1.0 in the numbers and stays as written in the
     * texts.
     */
    @Parameter(property = "ravelin.appVersion", defaultValue = "${project.version}", required = true)
    private String version;

    /** The company the program shows. */
    @Parameter(property = "ravelin.vendor", defaultValue = "${project.organization.name}")
    private String vendor;

    /** The file description the program shows (Task Manager's name for it); the name when not set. */
    @Parameter(property = "ravelin.description", defaultValue = "${project.description}")
    private String description;

    /** The copyright the program shows. */
    @Parameter(property = "ravelin.copyright")
    private String copyright;

    /** The application's class with its {@code main}, started by the ready main class. */
    @Parameter(property = "ravelin.mainClass")
    private String mainClass;

    /** Further settings of {@code NAME.qel}, by key; they may replace the plug-in's own. */
    @Parameter
    private Map<String, String> settings;

    /** Brand the console twin instead, for a program run from a command prompt. */
    @Parameter(property = "ravelin.console", defaultValue = "false")
    private boolean console;

    /** The execution level of the program's manifest: asInvoker, highestAvailable or requireAdministrator. */
    @Parameter(property = "ravelin.executionLevel", defaultValue = "asInvoker", required = true)
    private String executionLevel;

    /** Runtime dependencies left out of {@code lib/}, as {@code groupId:artifactId}. */
    @Parameter
    private List<String> excludes;

    /**
     * A folder of the application's own files (configuration, licences, an empty {@code logs/}), copied into the
     * program's folder and the zip as they lie; none when it does not exist.
     */
    @Parameter(property = "ravelin.applicationFiles", defaultValue = "${project.basedir}/src/main/ravelin")
    private File applicationFiles;

    /**
     * Signs the program's executable before it is zipped: {@code <keystore>} (PKCS#12) and {@code <storepass>}, or
     * {@code <pkcs11Module>}, {@code <pkcs11Certificate>} and {@code <key>} for a token; {@code <timestampServer>}
     * (RFC 3161); {@code <tool>}, osslsigncode when not set. Not signed when not set.
     */
    @Parameter
    private Signing signing;

    /** Where the folder and the zip go. */
    @Parameter(defaultValue = "${project.build.directory}", required = true)
    private File outputDirectory;

    /** The time of the zip's entries (ISO 8601 or seconds since 1970); 1980-01-01 when not set. */
    @Parameter(defaultValue = "${project.build.outputTimestamp}")
    private String outputTimestamp;

    /** Skip the goal. */
    @Parameter(property = "ravelin.skip", defaultValue = "false")
    private boolean skip;

    /**
     * A Windows Java runtime or JDK laid into the folder as {@code runtime/} and named in the settings: a folder, a
     * zip, or {@code groupId:artifactId:version[:classifier]} of a zip in the project's repositories; a JDK with
     * {@code jmods} is trimmed to the modules the application's jars need.
     */
    @Parameter(property = "ravelin.runtime")
    private String runtime;

    /** Modules the trimmed runtime holds besides those the jars need (jdk.crypto.ec, jdk.localedata, ...). */
    @Parameter
    private List<String> runtimeModules;

    @Component
    private org.eclipse.aether.RepositorySystem repositorySystem;

    @Parameter(defaultValue = "${repositorySystemSession}", readonly = true, required = true)
    private org.eclipse.aether.RepositorySystemSession repositorySession;

    @Parameter(defaultValue = "${project.remoteProjectRepositories}", readonly = true, required = true)
    private List<org.eclipse.aether.repository.RemoteRepository> remoteRepositories;

    @Override
    public void execute() throws MojoExecutionException, MojoFailureException {
        if (skip) {
            getLog().info("ravelin:package skipped");
            return;
        }
        final Checked checked = check();
        final Path target = outputDirectory.toPath();
        final Path folder = target.resolve(name);
        final Path zip = target.resolve(name + ".zip");
        final Path staging = target.resolve(STAGING);
        try {
            Files.createDirectories(target);
            refuseForeign(folder);
            FileTrees.delete(staging);
            final Path program = staging.resolve(name);
            Files.createDirectories(program);
            stage(program, checked);
            FileTrees.delete(folder);
            Files.move(program, folder);
            FileTrees.delete(staging);
            Zips.write(folder, name, zip, checked.entryTime);
            getLog().info("Ravelin: " + folder + " and " + zip);
        } catch (IOException e) {
            throw new MojoExecutionException("cannot write " + folder + ": " + e, e);
        } finally {
            try {
                FileTrees.delete(staging);
            } catch (IOException e) {
                getLog().warn("cannot remove " + staging + ": " + e);
            }
        }
    }

    /** What the parameters give once checked. */
    private static final class Checked {
        ExecutionLevel executionLevel;
        long entryTime;
    }

    // Every parameter that can be checked on its own, before anything is written; the failure names the parameter.
    private Checked check() throws MojoFailureException {
        final String nameProblem = FileNames.problem(name);
        if (nameProblem != null) {
            throw new MojoFailureException("<name> \"" + name + "\" " + nameProblem);
        }
        final Checked checked = new Checked();
        try {
            checked.executionLevel = ExecutionLevel.fromManifestName(executionLevel);
        } catch (IllegalArgumentException e) {
            throw new MojoFailureException("<executionLevel> \"" + executionLevel + "\" is none of asInvoker,"
                    + " highestAvailable, requireAdministrator");
        }
        try {
            checked.entryTime = Zips.entryTime(outputTimestamp);
        } catch (IllegalArgumentException e) {
            throw new MojoFailureException("project.build.outputTimestamp " + e.getMessage());
        }
        if (icon != null && !icon.isFile()) {
            throw new MojoFailureException("<icon> " + icon + " is not a file");
        }
        if (applicationFiles != null && applicationFiles.exists() && !applicationFiles.isDirectory()) {
            throw new MojoFailureException("<applicationFiles> " + applicationFiles + " is not a folder");
        }
        if (settings != null) {
            for (Map.Entry<String, String> setting : settings.entrySet()) {
                if (setting.getKey().trim().isEmpty()) {
                    throw new MojoFailureException("<settings> holds an empty key");
                }
            }
        }
        if (signing != null && signing.problem() != null) {
            throw new MojoFailureException("<signing> " + signing.problem());
        }
        final File own = project.getArtifact().getFile();
        if (own == null || !own.isFile()) {
            throw new MojoFailureException("the project's jar is not built yet: bind ravelin:package to the package"
                    + " phase, after the jar plug-in");
        }
        return checked;
    }

    // The program, put together in its folder: each step writes its files, and refuses to replace one that another
    // step wrote.
    private void stage(Path program, Checked checked) throws IOException, MojoExecutionException,
            MojoFailureException {
        final Set<String> written = new HashSet<>();
        brand(program, claim(program, name + ".exe", written), checked);
        final List<String> classPath = copyJars(program, written);
        copyApplicationFiles(program, written);
        final Map<String, String> properties = properties(classPath);
        if (runtime != null && !runtime.trim().isEmpty()) {
            RuntimeStep.lay(RuntimeStep.locate(runtime, project.getBasedir().toPath(),
                    new RuntimeStep.Repositories(repositorySystem, repositorySession, remoteRepositories)),
                    runtimeModules, program, classPath, console, properties, settings, getLog());
        }
        final List<Finding> findings = SettingsCheck.check(properties, program);
        if (!findings.isEmpty()) {
            // Each finding says what the launcher makes of its setting: refused, read otherwise than written, or
            // not read at all.
            final StringBuilder text = new StringBuilder("<settings>: the launcher would not read the settings of "
                    + name + ".qel as written:");
            for (Finding finding : findings) {
                text.append(System.lineSeparator()).append("  ").append(finding);
            }
            throw new MojoFailureException(text.toString());
        }
        SettingsFile.write(properties, claim(program, name + ".qel", written));
        if (signing != null) {
            Signer.sign(signing, program.resolve(name + ".exe"), name, getLog());
        }
    }

    // A file of the program, which no earlier step wrote; Windows does not tell names apart by case.
    private Path claim(Path program, String relative, Set<String> written) throws MojoFailureException {
        if (!written.add(relative.toLowerCase(Locale.ROOT))) {
            throw new MojoFailureException(relative + " would be written twice into " + name + "/: rename the jar"
                    + " or the application's file (<applicationFiles>) that clashes");
        }
        return program.resolve(relative);
    }

    // The project's jar, its runtime dependencies (but the excluded ones) and the Java side's library, into lib;
    // their class path entries, in that order.
    private List<String> copyJars(Path program, Set<String> written) throws IOException, MojoExecutionException,
            MojoFailureException {
        final Path lib = program.resolve("lib");
        Files.createDirectories(lib);
        final List<String> classPath = new ArrayList<>();
        classPath.add(copyJar(project.getArtifact().getFile().toPath(), program, written));
        boolean library = false;
        final List<Artifact> artifacts = new ArrayList<>(project.getArtifacts());
        Collections.sort(artifacts, (a, b) -> a.getId().compareTo(b.getId()));
        for (Artifact artifact : artifacts) {
            final String scope = artifact.getScope();
            if (!(Artifact.SCOPE_COMPILE.equals(scope) || Artifact.SCOPE_RUNTIME.equals(scope))
                    || !"jar".equals(artifact.getType()) || excluded(artifact)) {
                continue;
            }
            library |= LIBRARY_ARTIFACT.equals(artifact.getGroupId() + ":" + artifact.getArtifactId());
            classPath.add(copyJar(artifact.getFile().toPath(), program, written));
        }
        if (!library) {
            final Artifact carried = plugin.getArtifactMap().get(LIBRARY_ARTIFACT);
            if (carried == null || carried.getFile() == null || !carried.getFile().isFile()) {
                throw new MojoExecutionException("the plug-in's own " + LIBRARY_ARTIFACT + " was not resolved");
            }
            Files.copy(carried.getFile().toPath(), claim(program, "lib/" + LIBRARY_JAR, written));
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

    private String copyJar(Path jar, Path program, Set<String> written) throws IOException, MojoFailureException {
        final String entry = "lib/" + jar.getFileName();
        Files.copy(jar, claim(program, entry, written));
        return entry;
    }

    // The application's own files, as they lie; an empty folder stays (logs/).
    private void copyApplicationFiles(Path program, Set<String> written) throws IOException, MojoFailureException {
        if (applicationFiles == null || !applicationFiles.isDirectory()) {
            return;
        }
        final Path from = applicationFiles.toPath();
        final List<Path> paths = new ArrayList<>();
        try (Stream<Path> walk = Files.walk(from)) {
            walk.forEach(paths::add);
        }
        Collections.sort(paths);
        for (Path path : paths) {
            final String relative = from.relativize(path).toString().replace(File.separatorChar, '/');
            if (relative.isEmpty()) {
                continue;
            }
            for (String part : relative.split("/")) {
                final String problem = FileNames.problem(part);
                if (problem != null) {
                    throw new MojoFailureException("<applicationFiles> " + path + ": \"" + part + "\" " + problem);
                }
            }
            if (Files.isDirectory(path)) {
                Files.createDirectories(program.resolve(relative));
            } else {
                Files.copy(path, claim(program, relative, written));
            }
        }
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

    // Each text of the program and the parameter it comes from, so that a refusal names the parameter.
    private List<BrandingPart> brandingParts(ExecutionLevel level) {
        final List<BrandingPart> parts = new ArrayList<>();
        parts.add(new BrandingPart("<name>", b -> b.productName(name)));
        parts.add(new BrandingPart("<version>", b -> b.version(version)));
        parts.add(new BrandingPart(description != null ? "<description>" : "<name>",
                b -> b.fileDescription(description != null ? description : name)));
        if (vendor != null) {
            parts.add(new BrandingPart("<vendor>", b -> b.company(vendor)));
        }
        if (copyright != null) {
            parts.add(new BrandingPart("<copyright>", b -> b.copyright(copyright)));
        }
        if (icon != null) {
            parts.add(new BrandingPart("<icon>", b -> b.icon(icon.toPath())));
        }
        parts.add(new BrandingPart("<executionLevel>", b -> b.executionLevel(level)));
        return parts;
    }

    private static final class BrandingPart {
        final String parameter;
        final java.util.function.Consumer<Branding.Builder> apply;

        BrandingPart(String parameter, java.util.function.Consumer<Branding.Builder> apply) {
            this.parameter = parameter;
            this.apply = apply;
        }
    }

    private void brand(Path program, Path executable, Checked checked) throws IOException, MojoExecutionException,
            MojoFailureException {
        final Path launcher = program.resolve(name + ".exe.launcher");
        final String carried = console ? "ravelinc.exe" : "ravelin.exe";
        try (InputStream in = PackageMojo.class.getResourceAsStream(carried)) {
            if (in == null) {
                throw new MojoExecutionException("the plug-in carries no " + carried + ": it was built without the"
                        + " launcher (ravelin.executables)");
            }
            Files.copy(in, launcher);
        }
        final List<BrandingPart> parts = brandingParts(checked.executionLevel);
        try {
            final Branding.Builder all = Branding.builder();
            for (BrandingPart part : parts) {
                part.apply.accept(all);
            }
            Brander.brand(launcher, executable, all.build());
        } catch (PackagerException | RuntimeException e) {
            // Which parameter: the first one that the packager refuses alone.
            for (BrandingPart part : parts) {
                final Branding.Builder alone = Branding.builder();
                try {
                    part.apply.accept(alone);
                    Brander.brand(launcher, executable, alone.build());
                } catch (PackagerException | RuntimeException refused) {
                    throw new MojoFailureException(part.parameter + ": " + refused.getMessage(), refused);
                }
            }
            if (e instanceof PackagerException) {
                throw new MojoFailureException(e.getMessage(), e);
            }
            throw new MojoExecutionException("the packager failed: " + e, e);
        } finally {
            Files.deleteIfExists(launcher);
        }
    }

    // The program's folder of an earlier run may be replaced; anything else by that name is not the goal's to delete.
    private void refuseForeign(Path folder) throws MojoFailureException {
        if (!Files.exists(folder)) {
            return;
        }
        if (!Files.isDirectory(folder) || !Files.isRegularFile(folder.resolve(name + ".exe"))
                || !Files.isRegularFile(folder.resolve(name + ".qel"))) {
            throw new MojoFailureException("<name>: " + folder + " exists and is not a program folder this goal"
                    + " wrote (no " + name + ".exe and " + name + ".qel in it): remove it or choose another name");
        }
    }
}
