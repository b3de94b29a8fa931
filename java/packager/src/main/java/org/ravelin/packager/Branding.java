package org.ravelin.packager;

import java.nio.file.Path;

/**
 * What branding changes in a launcher: its icon, its version information and its manifest's settings. Immutable;
 * what is not set stays as in the input executable. Made by {@link #builder()}; applied by {@link Brander}.
 */
public final class Branding {
    private final Path icon;
    private final String productName;
    private final String fileDescription;
    private final String company;
    private final String copyright;
    private final String version;
    private final ExecutionLevel executionLevel;
    private final Boolean dpiAware;
    private final Boolean longPathAware;

    private Branding(Builder b) {
        icon = b.icon;
        productName = b.productName;
        fileDescription = b.fileDescription;
        company = b.company;
        copyright = b.copyright;
        version = b.version;
        executionLevel = b.executionLevel;
        dpiAware = b.dpiAware;
        longPathAware = b.longPathAware;
    }

    /**
     * Starts a branding that changes nothing yet.
     *
     * @return a new builder
     */
    public static Builder builder() {
        return new Builder();
    }

    /** @return the icon file ({@code .ico} or PNG), or {@code null} to keep the launcher's */
    public Path icon() {
        return icon;
    }

    /** @return the product name, or {@code null} to keep the launcher's */
    public String productName() {
        return productName;
    }

    /** @return the file description, or {@code null} to keep the launcher's */
    public String fileDescription() {
        return fileDescription;
    }

    /** @return the company name, or {@code null} to keep the launcher's */
    public String company() {
        return company;
    }

    /** @return the copyright text, or {@code null} to keep the launcher's */
    public String copyright() {
        return copyright;
    }

    /** @return the version as written, or {@code null} to keep the launcher's */
    public String version() {
        return version;
    }

    /** @return the requested execution level, or {@code null} to keep the launcher's */
    public ExecutionLevel executionLevel() {
        return executionLevel;
    }

    /** @return whether the manifest declares DPI awareness, or {@code null} to keep the launcher's setting */
    public Boolean dpiAware() {
        return dpiAware;
    }

    /** @return whether the manifest declares long-path awareness, or {@code null} to keep the launcher's setting */
    public Boolean longPathAware() {
        return longPathAware;
    }

    /** Collects a branding's settings; each setter replaces what an earlier call set. */
    public static final class Builder {
        private Path icon;
        private String productName;
        private String fileDescription;
        private String company;
        private String copyright;
        private String version;
        private ExecutionLevel executionLevel;
        private Boolean dpiAware;
        private Boolean longPathAware;

        private Builder() {}

        /**
         * Sets the icon: a {@code .ico} file (every image it holds is taken, PNG-compressed ones included) or a PNG
         * image of at most 256 by 256 pixels. It replaces the launcher's icon group.
         *
         * @param icoOrPng the icon file; read when branding
         * @return this builder
         */
        public Builder icon(Path icoOrPng) {
            icon = icoOrPng;
            return this;
        }

        /**
         * Sets the version information's {@code ProductName}.
         *
         * @param text the product name; no NUL
         * @return this builder
         */
        public Builder productName(String text) {
            productName = text;
            return this;
        }

        /**
         * Sets the version information's {@code FileDescription}, which Explorer and the task manager show.
         *
         * @param text the description; no NUL
         * @return this builder
         */
        public Builder fileDescription(String text) {
            fileDescription = text;
            return this;
        }

        /**
         * Sets the version information's {@code CompanyName}.
         *
         * @param text the company; no NUL
         * @return this builder
         */
        public Builder company(String text) {
            company = text;
            return this;
        }

        /**
         * Sets the version information's {@code LegalCopyright}.
         *
         * @param text the copyright notice; no NUL
         * @return this builder
         */
        public Builder copyright(String text) {
            copyright = text;
            return this;
        }

        /**
         * Sets the product and file version. A version as build tools write it ({@code 2.3.1}, {@code 2.3},
         * {@code 2.3.1-SNAPSHOT}, {@code 2024.05.1-rc2}): the numeric fields take its first four numbers (missing
         * ones 0, each at most 65535), the text fields keep it as written.
         *
         * @param text the version; it must start with a number
         * @return this builder
         */
        public Builder version(String text) {
            version = text;
            return this;
        }

        /**
         * Sets the execution level the manifest requests.
         *
         * @param level the level
         * @return this builder
         */
        public Builder executionLevel(ExecutionLevel level) {
            executionLevel = level;
            return this;
        }

        /**
         * Sets whether the manifest declares the program DPI-aware (drawn sharp, not scaled, on high-DPI screens).
         *
         * @param aware whether it is
         * @return this builder
         */
        public Builder dpiAware(boolean aware) {
            dpiAware = aware;
            return this;
        }

        /**
         * Sets whether the manifest declares the program aware of paths longer than 260 characters.
         *
         * @param aware whether it is
         * @return this builder
         */
        public Builder longPathAware(boolean aware) {
            longPathAware = aware;
            return this;
        }

        /**
         * Makes the branding. Nothing is checked here; {@link Brander#brand} checks the inputs.
         *
         * @return the branding
         */
        public Branding build() {
            return new Branding(this);
        }
    }
}
