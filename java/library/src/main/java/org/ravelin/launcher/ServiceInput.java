package org.ravelin.launcher;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.InterruptedIOException;
import java.nio.charset.StandardCharsets;
import java.util.ArrayDeque;

/**
 * Standard input of an application that runs as a service with a stop line: a watcher thread reads the VM's standard
 * input line by line, ends the VM with {@code System.exit(0)} on the stop line and passes every other line on,
 * unchanged with its line end, to this stream.
 */
final class ServiceInput extends InputStream {
    private final ArrayDeque<byte[]> lines = new ArrayDeque<>();
    private byte[] current;
    private int position;
    private boolean ended;

    /**
     * Takes over the VM's standard input for a context with a stop line: the stop line ends the VM, and the
     * application reads the other lines from {@link System#in} and the context's service input as before.
     */
    static void takeOver(LaunchContext context) {
        final ServiceInput input = watch(System.in, context.handoff().findStopLine().get(), () -> System.exit(0));
        context.setServiceInput(input);
        System.setIn(input);
    }

    /** Starts the daemon thread that watches the input for the stop line; returns what the application reads. */
    static ServiceInput watch(InputStream input, String stopLine, Runnable stop) {
        final ServiceInput passed = new ServiceInput();
        final Thread watcher = new Thread(() -> passed.pass(input, stopLine, stop), "ravelin-stop-watcher");
        watcher.setDaemon(true);
        watcher.start();
        return passed;
    }

    private void pass(InputStream input, String stopLine, Runnable stop) {
        final byte[] stopBytes = stopLine.getBytes(StandardCharsets.ISO_8859_1);
        final ByteArrayOutputStream line = new ByteArrayOutputStream();
        try {
            for (int b = input.read(); ; b = input.read()) {
                if (b >= 0) {
                    line.write(b);
                }
                if (b == '\n' || (b < 0 && line.size() > 0)) {
                    final byte[] bytes = line.toByteArray();
                    line.reset();
                    if (isLine(bytes, stopBytes)) {
                        stop.run();
                        return;
                    }
                    offer(bytes);
                }
                if (b < 0) {
                    break;
                }
            }
        } catch (IOException e) {
            // Standard input gone: there is no stop line to wait for, and nothing more to read.
        } finally {
            end();
        }
    }

    // Whether the bytes are the line, with or without LF or CR LF after it.
    private static boolean isLine(byte[] bytes, byte[] line) {
        int length = bytes.length;
        if (length > 0 && bytes[length - 1] == '\n') {
            length--;
            if (length > 0 && bytes[length - 1] == '\r') {
                length--;
            }
        }
        if (length != line.length) {
            return false;
        }
        for (int i = 0; i < length; i++) {
            if (bytes[i] != line[i]) {
                return false;
            }
        }
        return true;
    }

    private synchronized void offer(byte[] bytes) {
        lines.add(bytes);
        notifyAll();
    }

    private synchronized void end() {
        ended = true;
        notifyAll();
    }

    // True when bytes are there to read; false at the end. Waits for either.
    private boolean waitForBytes() throws IOException {
        while (current == null || position == current.length) {
            current = lines.poll();
            position = 0;
            if (current != null) {
                continue;
            }
            if (ended) {
                return false;
            }
            try {
                wait();
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
                throw new InterruptedIOException("interrupted while waiting for standard input");
            }
        }
        return true;
    }

    @Override
    public synchronized int read() throws IOException {
        return waitForBytes() ? current[position++] & 0xFF : -1;
    }

    @Override
    public synchronized int read(byte[] buffer, int offset, int length) throws IOException {
        if (offset < 0 || length < 0 || length > buffer.length - offset) {
            throw new IndexOutOfBoundsException();
        }
        if (length == 0) {
            return 0;
        }
        if (!waitForBytes()) {
            return -1;
        }
        final int count = Math.min(length, current.length - position);
        System.arraycopy(current, position, buffer, offset, count);
        position += count;
        return count;
    }

    @Override
    public synchronized int available() {
        int count = current == null ? 0 : current.length - position;
        for (byte[] line : lines) {
            count += line.length;
        }
        return count;
    }
}
