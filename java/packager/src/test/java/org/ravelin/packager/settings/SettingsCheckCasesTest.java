package org.ravelin.packager.settings;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Optional;
import java.util.stream.Stream;

import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;
import org.ravelin.launcher.SharedCases;

/** The files of tests/cases/settings_check.txt, whose reading by the launcher its own tests hold it to. */
class SettingsCheckCasesTest {
    @TempDir
    Path application;

    static final String COMPLETE = "qel.nl.java.launcher.main.class=org.ravelin.launcher.RavelinMain\r\n"
            + "qel.application.main.class=com.example.App\r\nqel.class.path=lib/ravelin-java.jar;lib/app.jar\r\n"
            + "qel.nl.valid.vm.list=J2\r\n";

    static Stream<SharedCases.Case> cases() throws IOException {
        return SharedCases.read("settings_check.txt").stream();
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("cases")
    void findsWhatTheLauncherDoesOtherwiseThanWritten(SharedCases.Case c) throws IOException {
        SettingsCheckTest.writeJar(application.resolve("lib/ravelin-java.jar"),
                "org/ravelin/launcher/RavelinMain.class");
        SettingsCheckTest.writeJar(application.resolve("lib/app.jar"), "com/example/App.class",
                "com/example/greet/Greet.class");
        for (List<String> file : c.all("file")) {
            final Path path = application.resolve(file.get(0));
            if (file.get(0).endsWith("/")) {
                Files.createDirectories(path);
            } else {
                Files.createDirectories(path.getParent());
                Files.write(path, new byte[] {'M', 'Z'});
            }
        }
        final StringBuilder text = new StringBuilder(COMPLETE);
        for (List<String> line : c.all("line")) {
            text.append(line.get(0)).append("\r\n");
        }
        final Path properties = application.resolve("Tool.qel");
        Files.write(properties, SharedCases.bytes(text.toString()));

        // The launcher's reading of each token, in its words.
        for (List<String> token : c.all("token")) {
            assertEquals(token.get(1), LauncherRules.unusualTokenReading(token.get(0)).orElse("as written"));
        }

        final List<Finding> findings = SettingsCheck.checkFile(properties, application);
        final List<List<String>> expected = c.all("finding");
        assertEquals(expected.size(), findings.size(), findings.toString());
        for (int i = 0; i < expected.size(); i++) {
            final Finding finding = findings.get(i);
            assertEquals(expected.get(i).get(0), finding.key(), finding.toString());
            assertTrue(finding.message().contains(expected.get(i).get(1)), finding.toString());
            final Optional<String> suggestion =
                    expected.get(i).size() > 2 ? Optional.of(expected.get(i).get(2)) : Optional.<String>empty();
            assertEquals(suggestion, finding.suggestion(), finding.toString());
        }
    }
}
