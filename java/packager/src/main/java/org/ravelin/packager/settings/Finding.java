package org.ravelin.packager.settings;

import java.util.Objects;
import java.util.Optional;

/**
 * One thing the settings check found: the key it concerns, what the launcher would make of it, and where one is
 * plain, what to write instead (a known key for an unknown one, a value for a misread one).
 */
public final class Finding {
    private final String key;
    private final String message;
    private final String suggestion;
    private final boolean suggestsKey;

    private Finding(String key, String message, String suggestion, boolean suggestsKey) {
        this.key = Objects.requireNonNull(key, "key");
        this.message = Objects.requireNonNull(message, "message");
        this.suggestion = suggestion;
        this.suggestsKey = suggestsKey;
    }

    static Finding of(String key, String message) {
        return new Finding(key, message, null, false);
    }

    static Finding withKey(String key, String message, String suggestedKey) {
        return new Finding(key, message, Objects.requireNonNull(suggestedKey, "suggestedKey"), true);
    }

    static Finding withValue(String key, String message, String suggestedValue) {
        return new Finding(key, message, Objects.requireNonNull(suggestedValue, "suggestedValue"), false);
    }

    /** @return the key the finding concerns */
    public String key() {
        return key;
    }

    /** @return what is wrong, in a sentence */
    public String message() {
        return message;
    }

    /** @return what to write instead: a key for an unknown key, a value for a value; empty when nothing is plain */
    public Optional<String> suggestion() {
        return Optional.ofNullable(suggestion);
    }

    /** @return "key: message", then "(did you mean …?)" with the suggested key, or the key and the suggested value */
    @Override
    public String toString() {
        if (suggestion == null) {
            return key + ": " + message;
        }
        return key + ": " + message + " (did you mean " + (suggestsKey ? suggestion : key + "=" + suggestion) + "?)";
    }

    @Override
    public boolean equals(Object other) {
        if (!(other instanceof Finding)) {
            return false;
        }
        final Finding that = (Finding) other;
        return key.equals(that.key) && message.equals(that.message) && Objects.equals(suggestion, that.suggestion)
                && suggestsKey == that.suggestsKey;
    }

    @Override
    public int hashCode() {
        return Objects.hash(key, message, suggestion, suggestsKey);
    }
}
