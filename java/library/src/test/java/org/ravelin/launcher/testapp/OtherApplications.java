package org.ravelin.launcher.testapp;

import java.io.BufferedReader;
import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;

import org.ravelin.launcher.LaunchContext;
import org.ravelin.launcher.testapp.base.OtherPackageArgumentsMain;
import org.ravelin.launcher.testapp.base.OtherPackageMain;

/** Application classes the ready main class must refuse, and one it must start although the class is not public. */
public final class OtherApplications {
    private OtherApplications() {}

    public static final class WithoutMain {}

    /** Each main method prints what it is and its arguments; the ones the java launcher would not start print nothing. */
    public static void started(String what, String... args) {
        System.out.println(what + (args.length == 0 ? "" : " " + String.join(" ", args)));
    }

    public static final class InstanceMain {
        public void main(String[] args) {
            started("instance main(String[])", args);
        }
    }

    static final class StaticWithoutParameters {
        static void main() {
            started("static main()");
        }
    }

    static final class InstanceWithoutParameters {
        protected void main() {
            started("instance main()");
        }
    }

    /** Today's java launcher takes a method with the String[] parameter before one without, static or not. */
    public static final class ParametersFirst {
        static void main() {
            started("static main()");
        }

        void main(String[] args) {
            started("instance main(String[])", args);
        }
    }

    static final class StaticBeforeArgumentsOnly {
        public static void main(String[] args) {
            started("static main(String[])", args);
        }

        void main() {
            started("instance main()");
        }
    }

    static class Base {
        void main() {
            started("inherited instance main()");
        }
    }

    static final class Inherited extends Base {}

    static final class PrivateArgumentsMain {
        @SuppressWarnings("unused")
        private static void main(String[] args) {
            started("private static main(String[])", args);
        }

        static void main() {
            started("static main()");
        }
    }

    static final class IntegerMainBesideInstanceMain {
        static int main(String[] args) {
            started("static int main(String[])", args);
            return 0;
        }

        void main() {
            started("instance main()");
        }
    }

    interface DefaultMain {
        default void main() {
            started("interface default main()");
        }
    }

    interface DefaultArgumentsMain {
        default void main(String[] args) {
            started("interface default main(String[])", args);
        }
    }

    interface StaticInterfaceMain {
        static void main(String[] args) {
            started("interface static main(String[])", args);
        }
    }

    interface Extending extends DefaultMain {}

    /** An interface's default method is inherited, also through another interface. */
    static final class FromInterface implements Extending {}

    /** A main(String[]) anywhere it is inherited goes before the class's own main(). */
    static final class InterfaceArgumentsFirst implements DefaultArgumentsMain {
        void main() {
            started("instance main()");
        }
    }

    static class ArgumentsBase {
        void main(String[] args) {
            started("inherited instance main(String[])", args);
        }
    }

    static final class SuperclassArgumentsFirst extends ArgumentsBase implements DefaultMain {
        @Override
        public void main() {
            started("instance main()");
        }
    }

    static final class PackageStaticMain {
        static void main(String[] args) {
            started("package static main(String[])", args);
        }
    }

    /*
     * Subclasses in another package than their superclass's main method, which they therefore do not override: the
     * nearest main method of a signature is the one the java command takes, and when that one does not count it
     * does not look past it to the superclass's.
     */
    public static final class PrivateArgumentsMainHidesBase extends OtherPackageArgumentsMain {
        @SuppressWarnings("unused")
        private void main(String[] args) {
            started("private main(String[])", args);
        }
    }

    public static final class IntegerArgumentsMainHidesBase extends OtherPackageArgumentsMain {
        int main(String[] args) {
            started("int main(String[])", args);
            return 0;
        }
    }

    public static final class PrivateMainHidesBase extends OtherPackageMain {
        @SuppressWarnings("unused")
        private void main() {
            started("private main()");
        }
    }

    /** Its main(String[]) does not count, so the java command goes on to the main() its superclass declares. */
    public static final class PrivateArgumentsMainBesideBaseMain extends OtherPackageMain {
        @SuppressWarnings("unused")
        private static void main(String[] args) {
            started("private static main(String[])", args);
        }
    }

    /** Only what the application's build knew: missing from the class path at run time. */
    public static final class OptionalDependency {}

    /**
     * Started by java although a method that is not public names a class missing from the class path: java looks
     * among the public methods alone.
     */
    public static final class PublicMainBesideOptionalDependency {
        public static void main(String[] args) {
            started("public static main(String[])", args);
        }

        void useIfPresent(OptionalDependency dependency) {}
    }

    /** Its main method is found among all the declared methods, whose signatures then need every class they name. */
    static final class InstanceMainBesideOptionalDependency {
        void main() {
            started("instance main()");
        }

        void useIfPresent(OptionalDependency dependency) {}
    }

    public static final class OnlyStaticInterfaceMain implements StaticInterfaceMain {}

    abstract static class AbstractWithMain {
        void main() {
            started("abstract class's main()");
        }
    }

    static final class PrivateMainAndIntegerMain {
        @SuppressWarnings("unused")
        private void main(String[] args) {}

        int main() {
            return 0;
        }
    }

    public static final class WithoutConstructor {
        WithoutConstructor(int unused) {}

        void main() {
            started("instance main()");
        }
    }

    public static final class PrivateConstructor {
        private PrivateConstructor() {}

        void main(String[] args) {
            started("instance main(String[])", args);
        }
    }

    public static final class IntegerMain {
        public static int main(String[] args) {
            return 0;
        }
    }

    public static final class PrivateMain {
        @SuppressWarnings("unused")
        private static void main(String[] args) {}
    }

    /** Prints when its shutdown hook runs, then waits to be ended. */
    public static final class Waiting {
        public static void main(String[] args) throws InterruptedException {
            Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("shutdown hook ran")));
            System.out.println("waiting");
            Thread.sleep(120_000);
        }
    }

    /** Writes characters beyond windows-1252 to standard output and standard error. */
    public static final class BeyondLatin1 {
        public static void main(String[] args) {
            System.out.println("out caf\u00e9 \u2192 \u4e2d");
            System.err.println("err \u20ac \ud83d\ude00");
        }
    }

    /**
     * Prints each line it reads from standard input until the input ends, whether that is the context's service
     * input, and when its shutdown hook runs.
     */
    public static final class ReadingInput {
        public static void main(String[] args) throws IOException {
            System.setOut(new PrintStream(new FileOutputStream(FileDescriptor.out), true, "UTF-8"));
            Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("shutdown hook ran")));
            System.out.println("service input is System.in: "
                    + (LaunchContext.current().get().serviceInput() == System.in));
            final BufferedReader input = new BufferedReader(new InputStreamReader(System.in, StandardCharsets.UTF_8));
            for (String line = input.readLine(); line != null; line = input.readLine()) {
                System.out.println("read: " + line);
            }
            System.out.println("input ended");
        }
    }

    /** Throws from a main method that is not public. */
    static final class NotPublicThrowing {
        public static void main(String[] args) throws IOException {
            throw new IOException("thrown by the application");
        }
    }

    /** Writes to standard output, standard error and standard output again. */
    static final class NotPublic {
        public static void main(String[] args) {
            System.out.println("standard output " + String.join(" ", args));
            System.err.println("standard error");
            System.out.println("standard output again");
        }
    }
}
