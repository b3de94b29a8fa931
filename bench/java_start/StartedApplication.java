package bench;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;

/**
 * The application of the Java start benchmark: it prints its arguments' count and, where the system has
 * {@code /proc/self/status}, the VM's peak resident memory so far ({@code VmHWM}, in KiB) as its last line.
 */
public final class StartedApplication {
    private StartedApplication() {}

    /**
     * Prints, then ends.
     *
     * @param args the arguments
     * @throws IOException when the status cannot be read
     */
    public static void main(String[] args) throws IOException {
        System.out.println("started with " + args.length + " arguments");
        if (Files.exists(Paths.get("/proc/self/status"))) {
            for (String line : Files.readAllLines(Paths.get("/proc/self/status"), StandardCharsets.ISO_8859_1)) {
                if (line.startsWith("VmHWM:")) {
                    System.out.println(line.substring("VmHWM:".length()).replace("kB", "").trim());
                }
            }
        }
    }
}
