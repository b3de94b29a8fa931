package hello;

import java.util.Arrays;

import org.ravelin.launcher.LaunchContext;

/**
 * The example application, started by the ready main class of the Java side:
 * greets, says which Java runtime runs it and what the launcher handed over,
 * writes one line to its standard error, which Hello.qel sends to a log file,
 * and ends with exit code 3, which the launcher passes on to whoever started it.
 */
public final class Main {
    private Main() {}

    /**
     * Greets and reports.
     *
     * @param args the application's own arguments
     */
    public static void main(String[] args) {
        System.out.println("Hello from the example application, on Java " + System.getProperty("java.version") + ".");
        System.out.println("my arguments: " + Arrays.toString(args));
        System.out.println("my Java runtime: " + System.getProperty("java.home"));
        LaunchContext.current().ifPresent(context -> {
            context.handoff().findVmPath().ifPresent(vm -> System.out.println("the Java VM the launcher chose: " + vm));
            System.out.println("my settings: " + context.propertiesFile());
        });
        System.err.println("Hello wrote this line to its standard error, which Hello.qel sends to logs/hello.log.");
        System.exit(3);
    }
}
