package org.ravelin.maven;

import java.io.File;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import java.util.UUID;

import org.apache.maven.plugin.AbstractMojo;
import org.apache.maven.plugin.MojoExecutionException;
import org.apache.maven.plugin.MojoFailureException;
import org.apache.maven.plugins.annotations.LifecyclePhase;
import org.apache.maven.plugins.annotations.Mojo;
import org.apache.maven.plugins.annotations.Parameter;
import org.apache.maven.project.MavenProject;
import org.ravelin.packager.PackagerException;
import org.ravelin.packager.installer.Installer;
import org.ravelin.packager.installer.InstallerBuilder;
import org.ravelin.packager.settings.ServiceSettings;
import org.ravelin.packager.settings.SettingsFile;

/**
 * Makes a Windows Installer package of the program that {@code ravelin:package} wrote, in the package phase after
 * it: {@code target/NAME-VERSION.msi}, which installs the program's folder into {@code Program Files\NAME} (or the
 * user's own folder), with a Start menu shortcut, an entry in Programs and Features, optionally file associations
 * and the launcher's service. Built with msitools' {@code wixl} on Linux and macOS and the WiX toolset on Windows.
 */
@Mojo(name = "installer", defaultPhase = LifecyclePhase.PACKAGE, threadSafe = true)
public final class InstallerMojo extends AbstractMojo {
    @Parameter(defaultValue = "${project}", readonly = true, required = true)
    private MavenProject project;

    /** The program's name, as {@code ravelin:package} has it: its folder {@code target/NAME/} is packed. */
    @Parameter(property = "ravelin.name", defaultValue = "${project.artifactId}", required = true)
    private String name;

    /** The version; the package takes its first three numbers ({@code 2.3.1-SNAPSHOT} is 2.3.1). */
    @Parameter(property = "ravelin.appVersion", defaultValue = "${project.version}", required = true)
    private String version;

    /** The publisher Programs and Features shows; the name when not set. */
    @Parameter(property = "ravelin.vendor", defaultValue = "${project.organization.name}")
    private String vendor;

    /** The comment Programs and Features shows. */
    @Parameter(property = "ravelin.description", defaultValue = "${project.description}")
    private String description;

    /**
     * The upgrade code, the same for every version, so that a newer version replaces an older one; derived from
     * {@code groupId:artifactId} when not set.
     */
    @Parameter(property = "ravelin.upgradeCode")
    private String upgradeCode;

    /** Install for the user alone, without administrator rights, into {@code AppData\Local\Programs\NAME}. */
    @Parameter(property = "ravelin.perUser", defaultValue = "false")
    private boolean perUser;

    /** A shortcut on the desktop too. */
    @Parameter(property = "ravelin.desktopShortcut", defaultValue = "false")
    private boolean desktopShortcut;

    /** File extensions ({@code .shopdoc}) whose files open with the program. */
    @Parameter
    private List<String> fileAssociations;

    /**
     * The launcher's service the package installs, starts when it starts with Windows, and removes at uninstall,
     * with the settings of {@code NAME.qel} as {@code -kwqelinstall} reads them.
     */
    @Parameter(property = "ravelin.service")
    private String service;

    /** Where the program's folder is and the package goes. */
    @Parameter(defaultValue = "${project.build.directory}", required = true)
    private File outputDirectory;

    /** The package's dates (ISO 8601 or seconds since 1970); SOURCE_DATE_EPOCH, else 1980-01-01, when not set. */
    @Parameter(defaultValue = "${project.build.outputTimestamp}")
    private String outputTimestamp;

    /** Skip the goal. */
    @Parameter(property = "ravelin.skip", defaultValue = "false")
    private boolean skip;

