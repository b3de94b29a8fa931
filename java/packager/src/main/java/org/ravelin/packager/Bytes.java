package org.ravelin.packager;

import java.io.ByteArrayOutputStream;
import java.nio.charset.StandardCharsets;

/** Little-endian reads and an appending little-endian writer, as PE files and their resources need. */
final class Bytes {
    private Bytes() {}

    static int u8(byte[] b, int at) {
        return b[at] & 0xFF;
    }

    static int u16(byte[] b, int at) {
        return (b[at] & 0xFF) | (b[at + 1] & 0xFF) << 8;
    }

    static long u32(byte[] b, int at) {
        return u16(b, at) | (long) u16(b, at + 2) << 16;
    }

    /** An unsigned 32-bit field that must fit an int (offsets and sizes within a file held in memory). */
    static int i32(byte[] b, int at) {
        return (int) u32(b, at);
    }

    static void put16(byte[] b, int at, int v) {
        b[at] = (byte) v;
        b[at + 1] = (byte) (v >>> 8);
    }

    static void put32(byte[] b, int at, long v) {
        put16(b, at, (int) v & 0xFFFF);
        put16(b, at + 2, (int) (v >>> 16) & 0xFFFF);
    }

    static int alignUp(int v, int alignment) {
        return (v + alignment - 1) / alignment * alignment;
    }

    /** An appending little-endian writer. */
    static final class Writer {
        private final ByteArrayOutputStream out = new ByteArrayOutputStream();

        int size() {
            return out.size();
        }

        Writer u8(int v) {
            out.write(v);
            return this;
        }

        Writer u16(int v) {
            out.write(v);
            out.write(v >>> 8);
            return this;
        }

        Writer u32(long v) {
            u16((int) v & 0xFFFF);
            return u16((int) (v >>> 16) & 0xFFFF);
        }

        Writer bytes(byte[] b) {
            out.write(b, 0, b.length);
            return this;
        }

        /** Writes the text in UTF-16LE with a NUL after it. */
        Writer wideZ(String s) {
            bytes(s.getBytes(StandardCharsets.UTF_16LE));
            return u16(0);
        }

        Writer pad(int alignment) {
            while (out.size() % alignment != 0) {
                out.write(0);
            }
            return this;
        }

        byte[] toByteArray() {
            return out.toByteArray();
        }
    }
}
