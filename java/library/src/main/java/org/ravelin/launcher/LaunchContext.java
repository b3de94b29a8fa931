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
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Objects;
import java.util.Optional;

/**
 * What the launcher passes to the Java side: its two arguments before the application's own (the properties file
 * and the hand-off file, both paths with forward slashes), the settings and the hand-off file they name, and the
 * application's arguments. Instances are immutable but for the service input {@link RavelinMain} sets before the
 * application starts and the listeners of second starts ({@link #addSecondStartListener(SecondStartListener)}).
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
    private SecondStarts secondStarts;

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
     * @param args the arguments of the class's main method
     * @return the context
     * @throws LaunchContextException when there are fewer than two arguments or one of the files cannot be read
     * @throws NullPointerException when the array or one of its arguments is {@code null}; the message names which
     */
    public static LaunchContext fromArguments(String... args) throws LaunchContextException {
        requireNoNull(args, "args");
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
                Collections.unmodifiableList(Arrays.asList(Arrays.copyOfRange(args, 2, args.length)));
        return new LaunchContext(propertiesFile, handoffFile, settings, handoff, applicationArguments);
    }

    /**
     * The context the application runs in: the one {@link RavelinMain} read, which it makes current before it calls
     * the application's main method, or the one that {@link #setCurrent(LaunchContext)} was given last (an
     * application's tests). Absent values are {@link Optional} here as everywhere in this package.
     *
     * @return the context, or an empty {@code Optional} when none is current: {@code RavelinMain} did not start the
     *     application, or {@link #clearCurrent()} was called since
     */
    public static Optional<LaunchContext> current() {
        return Optional.ofNullable(current);
    }

    /**
     * Makes a context the one {@link #current()} gives, in every thread of the VM. {@link RavelinMain} calls it with
     * the context it read before it calls the application's main method. An application's tests call it to run code
     * that asks for {@code current()}, with a context made by {@link #builder()}, before each test (JUnit's
     * {@code BeforeEach}), and {@link #clearCurrent()} after each; as there is one current context in the VM, tests
     * that set it must not run in parallel with each other.
     *
     * @param context the context
     * @throws NullPointerException when the context is {@code null}: {@link #clearCurrent()} makes none current
     */
    public static void setCurrent(LaunchContext context) {
        current = Objects.requireNonNull(context, "context");
    }

    /** Makes no context current: {@link #current()} is empty until {@link #setCurrent(LaunchContext)} is called. */
    public static void clearCurrent() {
        current = null;
    }

    /**
     * A context built in memory, for tests of an application's code that takes a {@code LaunchContext}: settings,
     * hand-off entries and arguments without files.
     *
     * @return a builder of an empty context: no settings, no hand-off entries, no arguments
     */
    public static Builder builder() {
        return new Builder();
    }

    /**
     * Builds a {@link LaunchContext} in memory. The files it names need not exist: {@link #resolve(String)} counts
     * from the properties file's directory, which is the current directory unless {@link #propertiesFile(Path)} says
     * otherwise. Its methods refuse {@code null} with a {@link NullPointerException} that names the parameter.
     */
    public static final class Builder {
        private Path propertiesFile = Paths.get("application.qel").toAbsolutePath();
        private Path handoffFile = Paths.get("qel0.tmp").toAbsolutePath();
        private final Map<String, String> settings = new LinkedHashMap<>();
        private final Map<String, String> handoff = new LinkedHashMap<>();
        private final List<String> typedArguments = new ArrayList<>();

        private Builder() {}

        /**
         * Sets the properties file's path, from which relative paths of the settings count.
         *
         * @param file the path; {@code application.qel} in the current directory unless set
         * @return this builder
         */
        public Builder propertiesFile(Path file) {
            propertiesFile = Objects.requireNonNull(file, "file");
            return this;
        }

        /**
         * Sets the hand-off file's path.
         *
         * @param file the path; {@code qel0.tmp} in the current directory unless set
         * @return this builder
         */
        public Builder handoffFile(Path file) {
            handoffFile = Objects.requireNonNull(file, "file");
            return this;
        }

        /**
         * Adds a setting, as a line of the properties file would after reading; a later value of a key replaces
         * the earlier one.
         *
         * @param key the key
         * @param value the value
         * @return this builder
         */
        public Builder setting(String key, String value) {
            settings.put(Objects.requireNonNull(key, "key"), Objects.requireNonNull(value, "value"));
            return this;
        }

        /**
         * Adds an entry of the hand-off file, as read back: {@link Handoff#VM_PATH}, {@link Handoff#CONSOLE} or any
         * other key; a later value of a key replaces the earlier one.
         *
         * @param key the key
         * @param value the value
         * @return this builder
         */
        public Builder handoffEntry(String key, String value) {
            handoff.put(Objects.requireNonNull(key, "key"), Objects.requireNonNull(value, "value"));
            return this;
        }

        /**
         * Adds an environment variable with the three hand-off entries the launcher writes for it.
         *
         * @param name the variable's name in its exact case
         * @param value its value
         * @return this builder
         */
        public Builder environmentVariable(String name, String value) {
            Objects.requireNonNull(name, "name");
            Objects.requireNonNull(value, "value");
            handoffEntry("qel.nl.env." + asciiCase(name, false), value);
            handoffEntry("qel.nl.env." + asciiCase(name, true), value);
            return handoffEntry(Handoff.ENVIRONMENT_EXACT_CASE + name, value);
        }

        /**
         * Adds the application's arguments as the user typed them ({@link LaunchContext#applicationArguments()});
         * the raw arguments have their backslashes doubled, as the launcher passes them.
         *
         * @param arguments the arguments, in order
         * @return this builder
         * @throws NullPointerException when the array or one of its arguments is {@code null} (then none is added);
         *     the message names which
         */
        public Builder applicationArguments(String... arguments) {
            requireNoNull(arguments, "arguments");
            typedArguments.addAll(Arrays.asList(arguments));
            return this;
        }

        /**
         * Builds the context of what was added so far.
         *
         * @return the context; later changes of this builder do not change it
         */
        public LaunchContext build() {
            final List<String> raw = new ArrayList<>(typedArguments.size());
            for (String argument : typedArguments) {
                raw.add(argument.replace("\\", "\\\\"));
            }
            return new LaunchContext(propertiesFile, handoffFile, Settings.of(settings), Handoff.of(handoff),
                    Collections.unmodifiableList(raw));
        }

        // Only the letters A to Z change case, as in the launcher's lines.
        private static String asciiCase(String name, boolean upper) {
            final char[] units = name.toCharArray();
            for (int i = 0; i < units.length; i++) {
                if (upper && units[i] >= 'a' && units[i] <= 'z') {
                    units[i] = (char) (units[i] - 'a' + 'A');
                } else if (!upper && units[i] >= 'A' && units[i] <= 'Z') {
                    units[i] = (char) (units[i] - 'A' + 'a');
                }
            }
            return new String(units);
        }
    }

    // Refuses a null array or element, naming it ("args", "args[2]"). No lambda for the message: the ready main class
    // comes through here at every start, where linking the first lambda costs the VM's start time.
    private static void requireNoNull(String[] array, String name) {
        if (array == null) {
            throw new NullPointerException(name);
        }
        for (int i = 0; i < array.length; i++) {
            if (array[i] == null) {
                throw new NullPointerException(name + "[" + i + "]");
            }
        }
    }

    private static Path path(String what, String text) throws LaunchContextException {
        try {
            return Paths.get(text);
        } catch (IllegalArgumentException e) {
            // An InvalidPathException, caught as its superclass: the VM loads the class a catch names when it checks
            // this class, at every start, and the superclass is loaded already.
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

    /**
     * The properties file the launcher read.
     *
     * @return its path (the launcher's first argument)
     */
    public Path propertiesFile() {
        return propertiesFile;
    }

    /**
     * The hand-off file.
     *
     * @return its path (the launcher's second argument)
     */
    public Path handoffFile() {
        return handoffFile;
    }

    /**
     * The settings of the properties file.
     *
     * @return the settings, read with the launcher's rules
     */
    public Settings settings() {
        return settings;
    }

    /**
     * The hand-off file's entries.
     *
     * @return what the launcher passed in the hand-off file
     */
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
     * line ({@link Handoff#findStopLine()}), {@link RavelinMain} takes over the VM's standard input to watch for that
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

    /**
     * A path from the settings: a relative path counts from the properties file's directory, as for the launcher.
     *
     * @param path a path as the settings give it
     * @return the path, absolute when the properties file's is
     */
    public Path resolve(String path) {
        final Path directory = propertiesFile.toAbsolutePath().getParent();
        return directory.resolve(path);
    }

    /**
     * Where standard output goes: the hand-off file's {@value Settings#STDOUT_REDIRECT} when it has one (the user held
     * Ctrl: {@code console}), else the setting.
     *
     * @return a file name, {@code console}, or empty text when neither says
     */
    public String stdoutRedirect() {
        return redirect(Settings.STDOUT_REDIRECT);
    }

    /**
     * Where standard error goes, as {@link #stdoutRedirect()}.
     *
     * @return a file name, {@code console}, or empty text when neither says
     */
    public String stderrRedirect() {
        return redirect(Settings.STDERR_REDIRECT);
    }

    /**
     * Registers a listener for the arguments of second starts. With {@code qel.single.instance=true} a second start
     * of the application runs no VM: it brings this VM's windows to the front and hands its arguments to the launcher
     * of this VM, which passes them to the listeners registered here (the first registration connects to it, on the
     * loopback port the hand-off file names in {@value Handoff#SINGLE_INSTANCE_PORT}). The launcher keeps the
     * arguments of second starts that come before the first registration (up to 16 starts) and passes them to the
     * first listener as soon as it is registered; what it could not keep, and what it kept when the application ends
     * without registering, it names in its trace. Only the windowed launcher hands arguments over; the console twin's
     * second start ends with code 105 instead.
     *
     * @param listener called with each second start's arguments, on a daemon thread of the library
     * @return {@code true} when the launcher offers second starts and the listener is registered; {@code false} when
     *     the hand-off file names no port (the setting is off, the application runs as a service, or the context was
     *     built in memory without {@value Handoff#SINGLE_INSTANCE_PORT} and {@value Handoff#SINGLE_INSTANCE_TOKEN})
     * @throws IOException when the launcher named a port but cannot be reached there, or does not answer as the
     *     launcher; the text names the port and the properties file of the launcher it tried
     * @throws NullPointerException when the listener is {@code null}
     */
    public synchronized boolean addSecondStartListener(SecondStartListener listener) throws IOException {
        Objects.requireNonNull(listener, "listener");
        if (secondStarts == null) {
            final String port = handoff.launcherValue(Handoff.SINGLE_INSTANCE_PORT);
            final String token = handoff.launcherValue(Handoff.SINGLE_INSTANCE_TOKEN);
            if (port == null || token == null) {
                return false;
            }
            final int number;
            try {
                number = Integer.parseInt(port);
            } catch (NumberFormatException e) {
                throw new IOException("the listener for second starts cannot be registered with the launcher of "
                        + propertiesFile + ": the hand-off file's " + Handoff.SINGLE_INSTANCE_PORT + " is no port: "
                        + port, e);
            }
            secondStarts = SecondStarts.connect(number, token, listener, "the launcher of " + propertiesFile);
            return true;
        }
        secondStarts.add(listener);
        return true;
    }

    private String redirect(String key) {
        final String fromHandoff = handoff.launcherValue(key);
        return fromHandoff != null ? fromHandoff : settings.get(key, "");
    }
}
