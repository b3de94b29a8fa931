package org.ravelin.packager.settings;

import java.util.Objects;

/** One key of the properties file: its name, its kind of value, the text read when it is absent and who reads it. */
public final class SettingKey {
    private final String name;
    private final Kind kind;
    private final String defaultValue;
    private final boolean readByLauncher;

    SettingKey(String name, Kind kind, String defaultValue, boolean readByLauncher) {
        this.name = Objects.requireNonNull(name, "name");
        this.kind = Objects.requireNonNull(kind, "kind");
        this.defaultValue = Objects.requireNonNull(defaultValue, "defaultValue");
        this.readByLauncher = readByLauncher;
    }

    /** @return the key as written in the properties file */
    public String name() {
        return name;
    }

    /** @return its kind of value */
    public Kind kind() {
        return kind;
    }

    /** @return the text the launcher reads when the key is absent (empty for most keys) */
    public String defaultValue() {
        return defaultValue;
    }

    /** @return true when the launcher reads the key, false when only the Java side library's ready main class does */
    public boolean isReadByLauncher() {
        return readByLauncher;
    }

    @Override
    public String toString() {
        return name + " (" + kind + ")";
    }

    /** The kinds of value, named as the settings reference table (docs/properties.md) names them. */
    public enum Kind {
        /** Any text. */
        TEXT("text"),
        /** A file or directory; a relative one counts from the properties file's directory. */
        PATH("path"),
        /** A Java class's binary name. */
        CLASS_NAME("class name"),
        /** ";"-separated class path entries, relative ones from the properties file's directory. */
        CLASS_PATH("class path"),
        /** The acceptable-VM tokens, separated by blanks. */
        TOKEN_LIST("token list"),
        /** A count of bytes with an optional final k or m, any case. */
        SIZE("size"),
        /** True for "true", "on" or "t", any case. */
        SWITCH("switch"),
        /** True for "true", "yes" or "on", any case. */
        PAUSE_SWITCH("pause switch"),
        /** A decimal number in 32 bits. */
        INTEGER("integer"),
        /** A decimal count of seconds, at most a day. */
        SECONDS("seconds"),
        /** "demand", "auto" or "delayed", any case. */
        SERVICE_START("service start"),
        /** The account the installed service runs as. */
        SERVICE_ACCOUNT("service account"),
        /** ";"-separated services and +groups the installed service needs. */
        SERVICE_DEPENDENCIES("service dependencies"),
        /** An https:// or http:// address. */
        WEB_ADDRESS("web address");

        private final String word;

        Kind(String word) {
            this.word = word;
        }

        /** @return the kind's name in the key table and the settings reference */
        public String word() {
            return word;
        }

        /**
         * @param word a kind's name in the key table
         * @return the kind of that name
         * @throws IllegalArgumentException for a name of no kind
         */
        public static Kind of(String word) {
            for (Kind kind : values()) {
                if (kind.word.equals(word)) {
                    return kind;
                }
            }
            throw new IllegalArgumentException("no kind of value is called \"" + word + "\"");
        }

        @Override
        public String toString() {
            return word;
        }
    }
}
