package org.ravelin.packager;

/**
 * The packager refused its input: a launcher that is not a PE file or carries a signature, an icon it cannot use, a
 * version without a number, a text with a NUL, a file it cannot read or write. The message names the input refused.
 */
public class PackagerException extends Exception {
    private static final long serialVersionUID = 1L;

    /**
     * Makes one with a message that names the input refused.
     *
     * @param message what was refused and why
     */
    public PackagerException(String message) {
        super(message);
    }

    /**
     * Makes one with a message that names the input refused and the failure under it.
     *
     * @param message what was refused and why
     * @param cause the failure that made it refuse
     */
    public PackagerException(String message, Throwable cause) {
        super(message, cause);
    }
}
