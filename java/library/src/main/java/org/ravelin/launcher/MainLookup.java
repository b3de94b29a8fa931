package org.ravelin.launcher;

import java.lang.reflect.Constructor;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

import org.ravelin.launcher.RavelinMain.Failure;

/**
 * The main method rules of Java 25's {@code java} launcher beyond a public static {@code void main(String[])}, and the
 * texts of the failures met while looking; loaded only for a class without that method, or for a failure.
 */
final class MainLookup {
    private MainLookup() {}

    /**
     * The application's main method when it has no public static {@code void main(String[])}: a method
     * {@code void main(String[])} that the class declares or inherits, from a superclass or as an interface's default
     * method, then one {@code void main()}, either not private; for an instance method the class must not be abstract
     * and needs a constructor without arguments that is not private.
     */
    static RavelinMain find(Class<?> application) throws LaunchContextException {
        final String name = application.getName();
        final List<String> refused = new ArrayList<>();
        Method main;
        try {
            main = inheritedMain(application, refused, String[].class);
            if (main == null) {
                main = inheritedMain(application, refused);
            }
        } catch (LinkageError e) {
            throw cannotLook(application, e);
        }
        if (main == null) {
            throw new LaunchContextException(Failure.NO_MAIN_METHOD, "the application class " + name
                    + " has no main method the java command can start"
                    + (refused.isEmpty() ? "" : " (" + String.join("; ", refused) + ")")
                    + ": it starts void main(String[]) or void main(), not private");
        }
        RavelinMain.makeAccessible(application, main);
        if (Modifier.isStatic(main.getModifiers())) {
            return new RavelinMain(main, null);
        }
        final String taken = "the instance method " + signature(main);
        if (Modifier.isAbstract(application.getModifiers()) || application.isInterface()) {
            throw new LaunchContextException(Failure.NO_MAIN_METHOD, "the application class " + name + " has " + taken
                    + " but is abstract: the java command cannot make an instance of it");
        }
        Constructor<?> constructor;
        try {
            constructor = application.getDeclaredConstructor();
        } catch (NoSuchMethodException e) {
            constructor = null;
        } catch (LinkageError e) {
            throw cannotLook(application, e);
        }
        if (constructor == null || Modifier.isPrivate(constructor.getModifiers())) {
            throw new LaunchContextException(Failure.NO_MAIN_METHOD, "the application class " + name + " has " + taken
                    + " but " + (constructor == null ? "no constructor without arguments" : "its constructor without"
                    + " arguments is private")
                    + ": the java command needs one that is not private to make an instance");
        }
        RavelinMain.makeAccessible(application, constructor);
        return new RavelinMain(main, constructor);
    }

    // A class named by a signature of the application class is missing: the class cannot be loaded as a whole.
    static LaunchContextException cannotLook(Class<?> application, LinkageError e) {
        return new LaunchContextException(Failure.CLASS_NOT_LOADED, "the application class " + application.getName()
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

    // The module of the application class does not let the launcher's main class reach it: the module must export
    // the package (or open it, for what is not public), which the VM's options --add-exports or --add-opens can
    // also do.
    static LaunchContextException inaccessible(Class<?> application, RuntimeException e) {
        final String packageName = application.getName().substring(0,
                Math.max(0, application.getName().lastIndexOf('.')));
        return new LaunchContextException(Failure.NO_MAIN_METHOD, "the application class " + application.getName()
                + " is in a named module that does not export its package " + packageName + " to "
                + RavelinMain.class.getName() + " (" + e.getMessage() + "): add \"exports " + packageName
                + ";\" to the module's module-info.java (\"opens " + packageName + ";\" when the class or its main"
                + " method is not public), or the option --add-exports (--add-opens) to the Java VM's options");
    }
}
