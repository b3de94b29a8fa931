package org.ravelin.packager;

import java.nio.charset.StandardCharsets;
import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.Deque;
import java.util.List;

/**
 * An executable's resources as a tree of type, name and language, read from and written to the layout of a
 * {@code .rsrc} section. Directories keep their header fields (the time stamp among them); entries are written sorted
 * as the format requires: named ones first by name, then numbered ones by number.
 */
final class ResourceTree {
    static final int RT_ICON = 3;
    static final int RT_STRING = 6;
    static final int RT_GROUP_ICON = 14;
    static final int RT_VERSION = 16;
    static final int RT_MANIFEST = 24;

    /** A directory: its header fields and its entries. */
    static final class Dir {
        long characteristics;
        long timeDateStamp;
        int majorVersion;
        int minorVersion;
        final List<Entry> entries = new ArrayList<>();

        Entry find(int id) {
            for (Entry e : entries) {
                if (e.name == null && e.id == id) {
                    return e;
                }
            }
            return null;
        }

        Entry findOrAdd(int id, boolean leaf) {
            Entry e = find(id);
            if (e == null) {
                e = new Entry(null, id);
                if (leaf) {
                    e.leaf = new Leaf(new byte[0], 0);
                } else {
                    e.dir = new Dir();
                }
                entries.add(e);
            }
            return e;
        }
    }

    /** An entry: a name or a number, and a directory or a data leaf under it. */
    static final class Entry {
        final String name;
        final int id;
        Dir dir;
        Leaf leaf;

        Entry(String name, int id) {
            this.name = name;
            this.id = id;
        }
    }

    /** A resource's bytes and code page. */
    static final class Leaf {
        byte[] data;
        final long codePage;

        Leaf(byte[] data, long codePage) {
            this.data = data;
            this.codePage = codePage;
        }
    }

    /** Reads bytes at a relative virtual address of the image the resources belong to. */
    interface Image {
        byte[] read(long rva, long length) throws PackagerException;
    }

    final Dir root;

    private ResourceTree(Dir root) {
        this.root = root;
    }

    /**
     * Reads the tree at {@code sectionRva}.
     *
     * @param image the image's bytes by relative virtual address
     * @param sectionRva where the root directory is
     * @param size the resource data directory's size
     * @param what names the executable in messages
     */
    static ResourceTree read(Image image, long sectionRva, long size, String what) throws PackagerException {
        final byte[] section = image.read(sectionRva, size);
        return new ResourceTree(readDir(image, section, 0, 0, what));
    }

    private static Dir readDir(Image image, byte[] s, int at, int depth, String what) throws PackagerException {
        if (depth > 2 || at < 0 || at + 16 > s.length) {
            throw new PackagerException(what + ": the resource directory is damaged");
        }
        final Dir dir = new Dir();
        dir.characteristics = Bytes.u32(s, at);
        dir.timeDateStamp = Bytes.u32(s, at + 4);
        dir.majorVersion = Bytes.u16(s, at + 8);
        dir.minorVersion = Bytes.u16(s, at + 10);
        final int count = Bytes.u16(s, at + 12) + Bytes.u16(s, at + 14);
        if (at + 16 + 8L * count > s.length) {
            throw new PackagerException(what + ": the resource directory is damaged");
        }
        for (int i = 0; i < count; i++) {
            final int e = at + 16 + 8 * i;
            final long nameField = Bytes.u32(s, e);
            final long dataField = Bytes.u32(s, e + 4);
            final Entry entry;
            if ((nameField & 0x80000000L) != 0) {
                final int n = (int) (nameField & 0x7FFFFFFF);
                if (n + 2 > s.length || n + 2 + 2 * Bytes.u16(s, n) > s.length) {
                    throw new PackagerException(what + ": the resource directory is damaged");
                }
                entry = new Entry(new String(s, n + 2, 2 * Bytes.u16(s, n), StandardCharsets.UTF_16LE), 0);
            } else {
                entry = new Entry(null, (int) nameField);
            }
            final int target = (int) (dataField & 0x7FFFFFFF);
            if ((dataField & 0x80000000L) != 0) {
                entry.dir = readDir(image, s, target, depth + 1, what);
            } else {
                if (depth != 2 || target + 16 > s.length) {
                    throw new PackagerException(what + ": the resource directory is damaged");
                }
                entry.leaf = new Leaf(image.read(Bytes.u32(s, target), Bytes.u32(s, target + 4)),
                        Bytes.u32(s, target + 8));
            }
            dir.entries.add(entry);
        }
        return dir;
    }

