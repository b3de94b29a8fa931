package org.ravelin.packager;

import java.awt.image.BufferedImage;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Paths;

import javax.imageio.ImageIO;

/**
 * Icons for the tests: each size a solid colour of its own, so that a test can tell which image Windows loaded. Run
 * as a program it writes the multi-size icon: {@code TestIcons OUT.ico}.
 */
public final class TestIcons {
    /** The sizes of {@link #multiSizeIcon()}: bitmaps below 256, a PNG at 256. */
    static final int[] SIZES = {16, 32, 48, 256};

    private TestIcons() {}

    /** The colour (0xRRGGBB) of the image of a size. */
    static int colour(int size) {
        switch (size) {
            case 16: return 0x00C000;
            case 32: return 0x0000C0;
            case 48: return 0xC0C000;
            case 256: return 0xC00000;
            default: return 0x808080;
        }
    }

    public static void main(String[] args) throws IOException {
        Files.write(Paths.get(args[0]), multiSizeIcon());
    }

    /** An opaque PNG image of a size, in its colour. */
    static byte[] png(int width, int height) throws IOException {
        final BufferedImage image = new BufferedImage(width, height, BufferedImage.TYPE_INT_ARGB);
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++) {
                image.setRGB(x, y, 0xFF000000 | colour(width));
            }
        }
        final ByteArrayOutputStream out = new ByteArrayOutputStream();
        ImageIO.write(image, "png", out);
        return out.toByteArray();
    }

    /** An icon image as a 32-bit DIB: header, bottom-up BGRA rows, then the AND mask (all opaque). */
    static byte[] dib(int size) {
        final Bytes.Writer w = new Bytes.Writer();
        w.u32(40).u32(size).u32(2 * size).u16(1).u16(32).u32(0).u32(0).u32(0).u32(0).u32(0).u32(0);
        final int c = colour(size);
        for (int i = 0; i < size * size; i++) {
            w.u8(c & 0xFF).u8(c >> 8 & 0xFF).u8(c >> 16 & 0xFF).u8(0xFF);
        }
        final int maskRow = (size + 31) / 32 * 4;
        for (int i = 0; i < maskRow * size; i++) {
            w.u8(0);
        }
        return w.toByteArray();
    }

    /** An .ico file with {@link #SIZES}: bitmaps, and a PNG for 256. */
    static byte[] multiSizeIcon() throws IOException {
        final byte[][] images = new byte[SIZES.length][];
        for (int i = 0; i < SIZES.length; i++) {
            images[i] = SIZES[i] == 256 ? png(256, 256) : dib(SIZES[i]);
        }
        final Bytes.Writer w = new Bytes.Writer().u16(0).u16(1).u16(SIZES.length);
        int offset = 6 + 16 * SIZES.length;
        for (int i = 0; i < SIZES.length; i++) {
            w.u8(SIZES[i] & 0xFF).u8(SIZES[i] & 0xFF).u8(0).u8(0).u16(1).u16(32).u32(images[i].length).u32(offset);
            offset += images[i].length;
        }
        for (byte[] image : images) {
            w.bytes(image);
        }
        return w.toByteArray();
    }
}
