package org.ravelin.packager.runtime;

import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Objects;

/** What {@link BundledRuntime#lay} lays out, and where; made with {@link #builder}. */
public final class RuntimeOptions {
    private final Path program;
    private final Path runtime;
    private final Path properties;
    private final List<Path> jars;
    private final List<String> modules;
    private final boolean console;
    private final boolean fallback;
    private final boolean full;
    private final RuntimeLinker linker;

    private RuntimeOptions(Builder b) {
        program = Objects.requireNonNull(b.program, "program");
        runtime = Objects.requireNonNull(b.runtime, "runtime");
        properties = b.properties;
        jars = Collections.unmodifiableList(new ArrayList<>(b.jars));
        modules = Collections.unmodifiableList(new ArrayList<>(b.modules));
        console = b.console;
        fallback = b.fallback;
        full = b.full;
        linker = b.linker != null ? b.linker : RuntimeLinker.ofThisJdk();
    }

    /** @return a builder without settings */
    public static Builder builder() {
        return new Builder();
    }

    Path program() {
        return program;
    }

    Path runtime() {
        return runtime;
    }

    Path properties() {
        return properties;
    }

    List<Path> jars() {
        return jars;
    }

    List<String> modules() {
        return modules;
    }

    boolean console() {
        return console;
    }

    boolean fallback() {
        return fallback;
    }

    boolean full() {
        return full;
    }

    RuntimeLinker linker() {
        return linker;
    }

    /** Sets what {@link BundledRuntime#lay} does. */
    public static final class Builder {
        private Path program;
        private Path runtime;
        private Path properties;
        private final List<Path> jars = new ArrayList<>();
        private final List<String> modules = new ArrayList<>();
        private boolean console;
        private boolean fallback;
        private boolean full;
        private RuntimeLinker linker;

        private Builder() {}

        /**
         * @param folder the program's folder, which gets {@code runtime/}
         * @return this
         */
        public Builder program(Path folder) {
            program = folder;
            return this;
        }

        /**
         * @param folderOrZip a Windows Java runtime or JDK, as a folder or a zip
         * @return this
         */
        public Builder runtime(Path folderOrZip) {
            runtime = folderOrZip;
            return this;
        }

        /**
         * @param file the properties file that names the runtime; none leaves the settings alone
         * @return this
         */
        public Builder properties(Path file) {
            properties = file;
            return this;
        }

        /**
         * @param jar a jar of the application, whose modules the trimmed runtime holds
         * @return this
         */
        public Builder jar(Path jar) {
            jars.add(jar);
            return this;
        }

        /**
         * @param module a module the trimmed runtime holds besides those the jars need
         * @return this
         */
        public Builder module(String module) {
            modules.add(module);
            return this;
        }

        /**
         * @param value whether the launcher is the console twin, which starts java.exe
         * @return this
         */
        public Builder console(boolean value) {
            console = value;
            return this;
        }

        /**
         * @param value whether an installed Java may start the program when runtime/ is missing
         * @return this
         */
        public Builder fallback(boolean value) {
            fallback = value;
            return this;
        }

        /**
         * @param value whether a JDK with jmods is copied whole instead of trimmed
         * @return this
         */
        public Builder full(boolean value) {
            full = value;
            return this;
        }

        /**
         * @param value the jlink that trims (default: the one of the JDK the packager runs on)
         * @return this
         */
        public Builder linker(RuntimeLinker value) {
            linker = value;
            return this;
        }

        /** @return the options */
        public RuntimeOptions build() {
            return new RuntimeOptions(this);
        }
    }
}
