package org.ravelin.launcher;

import java.awt.GraphicsEnvironment;
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.lang.reflect.AccessibleObject;
import java.lang.reflect.Constructor;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.util.Locale;

/**
 * A ready main class for the launcher: name it in {@value Settings#MAIN_CLASS} and the application's class in
 * {@value Settings#APPLICATION_MAIN_CLASS}. It reads the {@link LaunchContext}, applies the two redirect settings,
 * then calls the application's main method with the application's own arguments as the user typed them
 * ({@link LaunchContext#applicationArguments()}); the application finds the context with
 * {@link LaunchContext#current()}.
 *
 * <p>The main method is chosen as today's {@code java} launcher chooses it: {@code void main(String[])} of the class
 * or a superclass, else {@code void main()}, either not private (the class itself need not be public). A static one is
 * called as it is; for an instance one, the class is instantiated with its constructor without arguments, which must
 * not be private.
 *
 * <p>A redirect setting that names a file (relative to the properties file's directory) sends that output to the
 * end of the file, which is created when missing, in UTF-8 whatever the VM's default charset; {@code console} (any
 * case) and an empty value leave the output as it is. When both name the same file, both outputs share one stream.
 *
 * <p>When it cannot start the application it writes one line beginning with "Ravelin:" to standard error (once the
 * redirects are applied, to the redirected standard error; when only standard output's file cannot be opened, to
 * standard error's file as well) and ends the VM with a code of {@link Failure}. When nobody would see standard error
 * (the hand-off file says the VM runs without a console, not as a service, and the VM has a display) it also shows
 * the text in a dialog titled with the application's name ({@value Settings#APPLICATION_NAME}) and ends the VM once
 * the user closed it. An exception thrown by the application's main method propagates unchanged: the VM reports it
 * with its stack trace and ends with code 1, as it does for an application started without the launcher.
 *
 * <p>When the launcher runs the application as a service with a stop timeout, the hand-off file names a stop line
 * ({@link Handoff#findStopLine()}): a daemon thread then takes over the VM's standard input and, on that line, ends the
 * VM with {@code System.exit(0)}, so that the application's shutdown hooks run before the service stops. Every other
 * line goes on, unchanged, to {@link System#in}, which it replaces, and to {@link LaunchContext#serviceInput()}: an
 * application that reads standard input keeps working.
 */
public final class RavelinMain {
    /** Why the application did not start, and the VM's exit code for it. */
    public enum Failure {
        /** The launcher's arguments are missing, or the properties or hand-off file cannot be read. */
        CONTEXT(2),
        /** A redirect file cannot be opened. */
        REDIRECT(3),
        /** The properties file names no application class. */
        NO_APPLICATION_CLASS(4),
        /** The application class is not on the class path or cannot be loaded. */
        CLASS_NOT_LOADED(5),
        /** The application class has no main method that the {@code java} launcher would start. */
        NO_MAIN_METHOD(6);

        private final int exitCode;

        Failure(int exitCode) {
            this.exitCode = exitCode;
        }

        /**
         * The VM's exit code for the failure.
         *
         * @return the code, 2 to 6
         */
        public int exitCode() {
            return exitCode;
        }
    }

    private static final class StartException extends Exception {
        private static final long serialVersionUID = 1L;
        final Failure failure;

        StartException(Failure failure, String message) {
            super(message);
            this.failure = failure;
        }
    }

    private RavelinMain() {}

    /**
     * Starts the application the settings name, or ends the VM with a code of {@link Failure}.
     *
     * @param args the launcher's two arguments (the properties file, the hand-off file), then the application's
     * @throws Throwable what the application's main method throws, unchanged
     */
    public static void main(String[] args) throws Throwable {
        final Entry main;
        LaunchContext context = null;
        try {
            context = readContext(args);
            applyRedirects(context);
            main = findMain(applicationClass(context));
        } catch (StartException e) {
            reportFailure(context, e.getMessage());
            System.exit(e.failure.exitCode());
            return;
        }
        LaunchContext.setCurrent(context);
        watchForStopLine(context);
        final String[] applicationArguments = context.applicationArguments().toArray(new String[0]);
        main.call(applicationArguments);
    }

    /**
     * Tells why the application did not start: one line on standard error, and, when nobody would see that, a dialog
     * titled with the application's name, which this waits for. The dialog shows when the hand-off file says the VM
     * runs without a console and not as a service (where nobody could close it), and the VM has a display.
     */
    static void reportFailure(LaunchContext context, String text) {
        System.err.println("Ravelin: " + text);
        System.err.flush();
        if (context == null || context.handoff().hasConsole() || context.handoff().isService()) {
            return;
        }
        try {
            if (!GraphicsEnvironment.isHeadless()) {
                FailureDialog.show(context.settings().get(Settings.APPLICATION_NAME, "Ravelin"), text);
            }
        } catch (LinkageError | RuntimeException e) {
            // A runtime without the desktop module or its libraries, or no display after all: standard error is all.
        }
    }

    // The stop line ends the VM; the application reads the other lines from System.in as before.
    private static void watchForStopLine(LaunchContext context) {
        final String stopLine = context.handoff().findStopLine().orElse(null);
        if (stopLine == null) {
            return;
        }
        final ServiceInput input = ServiceInput.watch(System.in, stopLine, () -> System.exit(0));
        context.setServiceInput(input);
        System.setIn(input);
    }

    private static LaunchContext readContext(String[] args) throws StartException {
        try {
            return LaunchContext.fromArguments(args);
        } catch (LaunchContextException e) {
            throw new StartException(Failure.CONTEXT, e.getMessage());
        }
    }

