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
 * What the ready main class adds to a Java application's start, on each Java runtime given: the application started
 * as {@code java -cp app.jar bench.StartedApplication} (the baseline) and as the launcher starts it, {@code java -cp
 * ravelin-java.jar:app.jar org.ravelin.launcher.RavelinMain <properties file> <hand-off file>}, with a properties
 * file and a hand-off file as the launcher writes them (this machine's environment in it). On Java 19 and later also
 * as the launcher starts it with a per-user class-data archive ({@code -XX:SharedArchiveFile} with
 * {@code -XX:+AutoCreateSharedArchive}), which the first start, unmeasured, makes. All sides run by turns, the order
 * turned every round; it prints, per runtime, the medians of the wall time from start to end and of the peak resident
 * memory the application reports, and the ratios over the baseline: the median of each round's ratio, so that a load
 * on the machine that comes and goes weighs on both sides of a round alike.
 *
 * <p>Arguments: the Java side's jar, the application's jar, the number of rounds, then the java programs.
 */
public final class JavaStartBench {
    private JavaStartBench() {}

    /**
     * Runs the benchmark.
     *
     * @param args the Java side's jar, the application's jar, rounds, java programs
     * @throws Exception when a run fails
     */
    public static void main(String[] args) throws Exception {
        if (args.length < 4) {
            System.err.println("usage: JavaStartBench <ravelin-java.jar> <application jar> <rounds> <java>...");
            System.exit(2);
        }
        final String library = Paths.get(args[0]).toAbsolutePath().toString();
        final String application = Paths.get(args[1]).toAbsolutePath().toString();
        final int rounds = Integer.parseInt(args[2]);
        final Path dir = Files.createTempDirectory("java-start-bench");
        final Path properties = dir.resolve("Shop.qel");
        Files.write(properties, ("qel.nl.java.launcher.main.class=org.ravelin.launcher.RavelinMain\r\n"
                + "qel.application.main.class=bench.StartedApplication\r\n"
                + "qel.class.path=lib/ravelin-java.jar;lib/shop.jar\r\n"
                + "qel.application.name=Shop\r\n"
                + "qel.nl.java.option.java.heap.size.max=256m\r\n").getBytes(StandardCharsets.ISO_8859_1));
        final Path handoff = dir.resolve("qel0123456789ab.tmp");
        Files.write(handoff, handoffFile().getBytes(StandardCharsets.ISO_8859_1));
        for (int i = 3; i < args.length; i++) {
            measure(args[i], library, application, rounds, dir, properties, handoff);
        }
    }

    // The sides on one runtime, by turns.
    private static void measure(String java, String library, String application, int rounds, Path dir,
            Path properties, Path handoff) throws IOException, InterruptedException {
        final int feature = featureVersion(java);
        final List<List<String>> sides = new ArrayList<>();
        sides.add(Arrays.asList(java, "-cp", application, "bench.StartedApplication", "a", "b"));
        final List<String> ready = Arrays.asList("-cp", library + File.pathSeparator + application,
                "org.ravelin.launcher.RavelinMain", properties.toString(), handoff.toString(), "a", "b");
        final List<String> plain = new ArrayList<>(Collections.singletonList(java));
        plain.addAll(ready);
        sides.add(plain);
        if (feature >= 19) {
            final Path archive = dir.resolve("java" + feature + ".jsa");
            Files.deleteIfExists(archive);
            final List<String> archived = new ArrayList<>(Arrays.asList(java, "-XX:SharedArchiveFile=" + archive,
                    "-XX:+AutoCreateSharedArchive"));
            archived.addAll(ready);
            sides.add(archived);
        }
        final String[] names = {"direct start", "ready main class", "ready main class with class-data archive"};
        // One of each first, unmeasured: the file system's caches then hold them, and the archive is made.
        for (List<String> side : sides) {
            run(side, dir);
        }
        final List<List<Long>> times = new ArrayList<>();
        final List<List<Long>> memory = new ArrayList<>();
        for (int side = 0; side < sides.size(); side++) {
            times.add(new ArrayList<>());
            memory.add(new ArrayList<>());
        }
        for (int round = 0; round < rounds; round++) {
            for (int turn = 0; turn < sides.size(); turn++) {
                final int side = (round + turn) % sides.size();
                final long[] measured = run(sides.get(side), dir);
                times.get(side).add(measured[0]);
                memory.get(side).add(measured[1]);
            }
        }
        System.out.printf("java %d (%s): %d rounds, each side by turns%n", feature, java, rounds);
        for (int side = 0; side < sides.size(); side++) {
            // The peak memory is the application's own report, which needs /proc/self/status.
            final boolean withMemory = median(memory.get(0)) > 0;
            final String ratios = side == 0 ? "" : String.format(", ratio %.3f wall time", medianRatio(times.get(side),
                    times.get(0))) + (withMemory ? String.format(", %.3f memory", medianRatio(memory.get(side),
                    memory.get(0))) : "");
            System.out.printf("  %-40s wall time %6.1f ms, peak resident memory %5.1f MiB%s%n", names[side],
                    median(times.get(side)) / 1e6, median(memory.get(side)) / 1024.0, ratios);
        }
    }

    // The runtime's feature version, from the release file of its home (the java program's parent's parent).
    static int featureVersion(String java) throws IOException {
        final Path release = Paths.get(java).toAbsolutePath().getParent().getParent().resolve("release");
        for (String line : Files.readAllLines(release, StandardCharsets.UTF_8)) {
            if (line.startsWith("JAVA_VERSION=")) {
                final String version = line.substring("JAVA_VERSION=".length()).replace("\"", "");
                final String[] parts = version.split("[._+-]");
                final int first = Integer.parseInt(parts[0]);
                return first == 1 ? Integer.parseInt(parts[1]) : first;
            }
        }
        throw new IOException(release + " names no JAVA_VERSION");
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
