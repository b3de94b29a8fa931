package org.ravelin.packager;

/**
 * The packager refused its input: a launcher that is not a PE file or carries a signature, an icon it cannot use, a
 * version without a number, a text with a NUL, a file it cannot read or write. The message names the input refused.
 */
public class PackagerException extends Exception {
    private static final long serialVersionUID = 1L;

    /** The branding setting refused, as {@link Branding}'s builder names it; null when no one setting is. */
    private final String setting;

    /**
     * Makes one with a message that names the input refused.
     *
     * @param message what was refused and why
     */
    public PackagerException(String message) {
        super(message);
        setting = null;
    }

    /**
     * Makes one for a branding setting that is refused, so that a command line or a build plug-in can name its own
     * option or parameter for it.
     *
     * @param message what was refused and why
     * @param setting the setting, named as {@link Branding.Builder}'s method that sets it ({@code productName})
     */
    public PackagerException(String message, String setting) {
        super(message);
        this.setting = setting;
    }

    /**
     * Makes one with a message that names the input refused and the failure under it.
     *
     * @param message what was refused and why
     * @param cause the failure that made it refuse
     */
    public PackagerException(String message, Throwable cause) {
        super(message, cause);
        setting = null;
    }

    /**
     * The branding setting refused, named as {@link Branding.Builder}'s method that sets it ({@code productName},
     * {@code icon}); null when the refusal concerns no one setting (the launcher, the output).
     *
     * @return the setting, or null
     */
    public String setting() {
        return setting;
    }
}