    @Override
    public void execute() throws MojoExecutionException, MojoFailureException {
        if (skip) {
            getLog().info("ravelin:installer skipped");
            return;
        }
        final String nameProblem = FileNames.problem(name);
        if (nameProblem != null) {
            throw new MojoFailureException("<name> \"" + name + "\" " + nameProblem);
        }
        final Path folder = outputDirectory.toPath().resolve(name);
        if (!Files.isRegularFile(folder.resolve(name + ".exe"))) {
            throw new MojoFailureException("<name>: " + folder + " holds no " + name + ".exe: name the goal package"
                    + " before installer (both run in the package phase, in the order named)");
        }
        final Installer.Builder builder = Installer.builder().folder(folder).name(name).version(version)
                .manufacturer(vendor).description(description).perUser(perUser).desktopShortcut(desktopShortcut)
                .epochSeconds(epochSeconds());
        try {
            builder.upgradeCode(upgradeCode == null || upgradeCode.trim().isEmpty()
                    ? Installer.upgradeCodeOf(project.getGroupId() + ":" + project.getArtifactId())
                    : UUID.fromString(upgradeCode.trim().replaceAll("^\\{|\\}$", "")));
        } catch (IllegalArgumentException e) {
            throw new MojoFailureException("<upgradeCode>: " + upgradeCode + " is no UUID such as"
                    + " 6B29FC40-CA47-1067-B31D-00DD010662DA");
        }
        if (fileAssociations != null) {
            for (String extension : fileAssociations) {
                builder.associate(extension.trim());
            }
        }
        final Installer installer;
        try {
            if (service != null && !service.trim().isEmpty()) {
                final Map<String, String> settings = SettingsFile.read(folder.resolve(name + ".qel"));
                try {
                    builder.service(ServiceSettings.read(settings, service.trim()));
                } catch (IllegalArgumentException e) {
                    throw new MojoFailureException("<service>: " + name + ".qel: " + e.getMessage());
                }
            }
            installer = builder.build();
        } catch (IOException e) {
            throw new MojoExecutionException("cannot read " + folder.resolve(name + ".qel") + ": " + e.getMessage(), e);
        } catch (PackagerException e) {
            throw new MojoFailureException(parameterOf(e.getMessage()));
        }
        final Path msi = outputDirectory.toPath().resolve(name + "-" + version + ".msi");
        try {
            InstallerBuilder.build(installer, msi, new java.io.PrintStream(new LogStream(), true, "UTF-8"));
        } catch (PackagerException | IOException e) {
            throw new MojoExecutionException("the Windows Installer package " + msi + " could not be built: "
                    + e.getMessage(), e);
        }
    }

    // The packager names its command's options; a Maven user reads the parameters.
    private static String parameterOf(String message) {
        final String[][] names = {{"--version:", "<version>:"}, {"--name:", "<name>:"},
            {"--associate:", "<fileAssociations>:"}, {"--folder:", "<name>:"}, {"qel.service.", "<service>: qel.service."}};
        for (String[] pair : names) {
            if (message.startsWith(pair[0])) {
                return pair[1] + message.substring(pair[0].length());
            }
        }
        return message;
    }

    // The build's time, as the program's zip takes it; SOURCE_DATE_EPOCH where the project sets none (a one-character
    // outputTimestamp is Maven's way of setting none).
    private long epochSeconds() throws MojoFailureException {
        final String text = outputTimestamp != null && outputTimestamp.trim().length() > 1 ? outputTimestamp
                : System.getenv("SOURCE_DATE_EPOCH");
        try {
            return Zips.instant(text).getEpochSecond();
        } catch (IllegalArgumentException e) {
            throw new MojoFailureException("project.build.outputTimestamp: " + e.getMessage());
        }
    }

    // The packager's line about what it built, into the build's log.
    private final class LogStream extends java.io.OutputStream {
        private final java.io.ByteArrayOutputStream line = new java.io.ByteArrayOutputStream();

        @Override
        public void write(int b) {
            if (b == '\n') {
                getLog().info(new String(line.toByteArray(), java.nio.charset.StandardCharsets.UTF_8));
                line.reset();
            } else {
                line.write(b);
            }
        }
    }
}
