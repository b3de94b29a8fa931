package org.ravelin.packager;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * A PE executable held in memory: its headers, sections and data directories, enough to read its resources and to
 * write it again with a new resource section. Sections after the resource section (in our launchers only
 * {@code .reloc}, whose blocks hold page addresses of the other sections) move with it when it grows or shrinks.
 */
final class PeFile {
    static final int DIR_RESOURCE = 2;
    static final int DIR_SECURITY = 4;
    static final int DIR_BASERELOC = 5;
    private static final int SCN_CNT_INITIALIZED_DATA = 0x40;

    /** A section header's fields that branding reads or changes. */
    static final class Section {
        final int headerAt;
        final String name;
        long virtualSize;
        long virtualAddress;
        long rawSize;
        long rawPointer;
        final long characteristics;

        Section(byte[] b, int at) {
            headerAt = at;
            int end = 0;
            while (end < 8 && b[at + end] != 0) {
                end++;
            }
            name = new String(b, at, end, java.nio.charset.StandardCharsets.ISO_8859_1);
            virtualSize = Bytes.u32(b, at + 8);
            virtualAddress = Bytes.u32(b, at + 12);
            rawSize = Bytes.u32(b, at + 16);
            rawPointer = Bytes.u32(b, at + 20);
            characteristics = Bytes.u32(b, at + 36);
        }

        boolean holds(long rva) {
            return rva >= virtualAddress && rva < virtualAddress + Math.max(virtualSize, rawSize);
        }
    }

    final byte[] bytes;
    final String what;
    final int optionalAt;
    final boolean pe32Plus;
    final int directoriesAt;
    final int directoryCount;
    final int sectionAlignment;
    final int fileAlignment;
    final List<Section> sections = new ArrayList<>();

    private PeFile(byte[] bytes, String what) throws PackagerException {
        this.bytes = bytes;
        this.what = what;
        final String notPe = what + " is not a Windows executable (PE file)";
        if (bytes.length < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') {
            throw new PackagerException(notPe);
        }
        final long peAt = Bytes.u32(bytes, 0x3C);
        if (peAt + 24 > bytes.length || Bytes.u32(bytes, (int) peAt) != 0x4550) {
            throw new PackagerException(notPe);
        }
        final int coffAt = (int) peAt + 4;
        final int sectionCount = Bytes.u16(bytes, coffAt + 2);
        final int optionalSize = Bytes.u16(bytes, coffAt + 16);
        optionalAt = coffAt + 20;
        if (optionalAt + optionalSize + 40L * sectionCount > bytes.length || optionalSize < 96) {
            throw new PackagerException(notPe);
        }
        final int magic = Bytes.u16(bytes, optionalAt);
        if (magic != 0x10B && magic != 0x20B) {
            throw new PackagerException(notPe);
        }
        pe32Plus = magic == 0x20B;
        directoriesAt = optionalAt + (pe32Plus ? 112 : 96);
        directoryCount = (int) Math.min(Bytes.u32(bytes, directoriesAt - 4), (optionalAt + optionalSize - directoriesAt) / 8);
        sectionAlignment = Bytes.i32(bytes, optionalAt + 32);
        fileAlignment = Bytes.i32(bytes, optionalAt + 36);
        if (fileAlignment <= 0 || sectionAlignment < fileAlignment || Integer.bitCount(fileAlignment) != 1
                || Integer.bitCount(sectionAlignment) != 1) {
            throw new PackagerException(notPe);
        }
        for (int i = 0; i < sectionCount; i++) {
            final Section s = new Section(bytes, optionalAt + optionalSize + 40 * i);
            if (s.rawPointer + s.rawSize > bytes.length) {
                throw new PackagerException(notPe);
            }
            sections.add(s);
        }
    }

    static PeFile parse(byte[] bytes, String what) throws PackagerException {
        return new PeFile(bytes, what);
    }

    long directoryRva(int index) {
        return index < directoryCount ? Bytes.u32(bytes, directoriesAt + 8 * index) : 0;
    }

    long directorySize(int index) {
        return index < directoryCount ? Bytes.u32(bytes, directoriesAt + 8 * index + 4) : 0;
    }

