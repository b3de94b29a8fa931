package org.ravelin.launcher;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayInputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.net.InetAddress;
import java.net.ServerSocket;
import java.net.Socket;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.concurrent.BlockingQueue;
import java.util.concurrent.CompletableFuture;
import java.util.concurrent.LinkedBlockingQueue;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;

import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * The library's end of second starts against a relay of the test's own on the loopback, which plays the launcher:
 * what the library sends, and what reaches the listeners.
 */
class SecondStartsTest {
    private static final String TOKEN = "0123456789abcdef0123456789abcdef";
    private static final long BOUND_SECONDS = 30;

    private ServerSocket relay;

    @BeforeEach
    void listen() throws IOException {
        relay = new ServerSocket(0, 1, InetAddress.getLoopbackAddress());
    }

    @AfterEach
    void close() throws IOException {
        relay.close();
    }

    private LaunchContext context(String port, String token) {
        return LaunchContext.builder().handoffEntry(Handoff.SINGLE_INSTANCE_PORT, port)
                .handoffEntry(Handoff.SINGLE_INSTANCE_TOKEN, token).build();
    }

    // Accepts the library's connection, checks its greeting and answers it; the connection stays open.
    private CompletableFuture<Socket> acceptListener(List<String> answer) {
        return CompletableFuture.supplyAsync(() -> {
            try {
                final Socket socket = relay.accept();
                assertEquals(Arrays.asList("listen", TOKEN), SecondStarts.readFrame(socket.getInputStream()));
                socket.getOutputStream().write(SecondStarts.frame(answer));
                return socket;
            } catch (IOException e) {
                throw new IllegalStateException(e);
            }
        });
    }

    @Test
    void withoutThePortInTheHandoffFileThereIsNothingToListenTo() throws IOException {
        assertFalse(LaunchContext.builder().build().addSecondStartListener(arguments -> {}));
        assertFalse(LaunchContext.builder().handoffEntry(Handoff.SINGLE_INSTANCE_PORT, "1").build()
                .addSecondStartListener(arguments -> {}));
        final NullPointerException e = assertThrows(NullPointerException.class,
                () -> LaunchContext.builder().build().addSecondStartListener(null));
        assertEquals("listener", e.getMessage());
    }

    @Test
    void eachSecondStartReachesEveryListenerInOrder() throws Exception {
        final CompletableFuture<Socket> accepted = acceptListener(Collections.singletonList("listening"));
        final LaunchContext context = context(Integer.toString(relay.getLocalPort()), TOKEN);
        final BlockingQueue<List<String>> first = new LinkedBlockingQueue<>();
        final BlockingQueue<List<String>> second = new LinkedBlockingQueue<>();
        assertTrue(context.addSecondStartListener(first::add));
        // A listener that throws, an Error too, does not stop the others, nor later starts.
        assertTrue(context.addSecondStartListener(arguments -> {
            throw new IllegalStateException("thrown by the application");
        }));
        assertTrue(context.addSecondStartListener(arguments -> {
            throw new StackOverflowError("thrown by the application");
        }));
        assertTrue(context.addSecondStartListener(second::add));
        final List<List<String>> starts = Arrays.asList(Arrays.asList("-open", "C:\\My Files\\a.txt", ""),
                Collections.emptyList(), Arrays.asList("\u00e9\u4e2d \uD83D\uDE00", "say\"hi\"", "\t"));
        try (Socket socket = accepted.get(BOUND_SECONDS, TimeUnit.SECONDS)) {
            final OutputStream output = socket.getOutputStream();
            for (List<String> arguments : starts) {
                output.write(SecondStarts.frame(Stream.concat(Stream.of("arguments"), arguments.stream())
                        .collect(java.util.stream.Collectors.toList())));
                // A message of another kind is passed over.
                output.write(SecondStarts.frame(Collections.singletonList("something-else")));
            }
            output.flush();
            for (List<String> arguments : starts) {
                assertEquals(arguments, first.poll(BOUND_SECONDS, TimeUnit.SECONDS));
                assertEquals(arguments, second.poll(BOUND_SECONDS, TimeUnit.SECONDS));
            }
        }
    }

