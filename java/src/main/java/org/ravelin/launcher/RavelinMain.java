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
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;

/**
 * A ready main class for the launcher: name it in {@value Settings#MAIN_CLASS} and the application's class in
 * {@value Settings#APPLICATION_MAIN_CLASS}. It reads the {@link LaunchContext}, applies the two redirect settings,
 * then calls the application's main method with the application's own arguments as the user typed them
 * ({@link LaunchContext#applicationArguments()}); the application finds the context with
 * {@link LaunchContext#current()}.
 *
 * <p>The main method is chosen as the {@code java} launcher of Java 25 chooses it, on every VM: a public static
 * {@code void main(String[])} first; else {@code void main(String[])}, then {@code void main()}, declared by the class,
 * inherited from a superclass or an interface's default method, not private (the class itself need not be public). A
 * static one is called as it is; for an instance one, the class is instantiated with its constructor without
 * arguments, which must not be private. The class may be named with slashes for dots ({@code shop/Main}).
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
 * ({@link Handoff#stopLine()}): a daemon thread then takes over the VM's standard input and, on that line, ends the
 * VM with {@code System.exit(0)}, so that the application's shutdown hooks run before the service stops. Every other
 * line goes on, unchanged, to {@link System#in}, which it replaces, and to {@link LaunchContext#serviceInput()}: an
 * application that reads standard input keeps working.
 */
