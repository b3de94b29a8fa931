package org.ravelin.packager.installer;

import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.UUID;

import org.ravelin.packager.PackagerException;
import org.ravelin.packager.VersionText;
import org.ravelin.packager.settings.ServiceSettings;

/**
 * What a Windows Installer package of a program installs: the program's folder ({@code NAME.exe}, {@code NAME.qel},
 * {@code lib/}, the runtime when one is bundled, the application's own files) under {@code Program Files\NAME} (per
 * machine) or the user's {@code AppData\Local\Programs\NAME} (per user), a Start menu shortcut, an entry in Programs
 * and Features, optionally a desktop shortcut, file associations and the launcher's service. Its identifiers are
 * derived from the upgrade code, the version and the paths, so the same inputs give the same package.
 */
public final class Installer {
    private final Path folder;
    private final String name;
    private final String version;
    private final int[] msiVersion;
    private final String manufacturer;
    private final String description;
    private final UUID upgradeCode;
    private final boolean perUser;
    private final boolean desktopShortcut;
    private final List<String> associations;
    private final ServiceSettings service;
    private final long epochSeconds;

    private Installer(Builder b, int[] msiVersion) {
        this.folder = b.folder;
        this.name = b.name;
        this.version = b.version;
        this.msiVersion = msiVersion;
        this.manufacturer = b.manufacturer == null || b.manufacturer.isEmpty() ? b.name : b.manufacturer;
        this.description = b.description;
        this.upgradeCode = b.upgradeCode;
        this.perUser = b.perUser;
        this.desktopShortcut = b.desktopShortcut;
        this.associations = Collections.unmodifiableList(new ArrayList<>(b.associations));
        this.service = b.service;
        this.epochSeconds = b.epochSeconds;
    }

    private Installer(Installer other, Path folder) {
        this.folder = folder;
        this.name = other.name;
        this.version = other.version;
        this.msiVersion = other.msiVersion;
        this.manufacturer = other.manufacturer;
        this.description = other.description;
        this.upgradeCode = other.upgradeCode;
        this.perUser = other.perUser;
        this.desktopShortcut = other.desktopShortcut;
        this.associations = other.associations;
        this.service = other.service;
        this.epochSeconds = other.epochSeconds;
    }

    /** The same package of the same files in another folder (a copy that carries the build's time). */
    Installer withFolder(Path copy) {
        return new Installer(this, copy);
    }

    /** @return a builder */
    public static Builder builder() {
        return new Builder();
    }

    /**
     * The upgrade code of a project: the same for every version of it, so that a newer version replaces an older
     * one. A name-based UUID of the seed (Maven's {@code groupId:artifactId}).
     *
     * @param seed what names the project
     * @return its upgrade code
     */
    public static UUID upgradeCodeOf(String seed) {
        return UUID.nameUUIDFromBytes(("ravelin installer upgrade code " + seed).getBytes(StandardCharsets.UTF_8));
    }

    /**
     * The Windows Installer's version of a version as build tools write it: its first three numbers
     * ({@code 2.3.1-SNAPSHOT} is 2.3.1, {@code 2.3} is 2.3.0), the first two at most 255, the third at most 65535,
     * as the Windows Installer compares versions.
     *
     * @param version the version text
     * @return its three numbers
     * @throws PackagerException when it does not start with a number or a number is too large
     */
    static int[] msiVersion(String version) throws PackagerException {
        final List<String> numbers = VersionText.leadingNumbers(version, 3);
        if (numbers.isEmpty()) {
            throw new PackagerException("--version: \"" + version + "\" does not start with a number");
        }
        final int[] out = new int[3];
        for (int n = 0; n < numbers.size(); n++) {
            out[n] = VersionText.valueWithin(numbers.get(n), n < 2 ? 255 : 65535);
            if (out[n] < 0) {
                throw new PackagerException("--version: \"" + version + "\" holds the number " + numbers.get(n)
                        + "; a Windows Installer version takes at most 255 in its first two numbers and 65535 in its"
                        + " third");
            }
        }
        return out;
    }

    Path folder() {
        return folder;
    }

    String name() {
        return name;
    }

    String version() {
        return version;
    }

    /** @return the version as the package carries it, such as 2.3.1 */
    public String msiVersionText() {
        return msiVersion[0] + "." + msiVersion[1] + "." + msiVersion[2];
    }

    String manufacturer() {
        return manufacturer;
    }

    String description() {
        return description;
    }

    UUID upgradeCode() {
        return upgradeCode;
    }

    boolean perUser() {
        return perUser;
    }

    boolean desktopShortcut() {
        return desktopShortcut;
    }

    List<String> associations() {
        return associations;
    }

    ServiceSettings service() {
        return service;
    }