    private static void applyRedirects(LaunchContext context) throws StartException {
        final Path out = redirectFile(context, context.stdoutRedirect());
        final Path err = redirectFile(context, context.stderrRedirect());
        StartException failure = null;
        PrintStream outStream = null;
        if (out != null) {
            try {
                outStream = open(out, Settings.STDOUT_REDIRECT);
            } catch (StartException e) {
                failure = e;
            }
        }
        PrintStream errStream = null;
        if (err != null) {
            try {
                errStream = outStream != null && sameFile(out, err) ? outStream : open(err, Settings.STDERR_REDIRECT);
            } catch (StartException e) {
                failure = failure != null ? failure : e;
            }
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
    private static Path redirectFile(LaunchContext context, String value) {
        if (value.isEmpty() || value.toLowerCase(Locale.ROOT).equals("console")) {
            return null;
        }
        return context.resolve(value);
    }

    private static boolean sameFile(Path opened, Path other) {
        try {
            return Files.exists(other) && Files.isSameFile(opened, other);
        } catch (IOException e) {
            return false;
        }
    }

    private static PrintStream open(Path file, String key) throws StartException {
        try {
            final OutputStream stream = Files.newOutputStream(file, StandardOpenOption.CREATE,
                    StandardOpenOption.APPEND, StandardOpenOption.WRITE);
            // Unbuffered below the print stream, so nothing waits in a buffer when the VM ends. UTF-8 whatever the
            // VM's default charset, which on a Western Windows turns every character beyond windows-1252 into "?".
            return new PrintStream(stream, true, StandardCharsets.UTF_8.name());
        } catch (IOException e) {
            throw new StartException(Failure.REDIRECT, "cannot open " + file + " for " + key + ": "
                    + LaunchContext.reason(e));
        }
    }

    // The application class named by the settings, loaded but not initialized.
    private static Class<?> applicationClass(LaunchContext context) throws StartException {
        final String name = context.settings().get(Settings.APPLICATION_MAIN_CLASS, "");
        if (name.isEmpty()) {
            throw new StartException(Failure.NO_APPLICATION_CLASS, "the properties file " + context.propertiesFile()
                    + " names no application class: set " + Settings.APPLICATION_MAIN_CLASS);
        }
        try {
            return Class.forName(name, false, RavelinMain.class.getClassLoader());
        } catch (ClassNotFoundException e) {
            throw new StartException(Failure.CLASS_NOT_LOADED, "the application class " + name
                    + " is not on the class path (" + System.getProperty("java.class.path") + ")");
        } catch (LinkageError e) {
            throw new StartException(Failure.CLASS_NOT_LOADED,
                    "the application class " + name + " cannot be loaded: " + e);
        }
    }

    /**
     * The application's main method, chosen as today's {@code java} launcher chooses it: a method {@code void
     * main(String[])} of the class or a superclass, else a method {@code void main()}, either not private; a static
     * one is called as it is, for an instance one the class needs a constructor without arguments that is not
     * private.
     */
    static Entry findMain(Class<?> application) throws StartException {
        final String name = application.getName();
        Method main = declaredMain(application, String[].class);
        if (main == null) {
            main = declaredMain(application);
        }
        if (main == null) {
            throw new StartException(Failure.NO_MAIN_METHOD, "the application class " + name
                    + " has no main method: looked for void main(String[]), then void main(), not private, static or"
                    + " in a class with a constructor without arguments");
        }
        makeAccessible(main);
        if (Modifier.isStatic(main.getModifiers())) {
            return new Entry(main, null);
        }
        final String taken = "void main(" + (main.getParameterCount() == 1 ? "String[]" : "") + ")";
        final Constructor<?> constructor;
        try {
            constructor = application.getDeclaredConstructor();
        } catch (NoSuchMethodException e) {
            throw noConstructor(name, taken);
        }
        if (Modifier.isPrivate(constructor.getModifiers()) || Modifier.isAbstract(application.getModifiers())) {
            throw noConstructor(name, taken);
        }
        makeAccessible(constructor);
        return new Entry(main, constructor);
    }

    private static StartException noConstructor(String name, String taken) {
        return new StartException(Failure.NO_MAIN_METHOD, "the application class " + name + " has the instance method "
                + taken + " but no constructor without arguments that is not private (or it is abstract)");
    }

    // The first method main of the class or of a superclass with these parameters that returns void and is not
    // private; null when there is none.
    private static Method declaredMain(Class<?> application, Class<?>... parameters) {
        for (Class<?> type = application; type != null; type = type.getSuperclass()) {
            try {
                final Method method = type.getDeclaredMethod("main", parameters);
                if (method.getReturnType() == void.class && !Modifier.isPrivate(method.getModifiers())) {
                    return method;
                }
            } catch (NoSuchMethodException e) {
                // Not declared here: perhaps in the superclass.
            }
        }
        return null;
    }

    // A class that is not public, or a main method that is not, may be started too, as by the java command.
    private static void makeAccessible(AccessibleObject member) {
        try {
            member.setAccessible(true);
        } catch (RuntimeException e) {
            // Left as it is: the call reports what it cannot reach.
        }
    }

    /** The main method that starts the application, and the constructor of its instance for an instance method. */
    static final class Entry {
        final Method main;
        final Constructor<?> constructor;

        Entry(Method main, Constructor<?> constructor) {
            this.main = main;
            this.constructor = constructor;
        }

        void call(String[] arguments) throws Throwable {
            try {
                final Object target = constructor == null ? null : constructor.newInstance();
                if (main.getParameterCount() == 1) {
                    main.invoke(target, (Object) arguments);
                } else {
                    main.invoke(target);
                }
            } catch (InvocationTargetException e) {
                throw e.getCause();
            }
        }
    }
}
