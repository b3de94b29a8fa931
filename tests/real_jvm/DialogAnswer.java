package probe;

import java.awt.Component;
import java.awt.Container;
import java.awt.Dialog;
import java.awt.Window;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;

import javax.swing.JOptionPane;
import javax.swing.JTextArea;
import javax.swing.SwingUtilities;

/**
 * A Java agent of the real-JVM tests that reads and answers the dialog of a VM
 * without a console, as a user would: once a dialog with an option pane shows,
 * it writes {@code title=<title>} and {@code text=<message>} lines (UTF-8) to
 * the file its argument names, relative to the working directory (the file
 * appears whole), then presses OK.
 */
public final class DialogAnswer {
    private DialogAnswer() {}

    /**
     * Starts the watching thread.
     *
     * @param file the file for what the dialog showed
     */
    public static void premain(String file) {
        final Thread watcher = new Thread(() -> watch(Paths.get(file)), "dialog answer");
        watcher.setDaemon(true);
        watcher.start();
    }

    private static void watch(Path file) {
        try {
            while (true) {
                for (Window window : Window.getWindows()) {
                    final JOptionPane pane = window instanceof Dialog && window.isShowing()
                            ? optionPaneIn((Container) window) : null;
                    if (pane != null) {
                        answer((Dialog) window, pane, file);
                        return;
                    }
                }
                Thread.sleep(20);
            }
        } catch (Exception e) {
            e.printStackTrace();
        }
    }

    private static void answer(Dialog dialog, JOptionPane pane, Path file) throws Exception {
        final Object message = pane.getMessage();
        final String text = message instanceof JTextArea ? ((JTextArea) message).getText() : String.valueOf(message);
        final Path part = Paths.get(file + ".part");
        Files.write(part, ("title=" + dialog.getTitle() + "\ntext=" + text + "\n").getBytes(StandardCharsets.UTF_8));
        Files.move(part, file, StandardCopyOption.ATOMIC_MOVE, StandardCopyOption.REPLACE_EXISTING);
        SwingUtilities.invokeAndWait(() -> pane.setValue(JOptionPane.OK_OPTION));
    }

    private static JOptionPane optionPaneIn(Container container) {
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
}
