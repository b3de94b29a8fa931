package org.ravelin.packager.settings;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.io.UncheckedIOException;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Optional;

/**
 * Every key of the properties file, from the key table that this jar carries (settings_keys.txt, the same file the
 * launcher's keys and the settings reference table in docs/properties.md are checked against).
 */
public final class SettingKeys {
    /** The resource name of the key table in this jar. */
    static final String RESOURCE = "settings_keys.txt";

    private static final Map<String, SettingKey> KEYS = load();

    private SettingKeys() {}

    /** @return every key, in the table's order */
    public static List<SettingKey> all() {
        return Collections.unmodifiableList(new ArrayList<>(KEYS.values()));
    }

    /**
     * @param name a key as written in the properties file
     * @return the key of that name, empty when neither the launcher nor the Java side library reads it
     */
    public static Optional<SettingKey> find(String name) {
        return Optional.ofNullable(KEYS.get(name));
    }

    private static Map<String, SettingKey> load() {
        final InputStream input = SettingKeys.class.getResourceAsStream(RESOURCE);
        if (input == null) {
            throw new IllegalStateException("the packager's jar has no " + RESOURCE);
        }
        try (BufferedReader reader = new BufferedReader(new InputStreamReader(input, StandardCharsets.UTF_8))) {
            return parse(reader);
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    // The table's lines "key<TAB>name<TAB>kind<TAB>default<TAB>reader"; comments, blank lines and the case line are
    // skipped. Its texts need none of the case files' brace escapes, and one would be refused.
    static Map<String, SettingKey> parse(BufferedReader reader) throws IOException {
        final Map<String, SettingKey> keys = new LinkedHashMap<>();
        int number = 0;
        for (String line; (line = reader.readLine()) != null;) {
            number++;
            if (line.isEmpty() || line.startsWith("#") || line.startsWith("case\t")) {
                continue;
            }
            final String[] parts = line.split("\t", -1);
            if (parts.length != 5 || !parts[0].equals("key") || line.indexOf('{') >= 0
                    || !(parts[4].equals("launcher") || parts[4].equals("java"))) {
                throw new IOException(RESOURCE + ":" + number + ": not a line of the key table: " + line);
            }
            final SettingKey key = new SettingKey(parts[1], SettingKey.Kind.of(parts[2]), parts[3],
                    parts[4].equals("launcher"));
            if (keys.put(key.name(), key) != null) {
                throw new IOException(RESOURCE + ":" + number + ": " + key.name() + " twice");
            }
        }
        return keys;
    }
}
