package org.ravelin.launcher;

import java.awt.GraphicsEnvironment;
import java.lang.reflect.AccessibleObject;
import java.lang.reflect.Constructor;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.function.Consumer;

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
 * end of the file, which is created when missing (with its missing folders), in UTF-8 whatever the VM's default
 * charset; {@code console} (any case) and an empty value leave the output as it is. When both name the same file, both outputs share one stream.
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
        /**
         * The launcher's arguments are missing, or the properties or hand-off file cannot be read, is not a regular
         * file or is larger than any launcher's.
         */
        CONTEXT(2),
        /** A redirect setting names no usable file name, or its file or a missing folder of it cannot be made. */
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

    // The application class, the main method that starts it, and the constructor of its instance for an instance
    // method. An instance of this class is the application's entry, so that no class of its own is loaded for it.
    private final Class<?> application;
    private final Method main;
    private final Constructor<?> constructor;

    RavelinMain(Class<?> application, Method main, Constructor<?> constructor) {
        this.application = application;
        this.main = main;
        this.constructor = constructor;
    }

    /**
     * Starts the application the settings name, or ends the VM with a code of {@link Failure}.
     *
     * @param args the launcher's two arguments (the properties file, the hand-off file), then the application's
     * @throws Throwable what the application's main method throws, unchanged
     */
    public static void main(String[] args) throws Throwable {
        final RavelinMain main;
        LaunchContext context = null;
        try {
            context = LaunchContext.fromArguments(args);
            if (!context.stdoutRedirect().isEmpty() || !context.stderrRedirect().isEmpty()) {
                Redirects.apply(context);
            }
            main = findMain(applicationClass(context));
        } catch (LaunchContextException e) {
            reportFailure(context, e.getMessage());
            System.exit(e.failure().exitCode());
            return;
        }
        LaunchContext.setCurrent(context);
        if (context.handoff().findStopLine().isPresent()) {
            ServiceInput.takeOver(context);
        }
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


    // The application class named by the settings, loaded but not initialized. The java command takes a name with
    // slashes for dots too ("shop/Main").
    private static Class<?> applicationClass(LaunchContext context) throws LaunchContextException {
        final String name = context.settings().get(Settings.APPLICATION_MAIN_CLASS, "").replace('/', '.');
        if (name.isEmpty()) {
            throw new LaunchContextException(Failure.NO_APPLICATION_CLASS, "the properties file "
                    + context.propertiesFile() + " names no application class: set " + Settings.APPLICATION_MAIN_CLASS);
        }
        try {
            return Class.forName(name, false, RavelinMain.class.getClassLoader());
        } catch (ClassNotFoundException e) {
            throw new LaunchContextException(Failure.CLASS_NOT_LOADED, "the application class " + name
                    + " is not on the class path (" + System.getProperty("java.class.path") + ")");
        } catch (LinkageError e) {
            throw new LaunchContextException(Failure.CLASS_NOT_LOADED,
                    "the application class " + name + " cannot be loaded: " + e);
        }
    }

    /**
     * The application's main method, chosen as the {@code java} launcher of Java 25 chooses it. A public static
     * {@code void main(String[])} first, found among the public methods alone, so that a class whose other methods
     * name classes missing from the class path (optional dependencies) starts as with {@code java}; else the further
     * rules of {@link MainLookup}, which are loaded only then.
     */
    static RavelinMain findMain(Class<?> application) throws LaunchContextException {
        Method main;
        try {
            main = application.getMethod("main", String[].class);
        } catch (NoSuchMethodException e) {
            main = null;
        } catch (LinkageError e) {
            throw MainLookup.cannotLook(application, e);
        }
        if (main == null || !Modifier.isStatic(main.getModifiers()) || main.getReturnType() != void.class) {
            return MainLookup.find(application, main);
        }
        makeAccessible(application, main);
        return new RavelinMain(application, main, null);
    }

    // A class or main method that is not public may be started too, as by the java command, unless a named module
    // keeps it from the launcher's main class.
    static void makeAccessible(Class<?> application, AccessibleObject member) throws LaunchContextException {
        try {
            member.setAccessible(true);
        } catch (RuntimeException e) {
            // A security manager's refusal leaves it as it is: the call reports what it cannot reach. Else it is an
            // InaccessibleObjectException (Java 9 and later).
            if (!(e instanceof SecurityException)) {
                throw MainLookup.inaccessible(application, e);
            }
        }
    }

    /**
     * Calls the main method with the arguments: on an instance made with the constructor when there is one, else as a
     * static method. A public one is called by {@link DirectEntry}, as the VM's own launcher calls it, without
     * reflection; others by reflection.
     */
    void call(String[] arguments) throws Throwable {
        final Consumer<Object> entry = DirectEntry.of(application, main, constructor);
        if (entry != null) {
            entry.accept(arguments);
            return;
        }
        try {
            final Object target = constructor == null ? null : constructor.newInstance();
            if (main.getParameterCount() == 1) {
                main.invoke(target, (Object) arguments);
            } else {
                main.invoke(target);
            }
        } catch (ReflectiveOperationException e) {
            // What the application threw comes in an InvocationTargetException, caught as its superclass: the VM
            // loads the class a catch names when it checks this class, at every start, and the superclass is loaded
            // already.
            throw e instanceof InvocationTargetException ? e.getCause() : e;
        }
    }
}
