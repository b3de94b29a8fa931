package org.ravelin.packager;

import java.nio.file.Path;

/** Makes an application's own executable from one of ours: its icon, version information and manifest. */
public final class Brander {
    private Brander() {}

    /**
     * Writes {@code output}: {@code launcher} with the branding applied. The version information's original and
     * internal file names follow {@code output}'s file name. The same inputs give the same bytes. Writes nothing when
     * it refuses (the output is written to a temporary file beside it, then moved into place).
     *
     * @param launcher a launcher executable of ours ({@code ravelin.exe} or {@code ravelinc.exe}); not signed
     * @param output where the branded executable goes; replaced if it exists
     * @param branding what to change
     * @throws PackagerException if an input is refused or the output cannot be written; the message names it
     */
    public static void brand(Path launcher, Path output, Branding branding) throws PackagerException {
        throw new PackagerException("branding is not available yet: " + launcher);
    }
}
