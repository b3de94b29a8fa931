package org.ravelin.launcher;

/** The launcher's arguments are missing, or a file they name cannot be read. */
public class LaunchContextException extends Exception {
    private static final long serialVersionUID = 1L;

    public LaunchContextException(String message) {
        super(message);
    }

    public LaunchContextException(String message, Throwable cause) {
        super(message, cause);
    }
}
