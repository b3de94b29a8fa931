package org.ravelin.launcher;

/** The launcher's arguments are missing, or a file they name cannot be read. */
public class LaunchContextException extends Exception {
    private static final long serialVersionUID = 1L;

    /**
     * A failure without a cause.
     *
     * @param message what went wrong
     */
    public LaunchContextException(String message) {
        super(message);
    }

    /**
     * A failure with its cause.
     *
     * @param message what went wrong
     * @param cause the exception that caused it
     */
    public LaunchContextException(String message, Throwable cause) {
        super(message, cause);
    }
}
