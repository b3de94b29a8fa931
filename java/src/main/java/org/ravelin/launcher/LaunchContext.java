package org.ravelin.launcher;

import java.io.IOException;
import java.io.InputStream;
import java.nio.file.AccessDeniedException;
import java.nio.file.FileSystemException;
import java.nio.file.InvalidPathException;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.Optional;

/**
 * What the launcher passes to the Java side: its two arguments before the application's own (the properties file
 * and the hand-off file, both paths with forward slashes), the settings and the hand-off file they name, and the
 * application's arguments. Instances are immutable but for the service input {@link RavelinMain} sets before the
 * application starts.
 */
public final class LaunchContext {
    private static volatile LaunchContext current;

    private final Path propertiesFile;
    private final Path handoffFile;
    private final Settings settings;
    private final Handoff handoff;
    private final List<String> rawApplicationArguments;
    private final List<String> applicationArguments;
    private volatile InputStream serviceInput;

    private LaunchContext(Path propertiesFile, Path handoffFile, Settings settings, Handoff handoff,
            List<String> rawApplicationArguments) {
        this.propertiesFile = propertiesFile;
        this.handoffFile = handoffFile;
        this.settings = settings;
        this.handoff = handoff;
        this.rawApplicationArguments = rawApplicationArguments;
        final List<String> undoubled = new ArrayList<>(rawApplicationArguments.size());
        for (String argument : rawApplicationArguments) {
            undoubled.add(undoubleBackslashes(argument));
        }
        this.applicationArguments = Collections.unmodifiableList(undoubled);
    }

    /**
     * The argument as the user typed it: the launcher passes every backslash of an application's argument doubled,
     * so each pair becomes one backslash again. A backslash without its pair stays (the class was not started by
     * the launcher).
     */
    static String undoubleBackslashes(String argument) {
        if (argument.indexOf('\\') < 0) {
            return argument;
        }
        final StringBuilder result = new StringBuilder(argument.length());
        for (int i = 0; i < argument.length(); i++) {
            final char c = argument.charAt(i);
            result.append(c);
            if (c == '\\' && i + 1 < argument.length() && argument.charAt(i + 1) == '\\') {
                i++;
            }
        }
        return result.toString();
    }

    /**
     * Reads the context from the arguments of the class the launcher starts: the properties file, the hand-off file,
     * then the application's arguments.
     *
     * @throws LaunchContextException when there are fewer than two arguments or one of the files cannot be read
     */
    public static LaunchContext fromArguments(String... args) throws LaunchContextException {
        if (args.length < 2) {
            throw new LaunchContextException("the launcher's arguments are missing: expected the properties file and "
                    + "the hand-off file before the application's arguments, got " + args.length + " argument"
                    + (args.length == 1 ? "" : "s"));
        }
        final Path propertiesFile = path("properties file", args[0]);
        final Path handoffFile = path("hand-off file", args[1]);
        final Settings settings;
        try {
            settings = Settings.read(propertiesFile);
        } catch (IOException e) {
            throw new LaunchContextException("cannot read the properties file " + propertiesFile + ": " + reason(e), e);
        }
        final Handoff handoff;
        try {
            handoff = Handoff.read(handoffFile);
        } catch (IOException e) {
            throw new LaunchContextException("cannot read the hand-off file " + handoffFile + ": " + reason(e), e);
        }
        final List<String> applicationArguments =
                Collections.unmodifiableList(new ArrayList<>(Arrays.asList(args).subList(2, args.length)));
        return new LaunchContext(propertiesFile, handoffFile, settings, handoff, applicationArguments);
    }

    /** The context {@link RavelinMain} read before it started the application; empty when it did not. */
    public static Optional<LaunchContext> current() {
        return Optional.ofNullable(current);
    }

    static void setCurrent(LaunchContext context) {
        current = context;
    }

    private static Path path(String what, String text) throws LaunchContextException {
        try {
            return Paths.get(text);
        } catch (InvalidPathException e) {
            throw new LaunchContextException("the " + what + " argument is not a path: " + text, e);
        }
    }

    /** A short text of what went wrong with a file. */
    static String reason(IOException e) {
        if (e instanceof NoSuchFileException) {
            return "no such file or directory";
        }
        if (e instanceof AccessDeniedException) {
            return "access denied";
        }
        if (e instanceof FileSystemException && ((FileSystemException) e).getReason() != null) {
            return ((FileSystemException) e).getReason();
        }
        return e.getMessage() != null ? e.getMessage() : e.getClass().getName();
    }

    /** The properties file the launcher read (its first argument). */
    public Path propertiesFile() {
        return propertiesFile;
    }

    /** The hand-off file (the launcher's second argument). */
    public Path handoffFile() {
        return handoffFile;
    }

    public Settings settings() {
        return settings;
    }

    public Handoff handoff() {
        return handoff;
    }

    /**
     * The application's own arguments, after the launcher's two, as the user typed them: the launcher doubles every
     * backslash of them on the VM's command line ({@code C:\My Files\a.txt} arrives as
     * {@code C:\\My Files\\a.txt}), and here each pair is one backslash again. Unmodifiable.
     *
     * @return the arguments as the user gave them to the launcher
     */
    public List<String> applicationArguments() {
        return applicationArguments;
    }

    /**
     * The application's own arguments as the VM received them, every backslash still doubled by the launcher.
     * Unmodifiable.
     *
     * @return the arguments after the launcher's two, unchanged
     */
    public List<String> rawApplicationArguments() {
        return rawApplicationArguments;
    }

    /**
     * Standard input as the application reads it. When the launcher runs the application as a service with a stop
     * line ({@link Handoff#stopLine()}), {@link RavelinMain} takes over the VM's standard input to watch for that
     * line: this stream then gives every other line, unchanged with its line end, and ends when the input ends
     * ({@code RavelinMain} also makes it {@link System#in}). Otherwise it is {@link System#in} as it is.
     *
     * @return the input without the service's stop line
     */
    public InputStream serviceInput() {
        final InputStream input = serviceInput;
        return input != null ? input : System.in;
    }

    void setServiceInput(InputStream input) {
        serviceInput = input;
    }

    /** A path from the settings: a relative path counts from the properties file's directory, as for the launcher. */
    public Path resolve(String path) {
        final Path directory = propertiesFile.toAbsolutePath().getParent();
        return directory.resolve(path);
    }

    /**
     * Where standard output goes: the hand-off file's {@value Settings#STDOUT_REDIRECT} when it has one (the user held
     * Ctrl: {@code console}), else the setting; empty when neither says.
     */
    public String stdoutRedirect() {
        return redirect(Settings.STDOUT_REDIRECT);
    }

    /** Where standard error goes, as {@link #stdoutRedirect()}. */
    public String stderrRedirect() {
        return redirect(Settings.STDERR_REDIRECT);
    }

    private String redirect(String key) {
        final String fromHandoff = handoff.properties().get(key);
        return fromHandoff != null ? fromHandoff : settings.get(key, "");
    }
}
