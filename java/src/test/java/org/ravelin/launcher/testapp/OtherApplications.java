package org.ravelin.launcher.testapp;

/** Application classes the ready main class must refuse, and one it must start although the class is not public. */
public final class OtherApplications {
    private OtherApplications() {}

    public static final class WithoutMain {}

    public static final class InstanceMain {
        public void main(String[] args) {}
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

    /** Writes to standard output, standard error and standard output again. */
    static final class NotPublic {
        public static void main(String[] args) {
            System.out.println("standard output " + String.join(" ", args));
            System.err.println("standard error");
            System.out.println("standard output again");
        }
    }
}