    long checksum() {
        return Bytes.u32(bytes, optionalAt + 64);
    }

    Section sectionAt(long rva) {
        for (Section s : sections) {
            if (s.holds(rva)) {
                return s;
            }
        }
        return null;
    }

    /** Reads {@code length} bytes at a relative virtual address; what the file does not hold reads as zeros. */
    byte[] read(long rva, long length) throws PackagerException {
        final Section s = sectionAt(rva);
        if (s == null || length > Integer.MAX_VALUE || rva + length > s.virtualAddress + Math.max(s.virtualSize, s.rawSize)) {
            throw new PackagerException(what + ": data at RVA 0x" + Long.toHexString(rva) + " lies outside its sections");
        }
        final byte[] out = new byte[(int) length];
        final long from = rva - s.virtualAddress;
        final long available = Math.max(0, Math.min(length, s.rawSize - from));
        System.arraycopy(bytes, (int) (s.rawPointer + from), out, 0, (int) available);
        return out;
    }

    ResourceTree resources() throws PackagerException {
        final long rva = directoryRva(DIR_RESOURCE);
        if (rva == 0 || directorySize(DIR_RESOURCE) == 0) {
            throw new PackagerException(what + " has no resources");
        }
        return ResourceTree.read(this::read, rva, directorySize(DIR_RESOURCE), what);
    }

    /**
     * Writes the executable again with {@code tree} as its resource section: the sections after it move (their
     * headers and the base-relocation directory follow), the sizes and the checksum are recomputed.
     */
    byte[] withResources(ResourceTree tree) throws PackagerException {
        final long rsrcRva = directoryRva(DIR_RESOURCE);
        final Section rsrc = sectionAt(rsrcRva);
        if (rsrc == null || rsrc.virtualAddress != rsrcRva) {
            throw new PackagerException(what + ": its resources do not start a section of their own");
        }
        final byte[] data = tree.write(rsrcRva);
        final int newRaw = Bytes.alignUp(data.length, fileAlignment);
        final long rawDelta = newRaw - rsrc.rawSize;
        final long vaDelta = Bytes.alignUp(data.length, sectionAlignment)
                - Bytes.alignUp((int) Math.max(rsrc.virtualSize, rsrc.rawSize), sectionAlignment);
        final List<Section> moved = new ArrayList<>();
        for (Section s : sections) {
            if (s != rsrc && s.virtualAddress > rsrc.virtualAddress) {
                if (s.rawSize != 0 && s.rawPointer < rsrc.rawPointer) {
                    throw new PackagerException(what + ": section " + s.name
                            + " follows the resources in memory but not in the file");
                }
                moved.add(s);
            } else if (s.rawSize != 0 && s.rawPointer > rsrc.rawPointer) {
                throw new PackagerException(what + ": section " + s.name
                        + " follows the resources in the file but not in memory");
            }
        }
        if (vaDelta != 0) {
            checkMovable(moved);
        }
        final long rsrcEnd = rsrc.rawPointer + rsrc.rawSize;
        final byte[] out = new byte[(int) (bytes.length + rawDelta)];
        System.arraycopy(bytes, 0, out, 0, (int) rsrc.rawPointer);
        System.arraycopy(data, 0, out, (int) rsrc.rawPointer, data.length);
        System.arraycopy(bytes, (int) rsrcEnd, out, (int) (rsrcEnd + rawDelta), (int) (bytes.length - rsrcEnd));

        Bytes.put32(out, rsrc.headerAt + 8, data.length);
        Bytes.put32(out, rsrc.headerAt + 16, newRaw);
        long imageEnd = rsrc.virtualAddress + data.length;
        for (Section s : sections) {
            if (moved.contains(s)) {
                Bytes.put32(out, s.headerAt + 12, s.virtualAddress + vaDelta);
                if (s.rawSize != 0) {
                    Bytes.put32(out, s.headerAt + 20, s.rawPointer + rawDelta);
                }
                imageEnd = Math.max(imageEnd, s.virtualAddress + vaDelta + Math.max(s.virtualSize, s.rawSize));
            } else if (s != rsrc) {
                imageEnd = Math.max(imageEnd, s.virtualAddress + Math.max(s.virtualSize, s.rawSize));
            }
        }
        Bytes.put32(out, optionalAt + 56, Bytes.alignUp((int) imageEnd, sectionAlignment));
        if ((rsrc.characteristics & SCN_CNT_INITIALIZED_DATA) != 0) {
            Bytes.put32(out, optionalAt + 8, Bytes.u32(bytes, optionalAt + 8) + rawDelta);
        }
        Bytes.put32(out, directoriesAt + 8 * DIR_RESOURCE + 4, data.length);
        final long relocRva = directoryRva(DIR_BASERELOC);
        if (relocRva > rsrc.virtualAddress && directorySize(DIR_BASERELOC) != 0) {
            Bytes.put32(out, directoriesAt + 8 * DIR_BASERELOC, relocRva + vaDelta);
        }
        final int coffAt = optionalAt - 20;
        final long symbols = Bytes.u32(bytes, coffAt + 8);
        if (symbols >= rsrcEnd) {
            Bytes.put32(out, coffAt + 8, symbols + rawDelta);
        }
        Bytes.put32(out, optionalAt + 64, checksum(out, optionalAt + 64));
        return out;
    }