    /** Drops the directories left empty by removals, from the leaves up. */
    private static void prune(Dir d) {
        for (Entry e : d.entries) {
            if (e.dir != null) {
                prune(e.dir);
            }
        }
        d.entries.removeIf(e -> e.dir != null && e.dir.entries.isEmpty());
    }

    private static final Comparator<Entry> ORDER = (a, b) -> {
        if (a.name != null && b.name != null) {
            return a.name.compareTo(b.name);
        }
        if (a.name != null || b.name != null) {
            return a.name != null ? -1 : 1;
        }
        return Integer.compareUnsigned(a.id, b.id);
    };

    /**
     * Writes the tree as a {@code .rsrc} section placed at {@code sectionRva}: the directories breadth first, the
     * names, the data entries, then the data, each on an 8-byte boundary.
     */
    byte[] write(long sectionRva) {
        prune(root);
        final List<Dir> dirs = new ArrayList<>();
        final List<Entry> named = new ArrayList<>();
        final List<Leaf> leaves = new ArrayList<>();
        final Deque<Dir> queue = new ArrayDeque<>();
        queue.add(root);
        while (!queue.isEmpty()) {
            final Dir d = queue.remove();
            d.entries.sort(ORDER);
            dirs.add(d);
            for (Entry e : d.entries) {
                if (e.name != null) {
                    named.add(e);
                }
                if (e.dir != null) {
                    queue.add(e.dir);
                } else {
                    leaves.add(e.leaf);
                }
            }
        }
        final java.util.IdentityHashMap<Object, Integer> offsets = new java.util.IdentityHashMap<>();
        int at = 0;
        for (Dir d : dirs) {
            offsets.put(d, at);
            at += 16 + 8 * d.entries.size();
        }
        for (Entry e : named) {
            offsets.put(e, at);
            at += 2 + 2 * e.name.length();
        }
        at = Bytes.alignUp(at, 8);
        for (Leaf l : leaves) {
            offsets.put(l, at);
            at += 16;
        }
        final int[] dataAt = new int[leaves.size()];
        for (int i = 0; i < leaves.size(); i++) {
            at = Bytes.alignUp(at, 8);
            dataAt[i] = at;
            at += leaves.get(i).data.length;
        }
        final Bytes.Writer w = new Bytes.Writer();
        for (Dir d : dirs) {
            int namedCount = 0;
            for (Entry e : d.entries) {
                namedCount += e.name != null ? 1 : 0;
            }
            w.u32(d.characteristics).u32(d.timeDateStamp).u16(d.majorVersion).u16(d.minorVersion);
            w.u16(namedCount).u16(d.entries.size() - namedCount);
            for (Entry e : d.entries) {
                w.u32(e.name != null ? 0x80000000L | offsets.get(e) : e.id & 0xFFFFFFFFL);
                w.u32(e.dir != null ? 0x80000000L | offsets.get(e.dir) : offsets.get(e.leaf));
            }
        }
        for (Entry e : named) {
            w.u16(e.name.length()).bytes(e.name.getBytes(StandardCharsets.UTF_16LE));
        }
        w.pad(8);
        for (int i = 0; i < leaves.size(); i++) {
            w.u32(sectionRva + dataAt[i]).u32(leaves.get(i).data.length).u32(leaves.get(i).codePage).u32(0);
        }
        for (int i = 0; i < leaves.size(); i++) {
            w.pad(8);
            w.bytes(leaves.get(i).data);
        }
        return w.toByteArray();
    }
}
