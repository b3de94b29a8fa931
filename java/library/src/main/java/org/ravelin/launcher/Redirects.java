package org.ravelin.launcher;

import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.FileSystemException;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.util.Locale;

import org.ravelin.launcher.RavelinMain.Failure;

/**
 * The two redirect settings, applied before the application starts: a file (relative to the properties file's
 * directory, its missing folders made) gets that output appended, in UTF-8; {@code console} (any case) and an empty value leave it as it is.
 * Loaded only when a setting names something.
 */
final class Redirects {
    private Redirects() {}

    static void apply(LaunchContext context) throws LaunchContextException {
        LaunchContextException failure = null;
        Path out = null;
        PrintStream outStream = null;
        try {
            out = redirectFile(context, Settings.STDOUT_REDIRECT, context.stdoutRedirect());
            outStream = out == null ? null : open(out, Settings.STDOUT_REDIRECT);
        } catch (LaunchContextException e) {
            failure = e;
        }
        PrintStream errStream = null;
        try {
            final Path err = redirectFile(context, Settings.STDERR_REDIRECT, context.stderrRedirect());
            if (err != null) {
                errStream = outStream != null && sameFile(out, err) ? outStream : open(err, Settings.STDERR_REDIRECT);
            }
        } catch (LaunchContextException e) {
            failure = failure != null ? failure : e;
        }
        if (failure != null) {
            // Standard output's file cannot be opened: the failure goes to standard error's file too, where a
            // service's user looks. The original standard error gets it from the caller.
            if (errStream != null) {
                errStream.println("Ravelin: " + failure.getMessage());
                errStream.close();
            }
            if (outStream != null) {
                outStream.close();
            }
            throw failure;
        }
        // Both are open before either is set, so an error about the second still reaches the original output.
        if (outStream != null) {
            System.setOut(outStream);
        }
        if (errStream != null) {
            System.setErr(errStream);
        }
    }

    // The file a redirect setting names; null for "console" and for an empty value.
    private static Path redirectFile(LaunchContext context, String key, String value) throws LaunchContextException {
        if (value.isEmpty() || value.toLowerCase(Locale.ROOT).equals("console")) {
            return null;
        }
        try {
            return context.resolve(value);
        } catch (InvalidPathException e) {
            // A value written "logs" backslash "update.log" reads as "logs", U+0000 and "pdate.log": in the properties
            // file a backslash before u starts an escape, and one without hexadecimal digits gives U+0000.
            final String hint = value.indexOf((char) 0) >= 0 ? " (in the properties file a backslash before u starts"
                    + " a \\uXXXX escape: separate the folders with /)" : "";
            throw new LaunchContextException(Failure.REDIRECT, "the value of " + key + ", \"" + visible(value)
                    + "\", is not a usable file name: " + e.getReason() + hint);
        }
    }

    // The text with its control characters written as escapes (backslash, u, four digits), so that a line or a
    // dialog shows each of them.
    static String visible(String text) {
        final StringBuilder result = new StringBuilder(text.length());
        for (int i = 0; i < text.length(); i++) {
            final char c = text.charAt(i);
            if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
                result.append(String.format("\\u%04X", (int) c));
            } else {
                result.append(c);
            }
        }
        return result.toString();
    }

    private static boolean sameFile(Path opened, Path other) {
        try {
            return Files.exists(other) && Files.isSameFile(opened, other);
        } catch (IOException e) {
            return false;
        }
    }

    // Opens the file for appending; its missing folders are made first, as logging libraries make theirs.
    private static PrintStream open(Path file, String key) throws LaunchContextException {
        final Path folder = file.getParent();
        if (folder != null && !Files.isDirectory(folder)) {
            try {
                Files.createDirectories(folder);
            } catch (IOException e) {
                // The folder, or the first of its parents, that could not be made.
                final String failed = e instanceof FileSystemException && ((FileSystemException) e).getFile() != null
                        ? ((FileSystemException) e).getFile() : folder.toString();
                throw new LaunchContextException(Failure.REDIRECT, "cannot make the folder " + failed + " for "
                        + file.getFileName() + " of " + key + ": " + (e instanceof FileAlreadyExistsException
                        ? "a file of that name is there" : LaunchContext.reason(e)));
            }
        }
        try {
            final OutputStream stream = Files.newOutputStream(file, StandardOpenOption.CREATE,
                    StandardOpenOption.APPEND, StandardOpenOption.WRITE);
            // Unbuffered below the print stream, so nothing waits in a buffer when the VM ends. UTF-8 whatever the
            // VM's default charset, which on a Western Windows turns every character beyond windows-1252 into "?".
            return new PrintStream(stream, true, StandardCharsets.UTF_8.name());
        } catch (IOException e) {
            throw new LaunchContextException(Failure.REDIRECT, "cannot open " + file + " for " + key + ": "
                    + LaunchContext.reason(e));
        }
    }
}