    /**
     * Checks that the sections after the resources can move: no data directory but the base relocations points into
     * them, the entry point is not in them, and no base relocation fixes up an address inside them (they hold no
     * addresses to adjust).
     */
    private void checkMovable(List<Section> moved) throws PackagerException {
        for (int i = 0; i < directoryCount; i++) {
            final long rva = directoryRva(i);
            if (i == DIR_RESOURCE || i == DIR_BASERELOC || i == DIR_SECURITY || rva == 0) {
                continue;
            }
            for (Section s : moved) {
                if (s.holds(rva)) {
                    throw new PackagerException(what + ": section " + s.name + " after the resources holds data"
                            + " directory " + i + " and cannot move");
                }
            }
        }
        final long entry = Bytes.u32(bytes, optionalAt + 16);
        for (Section s : moved) {
            if (s.holds(entry)) {
                throw new PackagerException(what + ": the entry point lies in section " + s.name
                        + " after the resources");
            }
        }
        final long relocRva = directoryRva(DIR_BASERELOC);
        final long relocSize = directorySize(DIR_BASERELOC);
        if (relocRva == 0 || relocSize == 0) {
            return;
        }
        final byte[] relocs = read(relocRva, relocSize);
        int at = 0;
        while (at + 8 <= relocs.length) {
            final long page = Bytes.u32(relocs, at);
            final long blockSize = Bytes.u32(relocs, at + 4);
            if (blockSize < 8) {
                break;
            }
            for (int e = at + 8; e + 2 <= Math.min(relocs.length, at + blockSize); e += 2) {
                final int entry16 = Bytes.u16(relocs, e);
                if (entry16 >>> 12 == 0) {
                    continue;
                }
                final long target = page + (entry16 & 0xFFF);
                for (Section s : moved) {
                    if (s.holds(target)) {
                        throw new PackagerException(what + ": section " + s.name
                                + " holds addresses that would need relocating; it cannot move");
                    }
                }
            }
            at += (int) blockSize;
        }
    }

    /** The PE checksum: 16-bit one's-complement-style sum of the file (its checksum field skipped) plus its length. */
    static long checksum(byte[] file, int checksumAt) {
        long sum = 0;
        for (int i = 0; i < file.length; i += 2) {
            if (i == checksumAt || i == checksumAt + 2) {
                continue;
            }
            sum += (file[i] & 0xFF) | (i + 1 < file.length ? (file[i + 1] & 0xFF) << 8 : 0);
            sum = (sum & 0xFFFF) + (sum >>> 16);
        }
        sum = (sum & 0xFFFF) + (sum >>> 16);
        return (sum + file.length) & 0xFFFFFFFFL;
    }

    static byte[] copy(byte[] b) {
        return Arrays.copyOf(b, b.length);
    }
}