public final class RavelinMain {
    /** Why the application did not start, and the VM's exit code for it. */
    public enum Failure {
        /** The launcher's arguments are missing, or the properties or hand-off file cannot be read. */
        CONTEXT(2),
        /** A redirect setting names no usable file name, or its file cannot be opened. */
        REDIRECT(3),
        /** The properties file names no application class. */
        NO_APPLICATION_CLASS(4),
        /**
         * The application class is not on the class path or cannot be loaded, or looking for its main method met a
         * {@link LinkageError} (a method of the class names a class missing from the class path).
         */
        CLASS_NOT_LOADED(5),
        /**
         * The application class has no main method that the {@code java} launcher would start, or its named module
         * keeps it from the ready main class.
         */
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
        final String stopLine = context.handoff().stopLine();
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
        StartException failure = null;
        Path out = null;
        PrintStream outStream = null;
        try {
            out = redirectFile(context, Settings.STDOUT_REDIRECT, context.stdoutRedirect());
            outStream = out == null ? null : open(out, Settings.STDOUT_REDIRECT);
        } catch (StartException e) {
            failure = e;
        }
        PrintStream errStream = null;
        try {
            final Path err = redirectFile(context, Settings.STDERR_REDIRECT, context.stderrRedirect());
            if (err != null) {
                errStream = outStream != null && sameFile(out, err) ? outStream : open(err, Settings.STDERR_REDIRECT);
            }
        } catch (StartException e) {
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
    private static Path redirectFile(LaunchContext context, String key, String value) throws StartException {
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
            throw new StartException(Failure.REDIRECT, "the value of " + key + ", \"" + visible(value)
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

    // The application class named by the settings, loaded but not initialized. The java command takes a name with
    // slashes for dots too ("shop/Main").
    private static Class<?> applicationClass(LaunchContext context) throws StartException {
        final String name = context.settings().get(Settings.APPLICATION_MAIN_CLASS, "").replace('/', '.');
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
     * The application's main method, chosen as the {@code java} launcher of Java 25 chooses it. A public static
     * {@code void main(String[])} first, found among the public methods alone, so that a class whose other methods
     * name classes missing from the class path (optional dependencies) starts as with {@code java}. Else a method
     * {@code void main(String[])} that the class declares or inherits, from a superclass or as an interface's default
     * method, then one {@code void main()}, either not private; for an instance method the class must not be abstract
     * and needs a constructor without arguments that is not private.
     */
    static Entry findMain(Class<?> application) throws StartException {
        final String name = application.getName();
        try {
            final Method main = application.getMethod("main", String[].class);
            if (Modifier.isStatic(main.getModifiers()) && main.getReturnType() == void.class) {
                makeAccessible(application, main);
                return new Entry(main, null);
            }
        } catch (NoSuchMethodException e) {
            // No public one: the other rules may find one.
        } catch (LinkageError e) {
            throw cannotLook(name, e);
        }
        final List<String> refused = new ArrayList<>();
        Method main;
        try {
            main = inheritedMain(application, refused, String[].class);
            if (main == null) {
                main = inheritedMain(application, refused);
            }
        } catch (LinkageError e) {
            throw cannotLook(name, e);
        }
        if (main == null) {
            throw new StartException(Failure.NO_MAIN_METHOD, "the application class " + name + " has no main method"
                    + " the java command can start" + (refused.isEmpty() ? "" : " (" + String.join("; ", refused) + ")")
                    + ": it starts void main(String[]) or void main(), not private");
        }
        makeAccessible(application, main);
        if (Modifier.isStatic(main.getModifiers())) {
            return new Entry(main, null);
        }
        final String taken = "the instance method " + signature(main);
        if (Modifier.isAbstract(application.getModifiers()) || application.isInterface()) {
            throw new StartException(Failure.NO_MAIN_METHOD, "the application class " + name + " has " + taken
                    + " but is abstract: the java command cannot make an instance of it");
        }
        Constructor<?> constructor;
        try {
            constructor = application.getDeclaredConstructor();
        } catch (NoSuchMethodException e) {
            constructor = null;
        } catch (LinkageError e) {
            throw cannotLook(name, e);
        }
        if (constructor == null || Modifier.isPrivate(constructor.getModifiers())) {
            throw new StartException(Failure.NO_MAIN_METHOD, "the application class " + name + " has " + taken
                    + " but " + (constructor == null ? "no constructor without arguments" : "its constructor without"
                    + " arguments is private") + ": the java command needs one that is not private to make an instance");
        }
        makeAccessible(application, constructor);
        return new Entry(main, constructor);
    }

    private static StartException cannotLook(String name, LinkageError e) {
        return new StartException(Failure.CLASS_NOT_LOADED, "the application class " + name
                + " cannot be loaded: looking for its main method met " + e);
    }

    // The method main with these parameters that the class declares or inherits, as the java command takes it: the
    // class's own or the nearest superclass's, else a default method of an interface the class implements (nearest
    // first). Static methods of interfaces are not inherited. Candidates that do not count are described in refused.
    private static Method inheritedMain(Class<?> application, List<String> refused, Class<?>... parameters) {
        final List<Class<?>> interfaces = new ArrayList<>();
        for (Class<?> type = application; type != null; type = type.getSuperclass()) {
            final Method method = declared(type, parameters);
            if (method != null && counts(application, method, refused)) {
                return method;
            }
            interfaces.addAll(Arrays.asList(type.getInterfaces()));
        }
        for (int i = 0; i < interfaces.size(); i++) {
            final Class<?> type = interfaces.get(i);
            final Method method = declared(type, parameters);
            if (method != null) {
                if (Modifier.isStatic(method.getModifiers())) {
                    refused.add(describe(application, method) + " is static in an interface, and the static methods"
                            + " of an interface are not inherited");
                } else if (!Modifier.isAbstract(method.getModifiers()) && counts(application, method, refused)) {
                    return method;
                }
            }
            interfaces.addAll(Arrays.asList(type.getInterfaces()));
        }
        return null;
    }

    private static Method declared(Class<?> type, Class<?>... parameters) {
        try {
            return type.getDeclaredMethod("main", parameters);
        } catch (NoSuchMethodException e) {
            return null;
        }
    }

    private static boolean counts(Class<?> application, Method method, List<String> refused) {
        if (Modifier.isPrivate(method.getModifiers())) {
            refused.add(describe(application, method) + " is private");
            return false;
        }
        if (method.getReturnType() != void.class) {
            refused.add(describe(application, method) + " returns " + method.getReturnType().getSimpleName());
            return false;
        }
        return true;
    }

    // "main(String[])", with the declaring type when it is not the application class.
    private static String describe(Class<?> application, Method method) {
        final Class<?> owner = method.getDeclaringClass();
        return signature(method).substring("void ".length()) + (owner == application ? ""
                : " of " + (owner.isInterface() ? "the interface " : "the class ") + owner.getName());
    }

    private static String signature(Method method) {
        return "void main(" + (method.getParameterCount() == 1 ? "String[]" : "") + ")";
    }

    // A class or main method that is not public may be started too, as by the java command, unless a named module
    // keeps it from the launcher's main class: the module must export the package (or open it, for what is not
    // public), which a command line's --add-exports or --add-opens can also do.
    private static void makeAccessible(Class<?> application, AccessibleObject member) throws StartException {
        try {
            member.setAccessible(true);
        } catch (SecurityException e) {
            // Left as it is: the call reports what it cannot reach.
        } catch (RuntimeException e) {
            // InaccessibleObjectException (Java 9 and later), named here by its text alone: the bytecode is Java 8's.
            final String packageName = application.getName().substring(0,
                    Math.max(0, application.getName().lastIndexOf('.')));
            throw new StartException(Failure.NO_MAIN_METHOD, "the application class " + application.getName()
                    + " is in a named module that does not export its package " + packageName + " to "
                    + RavelinMain.class.getName() + " (" + e.getMessage() + "): add \"exports " + packageName
                    + ";\" to the module's module-info.java (\"opens " + packageName + ";\" when the class or its main"
                    + " method is not public), or the option --add-exports (--add-opens) to the Java VM's options");
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
