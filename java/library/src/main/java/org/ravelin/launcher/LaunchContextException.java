package org.ravelin.launcher;

/**
 * The launcher's arguments are missing, or a file they name cannot be read. {@link RavelinMain} also uses it for the
 * other reasons it cannot start the application, each with its exit code.
 */
public class LaunchContextException extends Exception {
    private static final long serialVersionUID = 1L;
    // The ready main class's reason; null for the context's own failures. (One class for both: each class the ready
    // main class loads adds to every application's start.)
    private final transient RavelinMain.Failure failure;

    /**
     * A failure without a cause.
     *
     * @param message what went wrong
     */
    public LaunchContextException(String message) {
        super(message);
        failure = null;
    }

    /**
     * A failure with its cause.
     *
     * @param message what went wrong
     * @param cause the exception that caused it
     */
    public LaunchContextException(String message, Throwable cause) {
        super(message, cause);
        failure = null;
    }

    // A reason of the ready main class not to start the application.
    LaunchContextException(RavelinMain.Failure failure, String message) {
        super(message);
        this.failure = failure;
    }

    // The ready main class's reason: the context's own failures are Failure.CONTEXT.
    RavelinMain.Failure failure() {
        return failure != null ? failure : RavelinMain.Failure.CONTEXT;
    }
}