    // The launcher passes the arguments it kept for the application right after its answer, in the same write: the
    // first listener is in place before the library reads them.
    @Test
    void argumentsThatComeWithTheAnswerReachTheFirstListener() throws Exception {
        final List<String> kept = Arrays.asList("arguments", "-open", "kept.txt");
        final CompletableFuture<Socket> accepted = CompletableFuture.supplyAsync(() -> {
            try {
                final Socket socket = relay.accept();
                SecondStarts.readFrame(socket.getInputStream());
                final byte[] answer = SecondStarts.frame(Collections.singletonList("listening"));
                final byte[] arguments = SecondStarts.frame(kept);
                final byte[] both = Arrays.copyOf(answer, answer.length + arguments.length);
                System.arraycopy(arguments, 0, both, answer.length, arguments.length);
                socket.getOutputStream().write(both);
                return socket;
            } catch (IOException e) {
                throw new IllegalStateException(e);
            }
        });
        final BlockingQueue<List<String>> received = new LinkedBlockingQueue<>();
        assertTrue(context(Integer.toString(relay.getLocalPort()), TOKEN).addSecondStartListener(received::add));
        final Socket socket = accepted.get(BOUND_SECONDS, TimeUnit.SECONDS);
        try {
            assertEquals(kept.subList(1, kept.size()), received.poll(BOUND_SECONDS, TimeUnit.SECONDS));
        } finally {
            socket.close();
        }
    }

    // A failed registration names the port and the launcher it tried to reach.
    @Test
    void aPortWhereTheLauncherDoesNotAnswerAsTheLauncherIsAnError() throws Exception {
        final Path properties = Paths.get("shop", "Shop.qel").toAbsolutePath();
        final int port = relay.getLocalPort();
        final LaunchContext context = LaunchContext.builder().propertiesFile(properties)
                .handoffEntry(Handoff.SINGLE_INSTANCE_PORT, Integer.toString(port))
                .handoffEntry(Handoff.SINGLE_INSTANCE_TOKEN, TOKEN).build();
        final CompletableFuture<Socket> accepted = acceptListener(Collections.singletonList("not-this"));
        final IOException e = assertThrows(IOException.class, () -> context.addSecondStartListener(arguments -> {}));
        assertEquals("the listener for second starts cannot be registered with the launcher of " + properties
                + " at 127.0.0.1 port " + port + ": did not take the listener: [not-this]", e.getMessage());
        accepted.get(BOUND_SECONDS, TimeUnit.SECONDS).close();

        final IOException noPort = assertThrows(IOException.class,
                () -> context("no port", TOKEN).addSecondStartListener(arguments -> {}));
        assertTrue(noPort.getMessage().contains("no port"), noPort.getMessage());
        relay.close();
        final IOException closed = assertThrows(IOException.class, () -> context.addSecondStartListener(arguments -> {}));
        assertTrue(closed.getMessage().startsWith("the listener for second starts cannot be registered with the "
                + "launcher of " + properties + " at 127.0.0.1 port " + port + ": "), closed.getMessage());
    }

    @Test
    void framesAreALengthAndUtf8FieldsBetweenZeroBytes() throws IOException {
        assertArrayEquals(new byte[] {0, 0, 0, 5, 'a', 'b', 0, (byte) 0xc3, (byte) 0xa9},
                SecondStarts.frame(Arrays.asList("ab", "\u00e9")));
        assertEquals(Arrays.asList("arguments", "", ""), SecondStarts.readFrame(new ByteArrayInputStream(
                SecondStarts.frame(Arrays.asList("arguments", "", "")))));
    }

    static Stream<byte[]> brokenFrames() {
        return Stream.of(new byte[] {0, 0x10, 0, 1}, new byte[] {(byte) 0xff, (byte) 0xff, (byte) 0xff, (byte) 0xff},
                new byte[] {0, 0, 0, 1, (byte) 0xc3}, new byte[] {0, 0, 0, 2, (byte) 0xc0, (byte) 0xaf},
                new byte[] {0, 0, 0, 3, (byte) 0xed, (byte) 0xa0, (byte) 0x80}, new byte[] {0, 0, 0, 4, 'a'},
                new byte[] {0, 0});
    }

    @ParameterizedTest
    @MethodSource("brokenFrames")
    void aBrokenFrameIsAnError(byte[] bytes) {
        assertThrows(IOException.class, () -> SecondStarts.readFrame(new ByteArrayInputStream(bytes)));
    }
}
