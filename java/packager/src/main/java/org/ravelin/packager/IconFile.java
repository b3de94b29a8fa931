package org.ravelin.packager;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

/**
 * An icon's images as an icon group resource holds them: from a {@code .ico} file (every image, PNG-compressed ones
 * included) or from a PNG file (one image). Windows takes images of at most 256 by 256 pixels.
 */
final class IconFile {
    static final int MAX_SIZE = 256;
    /** The branding setting that names the icon. */
    private static final String SETTING = "icon";
    private static final byte[] PNG_SIGNATURE = {(byte) 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

    /** One image: its group entry's fields and its bytes (a DIB or a PNG). */
    static final class Image {
        final int width;
        final int height;
        final int colorCount;
        final int planes;
        final int bitCount;
        final byte[] data;

        Image(int width, int height, int colorCount, int planes, int bitCount, byte[] data) {
            this.width = width;
            this.height = height;
            this.colorCount = colorCount;
            this.planes = planes;
            this.bitCount = bitCount;
            this.data = data;
        }
    }

    final List<Image> images;

    private IconFile(List<Image> images) {
        this.images = Collections.unmodifiableList(images);
    }

    static IconFile read(Path file) throws PackagerException {
        final byte[] b;
        try {
            b = Files.readAllBytes(file);
        } catch (IOException e) {
            throw new PackagerException("cannot read the icon " + file + ": " + e, e);
        }
        if (isPng(b, 0, b.length)) {
            return new IconFile(Collections.singletonList(png(b, file)));
        }
        if (b.length < 6 || Bytes.u16(b, 0) != 0 || Bytes.u16(b, 2) != 1 || Bytes.u16(b, 4) == 0) {
            throw new PackagerException("the icon " + file + " is neither an .ico file nor a PNG image", SETTING);
        }
        final int count = Bytes.u16(b, 4);
        if (6 + 16L * count > b.length) {
            throw new PackagerException("the icon " + file + " is cut short", SETTING);
        }
        final List<Image> images = new ArrayList<>();
        for (int i = 0; i < count; i++) {
            final int e = 6 + 16 * i;
            final long size = Bytes.u32(b, e + 8);
            final long offset = Bytes.u32(b, e + 12);
            if (size < 12 || offset + size > b.length) {
                throw new PackagerException("the icon " + file + " is cut short (image " + (i + 1) + ")", SETTING);
            }
            final byte[] data = java.util.Arrays.copyOfRange(b, (int) offset, (int) (offset + size));
            if (isPng(data, 0, data.length)) {
                images.add(png(data, file));
                continue;
            }
            if (data.length < 40 || Bytes.u32(data, 0) < 40) {
                throw new PackagerException("the icon " + file + " holds an image (" + (i + 1)
                        + ") that is neither a bitmap nor a PNG image", SETTING);
            }
            final long width = Bytes.u32(data, 4);
            final long height = Bytes.u32(data, 8) / 2;
            checkSize(width, height, file);
            final int planes = Bytes.u16(b, e + 4) != 0 ? Bytes.u16(b, e + 4) : Bytes.u16(data, 12);
            final int bitCount = Bytes.u16(b, e + 6) != 0 ? Bytes.u16(b, e + 6) : Bytes.u16(data, 14);
            images.add(new Image((int) width, (int) height, Bytes.u8(b, e + 2), planes, bitCount, data));
        }
        return new IconFile(images);
    }

    private static boolean isPng(byte[] b, int at, int length) {
        if (length < PNG_SIGNATURE.length) {
            return false;
        }
        for (int i = 0; i < PNG_SIGNATURE.length; i++) {
            if (b[at + i] != PNG_SIGNATURE[i]) {
                return false;
            }
        }
        return true;
    }

    /** Reads a PNG image's size and depth from its IHDR chunk, which comes first. */
    private static Image png(byte[] data, Path file) throws PackagerException {
        if (data.length < 33 || data[12] != 'I' || data[13] != 'H' || data[14] != 'D' || data[15] != 'R') {
            throw new PackagerException("the icon " + file + " holds a PNG image without a header (IHDR)", SETTING);
        }
        checkWhole(data, file);
        final long width = bigEndian32(data, 16);
        final long height = bigEndian32(data, 20);
        checkSize(width, height, file);
        final int depth = data[24] & 0xFF;
        final int colourType = data[25] & 0xFF;
        final int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
        return new Image((int) width, (int) height, 0, 1, depth * channels, data);
    }

    /**
     * Whether a PNG image is whole: its chunks follow one another to the IEND chunk, each with its CRC, and the
     * compressed data of its IDAT chunks inflates to the end of its stream, to as many bytes as its rows take (for
     * an image that is not interlaced). A file cut short after its header is refused here, not drawn half.
     */
    private static void checkWhole(byte[] data, Path file) throws PackagerException {
        final String refused = "the icon " + file + " holds a PNG image that is not whole: ";
        final java.io.ByteArrayOutputStream compressed = new java.io.ByteArrayOutputStream();
        int at = PNG_SIGNATURE.length;
        boolean end = false;
        while (!end) {
            if (at + 12 > data.length) {
                throw new PackagerException(refused + "it ends before its IEND chunk", SETTING);
            }
            final long length = bigEndian32(data, at);
            if (length > data.length - at - 12L) {
                throw new PackagerException(refused + "a chunk runs past its end", SETTING);
            }
            final java.util.zip.CRC32 crc = new java.util.zip.CRC32();
            crc.update(data, at + 4, 4 + (int) length);
            if (crc.getValue() != bigEndian32(data, at + 8 + (int) length)) {
                throw new PackagerException(refused + "the chunk "
                        + new String(data, at + 4, 4, java.nio.charset.StandardCharsets.ISO_8859_1)
                        + " fails its CRC", SETTING);
            }
            final String type = new String(data, at + 4, 4, java.nio.charset.StandardCharsets.ISO_8859_1);
            if (type.equals("IDAT")) {
                compressed.write(data, at + 8, (int) length);
            }
            end = type.equals("IEND");
            at += 12 + (int) length;
        }
        final java.util.zip.Inflater inflater = new java.util.zip.Inflater();
        long inflated = 0;
        try {
            inflater.setInput(compressed.toByteArray());
            final byte[] buffer = new byte[8192];
            while (!inflater.finished()) {
                final int n = inflater.inflate(buffer);
                if (n == 0 && (inflater.needsInput() || inflater.needsDictionary())) {
                    throw new PackagerException(refused + "its image data (IDAT) ends early", SETTING);
                }
                inflated += n;
            }
        } catch (java.util.zip.DataFormatException e) {
            throw new PackagerException(refused + "its image data (IDAT) is damaged", SETTING);
        } finally {
            inflater.end();
        }
        final long width = bigEndian32(data, 16);
        final long height = bigEndian32(data, 20);
        final int depth = data[24] & 0xFF;
        final int colourType = data[25] & 0xFF;
        final int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
        final boolean interlaced = data[28] != 0;
        final long rows = height * (1 + (width * channels * depth + 7) / 8);
        if (!interlaced && inflated < rows) {
            throw new PackagerException(refused + "its image data holds " + inflated + " bytes of the " + rows
                    + " its rows take", SETTING);
        }
    }

    private static void checkSize(long width, long height, Path file) throws PackagerException {
        if (width < 1 || height < 1 || width > MAX_SIZE || height > MAX_SIZE) {
            throw new PackagerException("the icon " + file + " holds an image of " + width + "x" + height
                    + " pixels; Windows takes icons of at most " + MAX_SIZE + "x" + MAX_SIZE, SETTING);
        }
    }

    private static long bigEndian32(byte[] b, int at) {
        return (long) (b[at] & 0xFF) << 24 | (b[at + 1] & 0xFF) << 16 | (b[at + 2] & 0xFF) << 8 | (b[at + 3] & 0xFF);
    }

    /**
     * Puts the images into {@code tree} as icon group {@code groupId}: the group's old images go, the new ones take
     * the lowest icon numbers free, in the group's language.
     */
    void replaceGroup(ResourceTree tree, int groupId, String what) throws PackagerException {
        final ResourceTree.Entry groups = tree.root.find(ResourceTree.RT_GROUP_ICON);
        final ResourceTree.Entry group = groups == null ? null : groups.dir.find(groupId);
        int language = 0x409;
        final ResourceTree.Entry icons = tree.root.findOrAdd(ResourceTree.RT_ICON, false);
        if (group != null) {
            for (ResourceTree.Entry lang : group.dir.entries) {
                language = lang.id;
                final byte[] g = lang.leaf.data;
                final int count = g.length >= 6 ? Bytes.u16(g, 4) : 0;
                for (int i = 0; i < count && 6 + 14 * i + 14 <= g.length; i++) {
                    final int id = Bytes.u16(g, 6 + 14 * i + 12);
                    icons.dir.entries.removeIf(e -> e.name == null && e.id == id);
                }
            }
            group.dir.entries.clear();
        }
        final Bytes.Writer dir = new Bytes.Writer().u16(0).u16(1).u16(images.size());
        int id = 1;
        for (Image image : images) {
            while (icons.dir.find(id) != null) {
                id++;
            }
            final ResourceTree.Entry icon = icons.dir.findOrAdd(id, false);
            final ResourceTree.Entry lang = icon.dir.findOrAdd(language, true);
            lang.leaf.data = image.data;
            dir.u8(image.width & 0xFF).u8(image.height & 0xFF).u8(image.colorCount).u8(0);
            dir.u16(image.planes).u16(image.bitCount).u32(image.data.length).u16(id);
        }
        final ResourceTree.Entry groupEntry = tree.root.findOrAdd(ResourceTree.RT_GROUP_ICON, false).dir
                .findOrAdd(groupId, false);
        groupEntry.dir.findOrAdd(language, true).leaf.data = dir.toByteArray();
    }
}
