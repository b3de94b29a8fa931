package org.ravelin.packager;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;

/**
 * A PE file's headers read on their own (not with the packager's reader), and the rules of the layout Windows loads:
 * sections in order without overlap, sizes aligned, the image size and the checksum as the file says.
 */
final class Headers {
    final int sections;
    final String[] names;
    final long[] va;
    final long[] vsize;
    final long[] rawPtr;
    final long[] rawSize;
    final long[] dirRva = new long[16];
    final long[] dirSize = new long[16];
    final long sectionAlignment;
    final long fileAlignment;
    final long sizeOfImage;
    final long sizeOfHeaders;
    final long initializedData;
    final long checksum;
    final int checksumAt;

    Headers(byte[] b) {
        final ByteBuffer buf = ByteBuffer.wrap(b).order(ByteOrder.LITTLE_ENDIAN);
        final int pe = buf.getInt(0x3C);
        assertEquals(0x4550, buf.getInt(pe));
        sections = buf.getShort(pe + 6) & 0xFFFF;
        final int optional = pe + 24;
        final int optionalSize = buf.getShort(pe + 20) & 0xFFFF;
        assertEquals(0x20B, buf.getShort(optional) & 0xFFFF);
        initializedData = buf.getInt(optional + 8) & 0xFFFFFFFFL;
        sectionAlignment = buf.getInt(optional + 32) & 0xFFFFFFFFL;
        fileAlignment = buf.getInt(optional + 36) & 0xFFFFFFFFL;
        sizeOfImage = buf.getInt(optional + 56) & 0xFFFFFFFFL;
        sizeOfHeaders = buf.getInt(optional + 60) & 0xFFFFFFFFL;
        checksumAt = optional + 64;
        checksum = buf.getInt(checksumAt) & 0xFFFFFFFFL;
        for (int i = 0; i < 16; i++) {
            dirRva[i] = buf.getInt(optional + 112 + 8 * i) & 0xFFFFFFFFL;
            dirSize[i] = buf.getInt(optional + 116 + 8 * i) & 0xFFFFFFFFL;
        }
        names = new String[sections];
        va = new long[sections];
        vsize = new long[sections];
        rawPtr = new long[sections];
        rawSize = new long[sections];
        for (int i = 0; i < sections; i++) {
            final int s = optional + optionalSize + 40 * i;
            names[i] = new String(b, s, 8, java.nio.charset.StandardCharsets.ISO_8859_1).replace("\0", "");
            vsize[i] = buf.getInt(s + 8) & 0xFFFFFFFFL;
            va[i] = buf.getInt(s + 12) & 0xFFFFFFFFL;
            rawSize[i] = buf.getInt(s + 16) & 0xFFFFFFFFL;
            rawPtr[i] = buf.getInt(s + 20) & 0xFFFFFFFFL;
        }
    }

    int section(String name) {
        for (int i = 0; i < sections; i++) {
            if (names[i].equals(name)) {
                return i;
            }
        }
        throw new AssertionError("no section " + name);
    }

    /** Checks the layout rules of a file's headers. */
    static void check(byte[] b) {
        final Headers h = new Headers(b);
        long nextVa = align(h.sizeOfHeaders, h.sectionAlignment);
        long nextRaw = h.sizeOfHeaders;
        for (int i = 0; i < h.sections; i++) {
            assertEquals(nextVa, h.va[i], h.names[i] + " starts where the one before ends");
            assertEquals(0, h.rawSize[i] % h.fileAlignment, h.names[i] + " raw size aligned");
            if (h.rawSize[i] != 0) {
                assertEquals(nextRaw, h.rawPtr[i], h.names[i] + " raw data follows the one before");
                nextRaw = h.rawPtr[i] + h.rawSize[i];
            }
            nextVa = h.va[i] + align(Math.max(h.vsize[i], h.rawSize[i]), h.sectionAlignment);
        }
        assertEquals(nextVa, h.sizeOfImage, "SizeOfImage");
        assertEquals(nextRaw, b.length, "the file ends with its last section");
        assertEquals(checksum(b, h.checksumAt), h.checksum, "checksum");
    }

    static long align(long v, long a) {
        return (v + a - 1) / a * a;
    }

    /** The PE checksum, written from its definition: 16-bit words summed with carries folded, plus the length. */
    static long checksum(byte[] b, int checksumAt) {
        long sum = 0;
        for (int i = 0; i + 1 < b.length; i += 2) {
            final int word = i == checksumAt || i == checksumAt + 2 ? 0 : (b[i] & 0xFF) | (b[i + 1] & 0xFF) << 8;
            sum += word;
            if (sum > 0xFFFF) {
                sum = (sum & 0xFFFF) + 1;
            }
        }
        if (b.length % 2 != 0) {
            sum += b[b.length - 1] & 0xFF;
            sum = (sum & 0xFFFF) + (sum >> 16);
        }
        return sum + b.length;
    }
}
