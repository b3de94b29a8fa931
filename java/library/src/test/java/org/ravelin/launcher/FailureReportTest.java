package org.ravelin.launcher;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.Component;
import java.awt.Container;
import java.awt.Dialog;
import java.awt.GraphicsEnvironment;
import java.awt.Window;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

import javax.swing.JOptionPane;
import javax.swing.JTextArea;
import javax.swing.SwingUtilities;

import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/**
 * Where the ready main class shows why the application did not start: standard error always, and a dialog when the
 * VM runs without a console and not as a service. The dialogs show on the display the tests run with (the test
 * script's virtual display).
 */
class FailureReportTest {
    static final String TEXT = "the application class shop.Missing is not on the class path (lib/ravelin-java.jar;"
            + "lib/shop.jar), so the application cannot start: see the settings in C:/Program Files/Shop/Shop.qel";

    @TempDir
    Path dir;
    final ByteArrayOutputStream errors = new ByteArrayOutputStream();
    PrintStream originalErr;

    @BeforeEach
    void captureStandardError() throws IOException {
        originalErr = System.err;
        System.setErr(new PrintStream(errors, true, "UTF-8"));
    }

    @AfterEach
    void restoreStandardError() {
        System.setErr(originalErr);
    }

    String standardError() {
        return new String(errors.toByteArray(), StandardCharsets.UTF_8);
    }

    LaunchContext context(String settings, String... handoffLines) throws IOException, LaunchContextException {
        final Path properties = dir.resolve("Shop.qel");
        Files.write(properties, SettingsTest.bytes(settings));
        final List<String> lines = new ArrayList<>(Arrays.asList("qel.nl.current.vm=C:\\\\Java\\\\bin\\\\javaw.exe"));
        lines.addAll(Arrays.asList(handoffLines));
        final Path handoff = dir.resolve("qel1.tmp");
        Files.write(handoff, HandoffTest.file(lines.toArray(new String[0])));
        return LaunchContext.fromArguments(properties.toString(), handoff.toString());
    }

    static List<Dialog> showingDialogs() {
        final List<Dialog> dialogs = new ArrayList<>();
        for (Window window : Window.getWindows()) {
            if (window instanceof Dialog && window.isShowing()) {
                dialogs.add((Dialog) window);
            }
        }
        return dialogs;
    }

    static JOptionPane optionPaneIn(Container container) {
        for (Component component : container.getComponents()) {
            if (component instanceof JOptionPane) {
                return (JOptionPane) component;
            }
            if (component instanceof Container) {
                final JOptionPane found = optionPaneIn((Container) component);
                if (found != null) {
                    return found;
                }
            }
        }
        return null;
    }

    /** Reports the failure on a thread of its own, reads the dialog it shows, closes it and returns its title. */
    String dialogTitleOf(LaunchContext context) throws Exception {
        TestPrerequisites.require(!GraphicsEnvironment.isHeadless(),
                "a display for the dialog (the C++ build's tests run under tools/with-wine.sh, which gives one)");
        final Thread reporter = new Thread(() -> RavelinMain.reportFailure(context, TEXT), "reporter");
        reporter.start();
        List<Dialog> dialogs = showingDialogs();
        while (dialogs.isEmpty()) {
            assertTrue(reporter.isAlive(), "the failure was reported without a dialog");
            Thread.sleep(20);
            dialogs = showingDialogs();
        }
        assertEquals(1, dialogs.size());
        final Dialog dialog = dialogs.get(0);
        assertTrue(dialog.isModal());
        final JOptionPane pane = optionPaneIn(dialog);
        assertNotNull(pane);
        assertEquals(JOptionPane.ERROR_MESSAGE, pane.getMessageType());
        assertEquals(TEXT, ((JTextArea) pane.getMessage()).getText());
        // What the OK button does.
        SwingUtilities.invokeAndWait(() -> pane.setValue(JOptionPane.OK_OPTION));
        reporter.join();
        assertFalse(dialog.isShowing());
        return dialog.getTitle();
    }

    @Test
    void withoutAConsoleTheFailureShowsInADialogTitledWithTheApplicationsName() throws Exception {
        final LaunchContext context = context("qel.application.name=Shop Floor \\u00e9\n", "qel.console=false");
        assertEquals("Shop Floor \u00e9", dialogTitleOf(context));
        assertEquals("Ravelin: " + TEXT + System.lineSeparator(), standardError());
    }

    /** A text area look that notes the threads it is made on: Swing makes it in the text area's constructor. */
    public static final class RecordingTextAreaUI extends javax.swing.plaf.basic.BasicTextAreaUI {
        static final List<String> THREADS = java.util.Collections.synchronizedList(new ArrayList<>());

        /**
         * Makes the look of a text area.
         *
         * @param area the text area
         * @return its look
         */
        public static javax.swing.plaf.ComponentUI createUI(javax.swing.JComponent area) {
            THREADS.add(SwingUtilities.isEventDispatchThread() ? "event dispatch" : Thread.currentThread().getName());
            return new RecordingTextAreaUI();
        }
    }

    // Swing's components are made and changed on the event-dispatch thread only: made on the reporting thread, a
    // dialog closed while it was still opening could leave the reporter waiting for good.
    @Test
    void theDialogIsMadeOnTheEventDispatchThread() throws Exception {
        final Object loader = javax.swing.UIManager.get("ClassLoader");
        final Object textArea = javax.swing.UIManager.get("TextAreaUI");
        javax.swing.UIManager.put("ClassLoader", RecordingTextAreaUI.class.getClassLoader());
        javax.swing.UIManager.put("TextAreaUI", RecordingTextAreaUI.class.getName());
        RecordingTextAreaUI.THREADS.clear();
        try {
            dialogTitleOf(context("qel.application.name=Shop\n", "qel.console=false"));
        } finally {
            javax.swing.UIManager.put("ClassLoader", loader);
            javax.swing.UIManager.put("TextAreaUI", textArea);
        }
        assertFalse(RecordingTextAreaUI.THREADS.isEmpty());
        for (String thread : RecordingTextAreaUI.THREADS) {
            assertEquals("event dispatch", thread);
        }
    }

    @Test
    void theLaunchersDefaultNameWithoutOne() throws Exception {
        assertEquals("Ravelin", dialogTitleOf(context("", "qel.console=false")));
    }

    // Standard error alone: the VM has a console, the hand-off file does not say (an earlier launcher), or it runs
    // as a service, where nobody could close a dialog.
    @ParameterizedTest(name = "[{0}] [{1}]")
    @CsvSource({"qel.console=true,", "qel.nl.env.exact_case.A=1,", "qel.console=false, qel.service=true",
            "qel.console=true, qel.service=true"})
    void withAConsoleOrAsAServiceStandardErrorAlone(String first, String second) throws Exception {
        final LaunchContext context = second == null ? context("qel.application.name=Shop\n", first)
                : context("qel.application.name=Shop\n", first, second);
        RavelinMain.reportFailure(context, TEXT);
        assertTrue(showingDialogs().isEmpty());
        assertEquals("Ravelin: " + TEXT + System.lineSeparator(), standardError());
    }

    @Test
    void withoutTheContextStandardErrorAlone() {
        RavelinMain.reportFailure(null, "the launcher's arguments are missing");
        assertTrue(showingDialogs().isEmpty());
        assertEquals("Ravelin: the launcher's arguments are missing" + System.lineSeparator(), standardError());
    }
}
