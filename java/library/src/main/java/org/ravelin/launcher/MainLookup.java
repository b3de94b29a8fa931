package org.ravelin.launcher;

import java.lang.reflect.Constructor;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.ArrayList;
import java.util.List;

import org.ravelin.launcher.RavelinMain.Failure;

/**
 * The main method rules of Java 25's {@code java} launcher beyond a public static {@code void main(String[])}, and the
 * texts of the failures met while looking; loaded only for a class without that method, or for a failure.
 */
final class MainLookup {
    private MainLookup() {}

    /**
     * The application's main method when it has no public static {@code void main(String[])}, found as the
     * {@code java} command finds it: the nearest method {@code main(String[])} that the class declares or inherits,
     * from a superclass or as an interface's default method (the public ones first, so a public one found by
     * {@link Class#getMethod} is the one to take); when that one does not count, the nearest {@code main()}. A nearest
     * method that does not count (private, or not returning void) hides any further up. For an instance method the
     * class must not be abstract and needs a constructor without arguments that is not private.
     *
     * @param publicMain the public {@code main(String[])} of the class, as {@link Class#getMethod} finds it, or null
     */
    static RavelinMain find(Class<?> application, Method publicMain) throws LaunchContextException {
        final String name = application.getName();
        final List<String> refused = new ArrayList<>();
        Method main = publicMain;
        try {
            if (main == null) {
                main = nearest(application, true, refused, String[].class);
            }
            if (main != null && !counts(application, main, refused)) {
                main = null;
            }
            if (main == null) {
                main = nearest(application, true, refused);
                if (main != null && !counts(application, main, refused)) {
                    main = null;
                }
            }
        } catch (LinkageError e) {
            throw cannotLook(application, e);
        }
        if (main == null) {
            throw new LaunchContextException(Failure.NO_MAIN_METHOD, "the application class " + name
                    + " has no main method the java command can start"
                    + (refused.isEmpty() ? "" : " (" + String.join("; ", refused) + ")")
                    + ": it takes the nearest main(String[]), else the nearest main(), declared or inherited, and"
                    + " starts it when it returns void and is not private");
        }
        RavelinMain.makeAccessible(application, main);
        if (Modifier.isStatic(main.getModifiers())) {
            return new RavelinMain(application, main, null);
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
        return new RavelinMain(application, main, constructor);
    }

    // A class named by a signature of the application class is missing: the class cannot be loaded as a whole.
    static LaunchContextException cannotLook(Class<?> application, LinkageError e) {
        return new LaunchContextException(Failure.CLASS_NOT_LOADED, "the application class " + application.getName()
                + " cannot be loaded: looking for its main method met " + e);
    }

    // The method main with these parameters that the type declares or inherits, as the java command takes it: the
    // type's own, whatever its access; else the nearest superclass's, or a method of an interface the type
    // implements, where a class's method goes before an interface's and a subinterface's before its superinterface's.
    // Static methods of interfaces are not inherited (includeStatic false); one met is noted in refused.
    private static Method nearest(Class<?> type, boolean includeStatic, List<String> refused,
            Class<?>... parameters) {
        final Method own = declared(type, parameters);
        if (own != null) {
            if (includeStatic || !Modifier.isStatic(own.getModifiers())) {
                return own;
            }
            refused.add(describe(null, own) + " is static in an interface, and the static methods of an interface"
                    + " are not inherited");
        }
        Method found = type.getSuperclass() == null ? null
                : nearest(type.getSuperclass(), true, refused, parameters);
        for (Class<?> implemented : type.getInterfaces()) {
            final Method inherited = nearest(implemented, false, refused, parameters);
            if (found == null || inherited != null && found.getDeclaringClass().isInterface()
                    && found.getDeclaringClass().isAssignableFrom(inherited.getDeclaringClass())) {
                found = inherited;
            }
        }
        return found;
    }

    private static Method declared(Class<?> type, Class<?>... parameters) {
        try {
            return type.getDeclaredMethod("main", parameters);
        } catch (NoSuchMethodException e) {
            return null;
        }
    }

    // Whether the java command starts the method; if not, the reason is added to refused, with the method of a
    // superclass or interface it hides.
    private static boolean counts(Class<?> application, Method method, List<String> refused) {
        final String reason;
        if (Modifier.isPrivate(method.getModifiers())) {
            reason = " is private";
        } else if (method.getReturnType() != void.class) {
            reason = " returns " + method.getReturnType().getSimpleName();
        } else {
            return true;
        }
        final Class<?> owner = method.getDeclaringClass();
        final List<String> ignored = new ArrayList<>();
        Method hidden = owner.getSuperclass() == null ? null
                : nearest(owner.getSuperclass(), true, ignored, method.getParameterTypes());
        for (Class<?> implemented : owner.getInterfaces()) {
            if (hidden == null) {
                hidden = nearest(implemented, false, ignored, method.getParameterTypes());
            }
        }
        refused.add(describe(application, method) + reason
                + (hidden == null ? "" : " and hides " + describe(null, hidden)));
        return false;
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
