package org.ravelin.packager;

import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;

/**
 * A version resource (VS_VERSIONINFO) as a tree of keyed nodes: the fixed file information and the string and
 * variable blocks under it. Nodes not changed are written back with the same bytes.
 */
final class VersionInfo {
    /** A node: its key, its type (1 text, 0 binary), its value and its children. */
    static final class Node {
        final String key;
        final int type;
        byte[] value;
        final List<Node> children = new ArrayList<>();

        Node(String key, int type, byte[] value) {
            this.key = key;
            this.type = type;
            this.value = value;
        }

        Node child(String childKey) {
            for (Node c : children) {
                if (c.key.equals(childKey)) {
                    return c;
                }
            }
            return null;
        }
    }

    private VersionInfo() {}

    static Node read(byte[] b, String what) throws PackagerException {
        return readNode(b, 0, b.length, 0, what);
    }

    private static Node readNode(byte[] b, int at, int limit, int depth, String what) throws PackagerException {
        if (depth > 4 || at + 6 > limit) {
            throw new PackagerException(what + ": its version information is damaged");
        }
        final int length = Bytes.u16(b, at);
        final int valueLength = Bytes.u16(b, at + 2);
        final int type = Bytes.u16(b, at + 4);
        final int end = at + length;
        if (length < 6 || end > limit) {
            throw new PackagerException(what + ": its version information is damaged");
        }
        int p = at + 6;
        final StringBuilder key = new StringBuilder();
        while (true) {
            if (p + 2 > end) {
                throw new PackagerException(what + ": its version information is damaged");
            }
            final int c = Bytes.u16(b, p);
            p += 2;
            if (c == 0) {
                break;
            }
            key.append((char) c);
        }
        p = Bytes.alignUp(p - at, 4) + at;
        final int valueBytes = type == 1 ? 2 * valueLength : valueLength;
        if (p + valueBytes > end) {
            throw new PackagerException(what + ": its version information is damaged");
        }
        final Node node = new Node(key.toString(), type, java.util.Arrays.copyOfRange(b, p, p + valueBytes));
        p = Bytes.alignUp(p + valueBytes - at, 4) + at;
        while (p + 6 <= end) {
            final Node child = readNode(b, p, end, depth + 1, what);
            node.children.add(child);
            p = Bytes.alignUp(p + Bytes.u16(b, p) - at, 4) + at;
        }
        return node;
    }

    /** The most bytes a node can take, its children included: its length is 16 bits. */
    static final int MAX_LENGTH = 0xFFFF;

    /** The bytes the node takes when written, its children included; more than {@link #MAX_LENGTH} does not fit. */
    static long size(Node node) {
        long size = Bytes.alignUp(6 + 2 * (node.key.length() + 1), 4) + (long) node.value.length;
        for (Node c : node.children) {
            size = Bytes.alignUp((int) Math.min(size, Integer.MAX_VALUE - 4), 4) + size(c);
        }
        return size;
    }

    static byte[] write(Node node) {
        final Bytes.Writer w = new Bytes.Writer();
        w.u16(0).u16(node.type == 1 ? node.value.length / 2 : node.value.length).u16(node.type);
        w.wideZ(node.key).pad(4).bytes(node.value);
        for (Node c : node.children) {
            w.pad(4).bytes(write(c));
        }
        final byte[] out = w.toByteArray();
        Bytes.put16(out, 0, out.length);
        return out;
    }

    /** A text value as the string nodes hold it: UTF-16LE with its NUL. */
    static byte[] text(String s) {
        return new Bytes.Writer().wideZ(s).toByteArray();
    }

    static String text(byte[] value) {
        int n = value.length / 2;
        while (n > 0 && value[2 * n - 2] == 0 && value[2 * n - 1] == 0) {
            n--;
        }
        return new String(value, 0, 2 * n, StandardCharsets.UTF_16LE);
    }

    /**
     * The four numbers of a version as build tools write it: the dot-separated numbers it starts with (at most
     * four; missing ones 0), up to the first character that continues none ({@code -SNAPSHOT}, {@code -rc2}).
     *
     * @throws PackagerException if it does not start with a number, or a number exceeds 65535
     */
    static int[] numbers(String version) throws PackagerException {
        final List<String> numbers = VersionText.leadingNumbers(version, 4);
        if (numbers.isEmpty()) {
            throw new PackagerException("the version \"" + version + "\" does not start with a number");
        }
        final int[] out = new int[4];
        for (int n = 0; n < numbers.size(); n++) {
            out[n] = VersionText.valueWithin(numbers.get(n), 0xFFFF);
            if (out[n] < 0) {
                throw new PackagerException("the version \"" + version + "\" holds the number " + numbers.get(n)
                        + "; each of its first four numbers must be at most 65535");
            }
        }
        return out;
    }
}