    long epochSeconds() {
        return epochSeconds;
    }

    /** A name-based identifier of this package's, from the upgrade code and what it identifies. */
    UUID derived(String what) {
        return UUID.nameUUIDFromBytes((upgradeCode + " " + what).getBytes(StandardCharsets.UTF_8));
    }

    /** @return the product code: one per version and scope, so each version is a new product */
    public UUID productCode() {
        return derived("product " + msiVersionText() + (perUser ? " per user" : " per machine"));
    }

    /** @return the package code, which the summary information carries */
    public UUID packageCode() {
        return derived("package " + version + (perUser ? " per user" : " per machine"));
    }

    /** Collects a package's inputs and checks them. */
    public static final class Builder {
        private Path folder;
        private String name;
        private String version;
        private String manufacturer;
        private String description;
        private UUID upgradeCode;
        private boolean perUser;
        private boolean desktopShortcut;
        private final List<String> associations = new ArrayList<>();
        private ServiceSettings service;
        private long epochSeconds = 315532800L; // 1980-01-01, the zip format's first day, as the plug-in's zip

        private Builder() {}

        /**
         * @param programFolder the program's folder, holding NAME.exe
         * @return this
         */
        public Builder folder(Path programFolder) {
            this.folder = programFolder;
            return this;
        }

        /**
         * @param programName the program's name: NAME.exe, the folder it installs into, the shortcut
         * @return this
         */
        public Builder name(String programName) {
            this.name = programName;
            return this;
        }

        /**
         * @param text the version, such as 2.3.1-SNAPSHOT
         * @return this
         */
        public Builder version(String text) {
            this.version = text;
            return this;
        }

        /**
         * @param publisher the publisher Programs and Features shows; the name when not given
         * @return this
         */
        public Builder manufacturer(String publisher) {
            this.manufacturer = publisher;
            return this;
        }

        /**
         * @param text a description for Programs and Features
         * @return this
         */
        public Builder description(String text) {
            this.description = text;
            return this;
        }

        /**
         * @param code the upgrade code, the same for every version of the program
         * @return this
         */
        public Builder upgradeCode(UUID code) {
            this.upgradeCode = code;
            return this;
        }

        /**
         * @param user whether it installs for the user alone, without administrator rights
         * @return this
         */
        public Builder perUser(boolean user) {
            this.perUser = user;
            return this;
        }

        /**
         * @param desktop whether it puts a shortcut on the desktop too
         * @return this
         */
        public Builder desktopShortcut(boolean desktop) {
            this.desktopShortcut = desktop;
            return this;
        }

        /**
         * @param extension a file extension (".shop" or "shop") that opens with the program
         * @return this
         */
        public Builder associate(String extension) {
            this.associations.add(extension.startsWith(".") ? extension.substring(1) : extension);
            return this;
        }

        /**
         * @param settings the service it installs, starts and removes; null for none
         * @return this
         */
        public Builder service(ServiceSettings settings) {
            this.service = settings;
            return this;
        }

        /**
         * @param seconds the time the package's dates carry, in seconds since 1970
         * @return this
         */
        public Builder epochSeconds(long seconds) {
            this.epochSeconds = seconds;
            return this;
        }

        /**
         * Checks the inputs, before anything is written.
         *
         * @return the package's description
         * @throws PackagerException naming the input refused
         */
        public Installer build() throws PackagerException {
            if (folder == null || name == null || version == null || upgradeCode == null) {
                throw new PackagerException(folder == null ? "--folder is missing" : name == null
                        ? "--name is missing" : version == null ? "--version is missing"
                        : "--upgrade-code or --upgrade-seed is missing");
            }
            if (name.isEmpty() || name.matches(".*[\\\\/:*?\"<>|\\x00-\\x1f].*") || name.endsWith(".")
                    || name.endsWith(" ")) {
                throw new PackagerException("--name: \"" + name + "\" cannot be a Windows file name");
            }
            if (!java.nio.file.Files.isRegularFile(folder.resolve(name + ".exe"))) {
                throw new PackagerException("--folder: " + folder + " holds no " + name + ".exe");
            }
            for (String extension : associations) {
                if (!extension.matches("[A-Za-z0-9_-]{1,32}")) {
                    throw new PackagerException("--associate: \"" + extension + "\" is not a file extension");
                }
            }
            if (service != null && service.accountNeedsPassword()) {
                throw new PackagerException("qel.service.account: the service runs as the user "
                        + service.account() + ", whose password a package cannot carry; install it with"
                        + " -kwqelinstall --password-env, or run it as LocalSystem, LocalService, NetworkService or"
                        + " NT SERVICE\\" + service.name());
            }
            return new Installer(this, msiVersion(version));
        }
    }
}
