package org.ravelin.launcher;

import javax.swing.JOptionPane;
import javax.swing.JTextArea;
import javax.swing.UIManager;

/** The dialog that shows why the application did not start, for a VM without a console. */
final class FailureDialog {
    private FailureDialog() {}

    /** Shows the text in a modal error dialog with the title and waits until the user closes it. */
    static void show(String title, String text) {
        // A text area wraps a long text (a class path) at words, where a label would make one wide line.
        final JTextArea message = new JTextArea(text, 0, 60);
        message.setLineWrap(true);
        message.setWrapStyleWord(true);
        message.setEditable(false);
        message.setOpaque(false);
        message.setFont(UIManager.getFont("Label.font"));
        message.setSize(message.getPreferredSize());
        JOptionPane.showMessageDialog(null, message, title, JOptionPane.ERROR_MESSAGE);
    }
}
