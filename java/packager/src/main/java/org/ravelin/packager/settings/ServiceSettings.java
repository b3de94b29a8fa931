package org.ravelin.packager.settings;

import java.util.Collections;
import java.util.List;
import java.util.Map;
import java.util.Optional;

/**
 * How a properties file asks its service to be installed, read with the launcher's rules for
 * {@code -kwqelinstall}: the display name, description, start, account, dependencies and restart delay. A build
 * that installs the service another way (an installer package) installs it as the launcher would.
 */
public final class ServiceSettings {
    /** The service manager's limit on a service's name, in characters. */
    public static final int MAX_NAME_LENGTH = 256;

    private final String name;
    private final String displayName;
    private final String description;
    private final String start;
    private final String account;
    private final List<String> dependencies;
    private final long restartDelayMs;

    private ServiceSettings(String name, String displayName, String description, String start, String account,
            List<String> dependencies, long restartDelayMs) {
        this.name = name;
        this.displayName = displayName;
        this.description = description;
        this.start = start;
        this.account = account;
        this.dependencies = dependencies;
        this.restartDelayMs = restartDelayMs;
    }

    /**
     * Reads the service's settings as installing the service named {@code name} reads them.
     *
     * @param settings the properties file's settings
     * @param name the service's name
     * @return the service's settings
     * @throws IllegalArgumentException naming the key (or the name) that installing would refuse
     */
    public static ServiceSettings read(Map<String, String> settings, String name) {
        if (name.isEmpty() || name.length() > MAX_NAME_LENGTH || name.indexOf('/') >= 0 || name.indexOf('\\') >= 0) {
            throw new IllegalArgumentException("the service's name \"" + name + "\" is empty, longer than "
                    + MAX_NAME_LENGTH + " characters, or holds a slash or backslash");
        }
        final String display = LauncherRules.trimControl(settings.getOrDefault("qel.service.display.name", ""));
        final String description = LauncherRules.trimControl(settings.getOrDefault("qel.service.description", ""));
        final String startText = settings.getOrDefault("qel.service.start", "");
        final Optional<String> start = startText.isEmpty() ? Optional.of("demand") : LauncherRules.serviceStart(startText);
        if (!start.isPresent()) {
            throw refused("qel.service.start", startText, "demand, auto or delayed");
        }
        final String accountText = settings.getOrDefault("qel.service.account", "");
        Optional<String> account = LauncherRules.serviceAccount(accountText);
        if (!account.isPresent()) {
            throw refused("qel.service.account", accountText, "LocalSystem, LocalService, NetworkService, NT SERVICE\\"
                    + name + " or a user as DOMAIN\\user");
        }
        final String dependenciesText = settings.getOrDefault("qel.service.dependencies", "");
        final Optional<List<String>> dependencies = LauncherRules.serviceDependencies(dependenciesText);
        if (!dependencies.isPresent()) {
            throw refused("qel.service.dependencies", dependenciesText, "service names and +groups separated by ;");
        }
        for (String dependency : dependencies.get()) {
            if (dependency.equalsIgnoreCase(name)) {
                throw refused("qel.service.dependencies", dependenciesText, "other services than " + name + " itself");
            }
        }
        final String delayText = settings.getOrDefault("qel.service.restart.delay", "");
        final Optional<Long> delay = LauncherRules.restartDelayMs(delayText);
        if (!delay.isPresent()) {
            throw refused("qel.service.restart.delay", delayText, "a number of seconds");
        }
        return new ServiceSettings(name, display.isEmpty() ? name : display, description, start.get(), account.get(),
                Collections.unmodifiableList(dependencies.get()), Math.max(0, delay.get()));
    }

    private static IllegalArgumentException refused(String key, String value, String expected) {
        return new IllegalArgumentException(key + ": \"" + value + "\" would be refused when the service is"
                + " installed (expected " + expected + ")");
    }

    /** @return the service's name */
    public String name() {
        return name;
    }

    /** @return the name Windows shows: the display name set, else the service's name */
    public String displayName() {
        return displayName;
    }

    /** @return the description, empty when none is set */
    public String description() {
        return description;
    }

    /** @return "demand", "auto" or "delayed" */
    public String start() {
        return start;
    }

    /** @return the account as the service manager is given it ("LocalSystem", "NT AUTHORITY\LocalService", ...) */
    public String account() {
        return account;
    }

    /** @return whether the account is a user's own, which needs a password when the service is installed */
    public boolean accountNeedsPassword() {
        return !account.equals("LocalSystem") && !account.startsWith("NT AUTHORITY\\")
                && !account.startsWith("NT SERVICE\\");
    }

    /** @return the services and +groups the service needs */
    public List<String> dependencies() {
        return dependencies;
    }

    /** @return milliseconds after which a failed service is started again; 0 restarts nothing */
    public long restartDelayMs() {
        return restartDelayMs;
    }
}
