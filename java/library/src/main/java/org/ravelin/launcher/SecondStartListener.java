package org.ravelin.launcher;

import java.util.List;

/**
 * What the application does when the user starts it again while it runs with {@code qel.single.instance=true}: the
 * second start runs no VM, brings this VM's windows to the front and hands its arguments to the launcher of this VM,
 * which passes them on here. Register one with {@link LaunchContext#addSecondStartListener(SecondStartListener)}.
 */
@FunctionalInterface
public interface SecondStartListener {
    /**
     * Called for each second start, one after the other on one daemon thread of the library (not the event
     * dispatch thread of a Swing or AWT application: hand the work over with {@code SwingUtilities.invokeLater}).
     * An exception or error thrown here is printed to standard error; the other listeners and later starts are
     * still called.
     *
     * @param arguments the second start's arguments as the user typed them (those that name existing files as
     *     absolute paths, resolved in the second start's directory); unmodifiable, possibly empty
     */
    void secondStart(List<String> arguments);
}
