package bench;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;

/**
 * What the ready main class adds to a Java application's start: the application started as {@code java -cp app.jar
 * bench.StartedApplication} (the baseline) and as the launcher starts it, {@code java -cp ravelin-java.jar:app.jar
 * org.ravelin.launcher.RavelinMain <properties file> <hand-off file>}, with a properties file and a hand-off file
 * as the launcher writes them (this machine's environment in it). Both run by turns, the order swapped every round;
 * it prints the medians of the wall time from start to end and of the peak resident memory the application reports,
 * and the ratios, ready main class over baseline: the median of each round's ratio, so that a load on the machine
 * that comes and goes weighs on both sides of a round alike.
 *
 * <p>Arguments: the java program, the Java side's jar, the application's jar, and optionally the number of rounds
 * (41).
 */
public final class JavaStartBench {
    private JavaStartBench() {}

    /**
     * Runs the benchmark.
     *
     * @param args the java program, the Java side's jar, the application's jar[, rounds]
     * @throws Exception when a run fails
     */
    public static void main(String[] args) throws Exception {
        if (args.length < 3) {
            System.err.println("usage: JavaStartBench <java> <ravelin-java.jar> <application jar> [rounds]");
            System.exit(2);
        }
        final String java = args[0];
        final String library = Paths.get(args[1]).toAbsolutePath().toString();
        final String application = Paths.get(args[2]).toAbsolutePath().toString();
        final int rounds = args.length > 3 ? Integer.parseInt(args[3]) : 41;
        final Path dir = Files.createTempDirectory("java-start-bench");
        final Path properties = dir.resolve("Shop.qel");
        Files.write(properties, ("qel.nl.java.launcher.main.class=org.ravelin.launcher.RavelinMain\r\n"
                + "qel.application.main.class=bench.StartedApplication\r\n"
                + "qel.class.path=lib/ravelin-java.jar;lib/shop.jar\r\n"
                + "qel.application.name=Shop\r\n"
                + "qel.nl.java.option.java.heap.size.max=256m\r\n").getBytes(StandardCharsets.ISO_8859_1));
        final Path handoff = dir.resolve("qel0123456789ab.tmp");
        Files.write(handoff, handoffFile().getBytes(StandardCharsets.ISO_8859_1));

        final List<String> baseline = Arrays.asList(java, "-cp", application, "bench.StartedApplication", "a", "b");
        final List<String> ready = Arrays.asList(java, "-cp", library + File.pathSeparator + application,
                "org.ravelin.launcher.RavelinMain", properties.toString(), handoff.toString(), "a", "b");
        // One of each first, unmeasured: the file system's caches then hold both.
        run(baseline, dir);
        run(ready, dir);
        final List<Long> baseTimes = new ArrayList<>();
        final List<Long> readyTimes = new ArrayList<>();
        final List<Long> baseMemory = new ArrayList<>();
        final List<Long> readyMemory = new ArrayList<>();
        for (int round = 0; round < rounds; round++) {
            for (int turn = 0; turn < 2; turn++) {
                final boolean base = (round + turn) % 2 == 0;
                final long[] measured = run(base ? baseline : ready, dir);
                (base ? baseTimes : readyTimes).add(measured[0]);
                (base ? baseMemory : readyMemory).add(measured[1]);
            }
        }
        System.out.printf("rounds: %d, each side by turns; java: %s%n", rounds, java);
        System.out.printf("wall time, median: baseline %.1f ms, ready main class %.1f ms, ratio %.3f%n",
                median(baseTimes) / 1e6, median(readyTimes) / 1e6, medianRatio(readyTimes, baseTimes));
        if (median(baseMemory) > 0) {
            System.out.printf("peak resident memory, median: baseline %.1f MiB, ready main class %.1f MiB, ratio"
                    + " %.3f%n", median(baseMemory) / 1024.0, median(readyMemory) / 1024.0,
                    medianRatio(readyMemory, baseMemory));
        } else {
            System.out.println("peak resident memory: not reported on this system (no /proc/self/status)");
        }
    }

    // The hand-off file as the launcher writes it: the VM, the console, then this machine's environment, each variable
    // three times (lower case, upper case, exact case), escaped as the launcher escapes.
    static String handoffFile() {
        final StringBuilder file = new StringBuilder();
        file.append("qel.nl.current.vm=C\\:\\\\Program Files\\\\Java\\\\jdk-17\\\\bin\\\\javaw.exe\r\n");
        file.append("qel.console=false\r\n");
        for (Map.Entry<String, String> variable : new TreeMap<>(System.getenv()).entrySet()) {
            final String value = escaped(variable.getValue());
            file.append("qel.nl.env.").append(escaped(variable.getKey().toLowerCase())).append('=').append(value)
                    .append("\r\n");
            file.append("qel.nl.env.").append(escaped(variable.getKey().toUpperCase())).append('=').append(value)
                    .append("\r\n");
            file.append("qel.nl.env.exact_case.").append(escaped(variable.getKey())).append('=').append(value)
                    .append("\r\n");
        }
        return file.toString();
    }

    private static String escaped(String text) {
        final StringBuilder result = new StringBuilder();
        for (char c : text.toCharArray()) {
            if (c == '\\' || c == '=' || c == ':') {
                result.append('\\').append(c);
            } else if (c < 0x20 || c > 0x7E) {
                result.append(String.format("\\u%04X", (int) c));
            } else {
                result.append(c);
            }
        }
        return result.toString();
    }

    // Runs the command; its wall time in nanoseconds and the peak memory it reported in KiB (0 when none).
    private static long[] run(List<String> command, Path dir) throws IOException, InterruptedException {
        final long start = System.nanoTime();
        final Process process = new ProcessBuilder(command).directory(dir.toFile()).redirectErrorStream(true).start();
        final String output = readAll(process.getInputStream());
        final int exitCode = process.waitFor();
        final long elapsed = System.nanoTime() - start;
        final String[] lines = output.trim().split("\\R");
        if (exitCode != 0 || !lines[0].equals("started with 2 arguments")) {
            throw new IllegalStateException(command + " ended with " + exitCode + ":\n" + output);
        }
        final long memory = lines.length > 1 ? Long.parseLong(lines[lines.length - 1].trim()) : 0;
        return new long[] {elapsed, memory};
    }

    private static String readAll(InputStream input) throws IOException {
        final ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        final byte[] buffer = new byte[8192];
        for (int read = input.read(buffer); read >= 0; read = input.read(buffer)) {
            bytes.write(buffer, 0, read);
        }
        return new String(bytes.toByteArray(), StandardCharsets.UTF_8);
    }

    // The median of the rounds' ratios.
    private static double medianRatio(List<Long> ready, List<Long> base) {
        final List<Double> ratios = new ArrayList<>();
        for (int round = 0; round < base.size(); round++) {
            ratios.add((double) ready.get(round) / base.get(round));
        }
        Collections.sort(ratios);
        return ratios.get(ratios.size() / 2);
    }

    private static long median(List<Long> values) {
        final List<Long> sorted = new ArrayList<>(values);
        Collections.sort(sorted);
        return sorted.get(sorted.size() / 2);
    }
}
