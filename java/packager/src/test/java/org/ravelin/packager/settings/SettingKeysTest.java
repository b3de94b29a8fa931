package org.ravelin.packager.settings;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

import org.junit.jupiter.api.Test;
import org.ravelin.launcher.SharedCases;

class SettingKeysTest {
    // The key table as the case files' reader reads it: name, kind, default, reader.
    private static List<List<String>> tableRows() throws IOException {
        final List<SharedCases.Case> cases = SharedCases.read("settings_keys.txt");
        assertEquals(1, cases.size());
        return cases.get(0).all("key");
    }

    @Test
    void theJarCarriesTheKeyTableOfTheSources() throws IOException {
        final List<String> expected = new ArrayList<>();
        for (List<String> row : tableRows()) {
            expected.add(String.join("|", row));
        }
        final List<String> loaded = new ArrayList<>();
        for (SettingKey key : SettingKeys.all()) {
            loaded.add(String.join("|", key.name(), key.kind().word(), key.defaultValue(),
                    key.isReadByLauncher() ? "launcher" : "java"));
        }
        assertEquals(expected, loaded);
        assertTrue(SettingKeys.find("qel.class.path").isPresent());
        assertFalse(SettingKeys.find("qel.console").isPresent(), "a key of the hand-off file only");
    }

    // The rows of the settings reference table (docs/properties.md, under "## Settings"): each key's type and default.
    private static Map<String, String[]> readmeRows() throws IOException {
        final String readme = System.getProperty("ravelin.readme");
        assertTrue(readme != null, "the system property ravelin.readme names the settings reference page");
        final Map<String, String[]> rows = new LinkedHashMap<>();
        boolean inSettings = false;
        final Pattern row = Pattern.compile("\\| `([^`]+)` \\| ([^|]+) \\| ([^|]+) \\|.*");
        for (String line : Files.readAllLines(Paths.get(readme), StandardCharsets.UTF_8)) {
            if (line.startsWith("#")) {
                inSettings = line.equals("## Settings");
                continue;
            }
            final Matcher matcher = row.matcher(line);
            if (inSettings && line.startsWith("| `")) {
                assertTrue(matcher.matches(), "one key a row: " + line);
                assertEquals(null, rows.put(matcher.group(1), new String[] {matcher.group(2), matcher.group(3)}),
                        "listed twice: " + matcher.group(1));
            }
        }
        return rows;
    }

    @Test
    void theReadmeSettingsTableListsExactlyTheTablesKeysWithTheirKindsAndDefaults() throws IOException {
        final Map<String, String> expected = new TreeMap<>();
        for (List<String> row : tableRows()) {
            expected.put(row.get(0), row.get(1) + " | " + row.get(2));
        }
        final Map<String, String> documented = new TreeMap<>();
        for (Map.Entry<String, String[]> row : readmeRows().entrySet()) {
            // A default in backquotes is the text; any words ("empty", "false", "none") stand for no text.
            final String shown = row.getValue()[1];
            final String defaultText = shown.startsWith("`") && shown.endsWith("`")
                    ? shown.substring(1, shown.length() - 1) : "";
            documented.put(row.getKey(), row.getValue()[0] + " | " + defaultText);
        }
        assertEquals(expected, documented);
    }
}
