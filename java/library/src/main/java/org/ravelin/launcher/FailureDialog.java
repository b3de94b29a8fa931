package org.ravelin.launcher;

import java.lang.reflect.InvocationTargetException;

import javax.swing.JOptionPane;
import javax.swing.JTextArea;
import javax.swing.SwingUtilities;
import javax.swing.UIManager;

/** The dialog that shows why the application did not start, for a VM without a console. */
final class FailureDialog {
    private FailureDialog() {}

    /**
     * Shows the text in a modal error dialog with the title and waits until the user closes it. The dialog is built
     * and shown on the event-dispatch thread, as Swing requires: built elsewhere, a dialog closed while it was still
     * opening could leave its caller waiting for good.
     */
    static void show(String title, String text) {
        final Runnable dialog = () -> {
            // A text area wraps a long text (a class path) at words, where a label would make one wide line.
            final JTextArea message = new JTextArea(text, 0, 60);
            message.setLineWrap(true);
            message.setWrapStyleWord(true);
            message.setEditable(false);
            message.setOpaque(false);
            message.setFont(UIManager.getFont("Label.font"));
            message.setSize(message.getPreferredSize());
            JOptionPane.showMessageDialog(null, message, title, JOptionPane.ERROR_MESSAGE);
        };
        if (SwingUtilities.isEventDispatchThread()) {
            dialog.run();
            return;
        }
        try {
            SwingUtilities.invokeAndWait(dialog);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        } catch (InvocationTargetException e) {
            final Throwable cause = e.getCause();
            if (cause instanceof RuntimeException) {
                throw (RuntimeException) cause;
            }
            if (cause instanceof Error) {
                throw (Error) cause;
            }
            throw new IllegalStateException(cause);
        }
    }
}
