package probe;

import java.io.IOException;
import java.lang.management.ManagementFactory;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.List;

import org.ravelin.launcher.LaunchContext;

/**
 * The application of the real-JVM tests, started by the ready main class
 * through the launcher. It writes what it observed to {@code observed.txt} in
 * its working directory (UTF-8, one {@code key=value} line each; the file
 * appears whole, as {@code stopped.txt} does), then acts on
 * its arguments: {@code print:<text>} prints the text on standard output,
 * {@code stop-hook} writes {@code stopped.txt} from a shutdown hook and waits to
 * be ended, {@code exit:<code>} ends the VM with that code, {@code second-starts}
 * registers a listener for second starts, writes {@code listening.txt} and waits:
 * the listener writes every second start's arguments to {@code second-starts.txt}
 * ({@code start.<n>.argc} and {@code start.<n>.arg.<i>} lines) and ends the VM
 * with the code of an {@code exit:<code>} among them.
 */
public final class ProbeApplication {
    private ProbeApplication() {}

    /** An application class whose only main method is private: the ready main class refuses it. */
    public static final class PrivateMain {
        private PrivateMain() {}

        @SuppressWarnings("unused")
        private static void main(String[] args) {}
    }

    /**
     * Observes, then acts.
     *
     * @param args the application's arguments
     * @throws Exception when the observations cannot be written
     */
    public static void main(String[] args) throws Exception {
        List<String> lines = new ArrayList<>();
        lines.add("argc=" + args.length);
        for (int i = 0; i < args.length; i++) {
            lines.add("arg." + i + "=" + args[i]);
        }
        lines.add("probe.text=" + System.getProperty("probe.text"));
        lines.add("jvm.arguments=" + String.join("|", ManagementFactory.getRuntimeMXBean().getInputArguments()));
        lines.add("max.heap=" + Runtime.getRuntime().maxMemory());
        lines.add("class.path=" + System.getProperty("java.class.path"));
        LaunchContext context = LaunchContext.current().orElseThrow(IllegalStateException::new);
        lines.add("handoff.vm=" + context.handoff().findVmPath().orElse(""));
        lines.add("setting.name=" + context.settings().get("qel.application.name", ""));
        writeWhole("observed.txt", String.join("\n", lines) + "\n");

        boolean wait = false;
        for (String argument : args) {
            if (argument.startsWith("print:")) {
                System.out.println(argument.substring("print:".length()));
                System.out.flush();
            } else if (argument.equals("stop-hook")) {
                Runtime.getRuntime().addShutdownHook(new Thread(ProbeApplication::stopped));
                wait = true;
            } else if (argument.startsWith("second-starts-after:")) {
                // Registers only once the test has made this file.
                writeWhole("waiting.txt", "waiting\n");
                final Path registerWhen = Paths.get(argument.substring("second-starts-after:".length()));
                while (!Files.exists(registerWhen)) {
                    Thread.sleep(50);
                }
                if (!context.addSecondStartListener(ProbeApplication::secondStart)) {
                    throw new IllegalStateException("the hand-off file names no port for second starts");
                }
                wait = true;
            } else if (argument.equals("second-starts")) {
                if (!context.addSecondStartListener(ProbeApplication::secondStart)) {
                    throw new IllegalStateException("the hand-off file names no port for second starts");
                }
                writeWhole("listening.txt", "listening\n");
                wait = true;
            } else if (argument.startsWith("exit:")) {
                System.exit(Integer.parseInt(argument.substring("exit:".length())));
            }
        }
        while (wait) {
            Thread.sleep(100);
        }
    }

    private static final List<String> SECOND_STARTS = new ArrayList<>();
    private static int secondStartCount;

    private static synchronized void secondStart(List<String> arguments) {
        final int start = secondStartCount++;
        SECOND_STARTS.add("start." + start + ".argc=" + arguments.size());
        for (int i = 0; i < arguments.size(); i++) {
            SECOND_STARTS.add("start." + start + ".arg." + i + "=" + arguments.get(i));
        }
        try {
            writeWhole("second-starts.txt", String.join("\n", SECOND_STARTS) + "\n");
        } catch (IOException e) {
            throw new IllegalStateException(e);
        }
        for (String argument : arguments) {
            if (argument.startsWith("exit:")) {
                System.exit(Integer.parseInt(argument.substring("exit:".length())));
            }
        }
    }

    private static void stopped() {
        try {
            writeWhole("stopped.txt", "stopped by the stop line\n");
        } catch (IOException e) {
            throw new IllegalStateException(e);
        }
    }

    // A test that waits for the file sees it whole or not at all: it is written
    // under another name, then renamed.
    private static void writeWhole(String name, String text) throws IOException {
        Path part = Paths.get(name + ".part");
        Files.write(part, text.getBytes(StandardCharsets.UTF_8));
        Files.move(part, Paths.get(name), StandardCopyOption.ATOMIC_MOVE, StandardCopyOption.REPLACE_EXISTING);
    }
}
