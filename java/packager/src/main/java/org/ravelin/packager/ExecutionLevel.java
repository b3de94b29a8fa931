package org.ravelin.packager;

/** The execution level an executable's manifest requests ({@code requestedExecutionLevel}). */
public enum ExecutionLevel {
    /** Runs with the rights of whoever starts it: {@code asInvoker}, the launcher's own. */
    AS_INVOKER("asInvoker"),
    /** Runs with the highest rights its user can get: {@code highestAvailable}. */
    HIGHEST_AVAILABLE("highestAvailable"),
    /** Runs only as an administrator: {@code requireAdministrator}. */
    REQUIRE_ADMINISTRATOR("requireAdministrator");

    private final String manifestName;

    ExecutionLevel(String manifestName) {
        this.manifestName = manifestName;
    }

    /**
     * Gives the name the manifest uses.
     *
     * @return {@code asInvoker}, {@code highestAvailable} or {@code requireAdministrator}
     */
    public String manifestName() {
        return manifestName;
    }

    /**
     * Gives the level a manifest names.
     *
     * @param name {@code asInvoker}, {@code highestAvailable} or {@code requireAdministrator}, spelt exactly so
     * @return the level
     * @throws IllegalArgumentException if the name is none of those; the message names it
     */
    public static ExecutionLevel fromManifestName(String name) {
        for (ExecutionLevel level : values()) {
            if (level.manifestName.equals(name)) {
                return level;
            }
        }
        throw new IllegalArgumentException("unknown execution level " + name
                + " (asInvoker, highestAvailable or requireAdministrator)");
    }
}
