package org.ravelin.packager.installer;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.UUID;

import org.ravelin.packager.PackagerException;

/**
 * The package's summary information, made reproducible: {@code wixl} writes a random package code and the clock's
 * time as the creation and last-save times, so two builds of one source differ there and nowhere else. This writes
 * the package code derived from the project and the build's time over them, in place: the property set's layout
 * stays as it is (the code keeps its length, a time is eight bytes).
 */
final class SummaryInformation {
    // FMTID_SummaryInformation, F29F85E0-4FF9-1068-AB91-08002B27B3D9, as a property set stores it.
    private static final byte[] FMTID = {(byte) 0xE0, (byte) 0x85, (byte) 0x9F, (byte) 0xF2, (byte) 0xF9, 0x4F,
        0x68, 0x10, (byte) 0xAB, (byte) 0x91, 0x08, 0x00, 0x2B, 0x27, (byte) 0xB3, (byte) 0xD9};
    private static final int PID_REVNUMBER = 9;
    private static final int PID_CREATE_DTM = 12;
    private static final int PID_LASTSAVE_DTM = 13;
    private static final int VT_LPSTR = 30;
    private static final int VT_FILETIME = 64;
    // Seconds from 1601-01-01, where a FILETIME counts from, to 1970-01-01.
    private static final long FILETIME_EPOCH_OFFSET = 11644473600L;

    private SummaryInformation() {}

    static void fix(Path msi, UUID packageCode, long epochSeconds) throws IOException, PackagerException {
        final byte[] bytes = Files.readAllBytes(msi);
        final int fmtid = find(bytes, FMTID);
        final int set = fmtid - 28;
        if (fmtid < 0 || set < 0 || (bytes[set] & 0xff) != 0xFE || (bytes[set + 1] & 0xff) != 0xFF) {
            throw new PackagerException("the package " + msi + " holds no summary information where expected");
        }
        final ByteBuffer b = ByteBuffer.wrap(bytes).order(ByteOrder.LITTLE_ENDIAN);
        final int section = set + b.getInt(fmtid + 16);
        final int size = b.getInt(section);
        final int count = b.getInt(section + 4);
        if (section + size > bytes.length || count <= 0 || count > 64) {
            throw new PackagerException("the summary information of " + msi + " is not laid out as expected");
        }
        final byte[] code = ("{" + packageCode.toString().toUpperCase(java.util.Locale.ROOT) + "}")
                .getBytes(StandardCharsets.US_ASCII);
        final long filetime = (epochSeconds + FILETIME_EPOCH_OFFSET) * 10_000_000L;
        int done = 0;
        for (int i = 0; i < count; i++) {
            final int id = b.getInt(section + 8 + 8 * i);
            final int at = section + b.getInt(section + 12 + 8 * i);
            if (at < section || at + 8 > section + size) {
                throw new PackagerException("the summary information of " + msi + " is not laid out as expected");
            }
            final int type = b.getInt(at);
            if (id == PID_REVNUMBER && type == VT_LPSTR && b.getInt(at + 4) == code.length + 1
                    && at + 8 + code.length < section + size) {
                System.arraycopy(code, 0, bytes, at + 8, code.length);
                done++;
            } else if ((id == PID_CREATE_DTM || id == PID_LASTSAVE_DTM) && type == VT_FILETIME
                    && at + 12 <= section + size) {
                b.putLong(at + 4, filetime);
                done++;
            }
        }
        if (done != 3) {
            throw new PackagerException("the summary information of " + msi + " lacks its package code or dates");
        }
        Files.write(msi, bytes);
    }

    private static int find(byte[] bytes, byte[] what) {
        outer:
        for (int i = 0; i + what.length <= bytes.length; i++) {
            for (int j = 0; j < what.length; j++) {
                if (bytes[i + j] != what[j]) {
                    continue outer;
                }
            }
            return i;
        }
        return -1;
    }
}
