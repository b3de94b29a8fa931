package org.ravelin.launcher;

import java.io.DataInputStream;
import java.io.EOFException;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.net.InetAddress;
import java.net.InetSocketAddress;
import java.net.Socket;
import java.nio.ByteBuffer;
import java.nio.CharBuffer;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.CodingErrorAction;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.concurrent.CopyOnWriteArrayList;

/**
 * The library's end of the launcher's relay for second starts. The launcher listens on 127.0.0.1 at the hand-off
 * file's {@value Handoff#SINGLE_INSTANCE_PORT}; every message is a frame, its length as four bytes (most significant
 * first), then that many bytes of UTF-8, fields separated by the byte 0. This end sends {@code listen} and the
 * token, waits for {@code listening}, then reads {@code arguments} frames, one for each second start, and calls the
 * listeners with them on one daemon thread.
 */
final class SecondStarts {
    /** The largest frame accepted, as the launcher's. */
    static final int FRAME_LIMIT = 1 << 20;

    private static final int CONNECT_TIMEOUT_MS = 10000;

    private final List<SecondStartListener> listeners = new CopyOnWriteArrayList<>();
    private final Socket socket;

    private SecondStarts(Socket socket) {
        this.socket = socket;
    }

    /**
     * Connects to the launcher at this port with this token and registers the first listener before anything can
     * arrive for it; throws, naming the port and the launcher, when it does not answer as the launcher.
     *
     * @param launcher which launcher the port is said to be of, for the failure's text
     */
    static SecondStarts connect(int port, String token, SecondStartListener first, String launcher)
            throws IOException {
        final Socket socket = new Socket();
        try {
            socket.connect(new InetSocketAddress(InetAddress.getLoopbackAddress(), port), CONNECT_TIMEOUT_MS);
            socket.setSoTimeout(CONNECT_TIMEOUT_MS);
            final OutputStream output = socket.getOutputStream();
            output.write(frame(Arrays.asList("listen", token)));
            output.flush();
            final List<String> answer = readFrame(socket.getInputStream());
            if (!answer.equals(Collections.singletonList("listening"))) {
                throw new IOException("did not take the listener: " + answer);
            }
            socket.setSoTimeout(0);
        } catch (IOException e) {
            socket.close();
            throw new IOException("the listener for second starts cannot be registered with " + launcher
                    + " at 127.0.0.1 port " + port + ": " + (e.getMessage() != null ? e.getMessage()
                            : e.getClass().getName()), e);
        }
        final SecondStarts starts = new SecondStarts(socket);
        // Arguments the launcher kept for the application come at once: the listener is there to take them.
        starts.add(first);
        final Thread thread = new Thread(starts::deliver, "ravelin-second-starts");
        thread.setDaemon(true);
        thread.start();
        return starts;
    }

    void add(SecondStartListener listener) {
        listeners.add(listener);
    }

    private void deliver() {
        try {
            final InputStream input = socket.getInputStream();
            while (true) {
                final List<String> fields = readFrame(input);
                if (fields.isEmpty() || !fields.get(0).equals("arguments")) {
                    continue;
                }
                final List<String> arguments = Collections.unmodifiableList(new ArrayList<>(fields.subList(1, fields.size())));
                for (SecondStartListener listener : listeners) {
                    try {
                        listener.secondStart(arguments);
                    } catch (Throwable e) {
                        // An application's fault, an Error too, ends neither the delivery to the other
                        // listeners nor to later second starts.
                        e.printStackTrace();
                    }
                }
            }
        } catch (IOException e) {
            // The launcher has ended: no more second starts.
        } finally {
            try {
                socket.close();
            } catch (IOException e) {
                // Nothing more to do with it.
            }
        }
    }

    /** The frame of these fields. */
    static byte[] frame(List<String> fields) {
        final byte[] text = String.join("\0", fields).getBytes(StandardCharsets.UTF_8);
        return ByteBuffer.allocate(4 + text.length).putInt(text.length).put(text).array();
    }

    /** The fields of the next frame; throws at the end of the stream, on a frame beyond the limit or broken UTF-8. */
    static List<String> readFrame(InputStream input) throws IOException {
        final DataInputStream data = new DataInputStream(input);
        final int length;
        try {
            length = data.readInt();
        } catch (EOFException e) {
            throw new EOFException("the launcher closed the connection");
        }
        if (length < 0 || length > FRAME_LIMIT) {
            throw new IOException("a frame of " + Integer.toUnsignedString(length) + " bytes, more than "
                    + FRAME_LIMIT);
        }
        final byte[] text = new byte[length];
        data.readFully(text);
        final CharBuffer chars;
        try {
            chars = StandardCharsets.UTF_8.newDecoder().onMalformedInput(CodingErrorAction.REPORT)
                    .onUnmappableCharacter(CodingErrorAction.REPORT).decode(ByteBuffer.wrap(text));
        } catch (CharacterCodingException e) {
            throw new IOException("a frame that is not UTF-8", e);
        }
        return Arrays.asList(chars.toString().split("\0", -1));
    }
}
