package org.ravelin.packager;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.function.Function;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

class BrandTest {
    private static final Path LAUNCHER = Paths.get(System.getProperty("ravelin.launcher"));
    private static final Path CONSOLE_LAUNCHER = Paths.get(System.getProperty("ravelin.console.launcher"));

    @TempDir
    Path dir;

    @ParameterizedTest
    @CsvSource({"2.3.1, 2, 3, 1, 0", "2.3, 2, 3, 0, 0", "2.3.1-SNAPSHOT, 2, 3, 1, 0", "2024.05.1-rc2, 2024, 5, 1, 0",
        "7, 7, 0, 0, 0", "1.2.3.4.5, 1, 2, 3, 4", "65535.0.65535.1, 65535, 0, 65535, 1", "3.x, 3, 0, 0, 0",
        "4.5., 4, 5, 0, 0", "1.2-beta.7, 1, 2, 0, 0"})
    void aVersionGivesItsFirstFourNumbers(String version, int a, int b, int c, int d) throws Exception {
        assertArrayEquals(new int[] {a, b, c, d}, VersionInfo.numbers(version));
    }

    @ParameterizedTest
    @CsvSource({"'', does not start with a number", "SNAPSHOT, does not start with a number",
        "v1.2, does not start with a number", ".1, does not start with a number", "1.65536, 65536",
        "99999999999999999999.1, 99999999999999999999"})
    void aVersionWithoutUsableNumbersIsRefusedNamingIt(String version, String reason) {
        final PackagerException e = assertThrows(PackagerException.class, () -> VersionInfo.numbers(version));
        assertTrue(e.getMessage().contains("\"" + version + "\"") && e.getMessage().contains(reason), e.getMessage());
    }

    @Test
    void executionLevelsMapToTheirManifestNames() {
        for (ExecutionLevel level : ExecutionLevel.values()) {
            assertEquals(level, ExecutionLevel.fromManifestName(level.manifestName()));
        }
        assertEquals("requireAdministrator", ExecutionLevel.REQUIRE_ADMINISTRATOR.manifestName());
        assertTrue(assertThrows(IllegalArgumentException.class, () -> ExecutionLevel.fromManifestName("admin"))
                .getMessage().contains("admin"));
    }

    /** A bad input: what to write into the directory and the branding that uses it, and the text naming it. */
    private static final class BadInput {
        final String name;
        final Function<Path, Branding.Builder> setUp;
        final Path launcherOverride;
        final String named;

        BadInput(String name, Function<Path, Branding.Builder> setUp, Path launcherOverride, String named) {
            this.name = name;
            this.setUp = setUp;
            this.launcherOverride = launcherOverride;
            this.named = named;
        }
    }

    /** The PNG with its IDAT chunk cut to half its data, its length and CRC made to match: whole chunks, half an image. */
    static byte[] pngWithCutData(byte[] png) {
        int at = 8;
        while (!new String(png, at + 4, 4, StandardCharsets.ISO_8859_1).equals("IDAT")) {
            at += 12 + (int) bigEndian32(png, at);
        }
        final int length = (int) bigEndian32(png, at);
        final int kept = length / 2;
        final java.util.zip.CRC32 crc = new java.util.zip.CRC32();
        crc.update(png, at + 4, 4 + kept);
        final java.io.ByteArrayOutputStream out = new java.io.ByteArrayOutputStream();
        out.write(png, 0, at);
        out.write(bigEndian(kept), 0, 4);
        out.write(png, at + 4, 4 + kept);
        out.write(bigEndian((int) crc.getValue()), 0, 4);
        out.write(png, at + 12 + length, png.length - at - 12 - length);
        return out.toByteArray();
    }

    private static long bigEndian32(byte[] b, int at) {
        return (long) (b[at] & 0xFF) << 24 | (b[at + 1] & 0xFF) << 16 | (b[at + 2] & 0xFF) << 8 | (b[at + 3] & 0xFF);
    }

    private static byte[] bigEndian(int v) {
        return new byte[] {(byte) (v >>> 24), (byte) (v >>> 16), (byte) (v >>> 8), (byte) v};
    }

    private static Path write(Path file, byte[] bytes) {
        try {
            return Files.write(file, bytes);
        } catch (IOException e) {
            throw new IllegalStateException(e);
        }
    }

    @Test
    void badInputsAreRefusedNamingThemAndWriteNothing() throws Exception {
        final byte[] launcher = Files.readAllBytes(LAUNCHER);
        final byte[] signed = Arrays.copyOf(launcher, launcher.length + 16);
        final PeFile pe = PeFile.parse(launcher, "launcher");
        Bytes.put32(signed, pe.directoriesAt + 8 * PeFile.DIR_SECURITY, launcher.length);
        Bytes.put32(signed, pe.directoriesAt + 8 * PeFile.DIR_SECURITY + 4, 16);
        final byte[] bigIco = TestIcons.multiSizeIcon();
        final byte[] png300 = TestIcons.png(300, 300);
        // An .ico whose PNG image is larger than its directory entry can say.
        final Bytes.Writer ico = new Bytes.Writer().u16(0).u16(1).u16(1).u8(0).u8(0).u8(0).u8(0).u16(1).u16(32)
                .u32(png300.length).u32(22).bytes(png300);
        final byte[] png16 = TestIcons.png(16, 16);
        final byte[] damaged = png16.clone();
        damaged[40] ^= 0x01;
        final byte[] shortData = pngWithCutData(TestIcons.png(64, 64, 64));
        final byte[] cutPng = Arrays.copyOf(png16, 33);
        final Bytes.Writer cutIco = new Bytes.Writer().u16(0).u16(1).u16(1).u8(16).u8(16).u8(0).u8(0).u16(1).u16(32)
                .u32(cutPng.length).u32(22).bytes(cutPng);
        final List<BadInput> cases = Arrays.asList(
            new BadInput("text file as icon", d -> Branding.builder().icon(write(d.resolve("notes.ico"),
                    "not an icon".getBytes(StandardCharsets.US_ASCII))), null, "notes.ico"),
            new BadInput("PNG over 256", d -> Branding.builder().icon(write(d.resolve("big.png"), png300)), null,
                    "big.png"),
            new BadInput(".ico with a PNG over 256", d -> Branding.builder().icon(write(d.resolve("big.ico"),
                    ico.toByteArray())), null, "big.ico"),
            new BadInput("cut-short .ico", d -> Branding.builder().icon(write(d.resolve("cut.ico"),
                    Arrays.copyOf(bigIco, 200))), null, "cut.ico"),
            new BadInput("missing icon", d -> Branding.builder().icon(d.resolve("absent.ico")), null, "absent.ico"),
            // The signature and the header, no image data.
            new BadInput("PNG cut after its header", d -> Branding.builder().icon(write(d.resolve("cut.png"),
                    Arrays.copyOf(png16, 33))), null, "cut.png holds a PNG image that is not whole"),
            new BadInput("PNG without its last chunk", d -> Branding.builder().icon(write(d.resolve("noend.png"),
                    Arrays.copyOf(png16, png16.length - 12))), null, "noend.png holds a PNG image that is not whole"),
            new BadInput("PNG with a damaged byte", d -> Branding.builder().icon(write(d.resolve("crc.png"),
                    damaged)), null, "fails its CRC"),
            new BadInput("PNG whose image data ends early", d -> Branding.builder().icon(write(d.resolve("short.png"),
                    shortData)), null, "image data (IDAT) ends early"),
            new BadInput(".ico holding a PNG cut short", d -> Branding.builder().icon(write(d.resolve("cutpng.ico"),
                    cutIco.toByteArray())), null, "cutpng.ico holds a PNG image that is not whole"),
            new BadInput("product name over the 16-bit lengths", d -> Branding.builder()
                    .productName(String.join("", Collections.nCopies(40000, "x"))), null,
                    "the product name is too long (40000 characters)"),
            new BadInput("texts together over the 16-bit lengths", d -> Branding.builder()
                    .productName(String.join("", Collections.nCopies(20000, "p")))
                    .company(String.join("", Collections.nCopies(16000, "c"))), null,
                    "the product name is too long (20000 characters)"),
            new BadInput("version without a number", d -> Branding.builder().version("SNAPSHOT"), null, "SNAPSHOT"),
            new BadInput("number over 65535", d -> Branding.builder().version("1.70000"), null, "1.70000"),
            new BadInput("NUL in a text", d -> Branding.builder().company("ACME\0Corp"), null, "ACME\\0Corp"),
            new BadInput("NUL in the product name", d -> Branding.builder().productName("\0"), null, "product name"),
            new BadInput("launcher not a PE file", d -> Branding.builder(), Paths.get("not-pe.exe"), "not-pe.exe"),
            new BadInput("launcher missing", d -> Branding.builder(), Paths.get("absent.exe"), "absent.exe"),
            new BadInput("signed launcher", d -> Branding.builder(), Paths.get("signed.exe"), "signed.exe"));
        write(dir.resolve("not-pe.exe"), "MZ but nothing else of a PE file, long enough to read its header field"
                .getBytes(StandardCharsets.US_ASCII));
        write(dir.resolve("signed.exe"), signed);
        for (BadInput c : cases) {
            final Path in = c.launcherOverride == null ? LAUNCHER : dir.resolve(c.launcherOverride);
            final Path out = dir.resolve("out.exe");
            final PackagerException e = assertThrows(PackagerException.class,
                    () -> Brander.brand(in, out, c.setUp.apply(dir).build()), c.name);
            assertTrue(e.getMessage().contains(c.named), c.name + ": " + e.getMessage());
            assertFalse(Files.exists(out), c.name + ": an output was written");
            try (java.util.stream.Stream<Path> files = Files.list(dir)) {
                assertFalse(files.anyMatch(p -> p.getFileName().toString().endsWith(".tmp")), c.name);
            }
        }
    }

    @Test
    void aLauncherSignedByOsslsigncodeIsRefused() throws Exception {
        assumeTrue(onPath("osslsigncode") && onPath("openssl"), "osslsigncode or openssl is not installed");
        run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=Test", "-days", "2",
                "-keyout", dir.resolve("k.pem").toString(), "-out", dir.resolve("c.pem").toString());
        run("osslsigncode", "sign", "-certs", dir.resolve("c.pem").toString(), "-key", dir.resolve("k.pem").toString(),
                "-in", LAUNCHER.toString(), "-out", dir.resolve("signed.exe").toString());
        final PackagerException e = assertThrows(PackagerException.class, () -> Brander.brand(
                dir.resolve("signed.exe"), dir.resolve("out.exe"), Branding.builder().company("X").build()));
        assertTrue(e.getMessage().contains("signed.exe") && e.getMessage().contains("signature"), e.getMessage());
        assertFalse(Files.exists(dir.resolve("out.exe")));
    }

    private Branding full() throws IOException {
        return Branding.builder().icon(write(dir.resolve("app.ico"), TestIcons.multiSizeIcon()))
                .productName("Demo Product").fileDescription("Demo application").company("Demo Company")
                .copyright("Copyright 2024 Demo Company").version("2024.05.1-rc2")
                .executionLevel(ExecutionLevel.REQUIRE_ADMINISTRATOR).dpiAware(false).longPathAware(true).build();
    }

    @Test
    void brandingTheSameInputsTwiceGivesTheSameBytes() throws Exception {
        Brander.brand(LAUNCHER, dir.resolve("a.exe"), full());
        Files.createDirectory(dir.resolve("again"));
        Brander.brand(LAUNCHER, dir.resolve("again/a.exe"), full());
        assertArrayEquals(Files.readAllBytes(dir.resolve("a.exe")), Files.readAllBytes(dir.resolve("again/a.exe")));
    }

    @Test
    void theBrandedLaunchersHeadersAreConsistent() throws Exception {
        for (Path launcher : Arrays.asList(LAUNCHER, CONSOLE_LAUNCHER)) {
            final Path out = dir.resolve("demo.exe");
            Brander.brand(launcher, out, full());
            final byte[] in = Files.readAllBytes(launcher);
            final byte[] b = Files.readAllBytes(out);
            Headers.check(b);
            final Headers before = new Headers(in);
            final Headers after = new Headers(b);
            final int rsrc = after.section(".rsrc");
            assertEquals(after.dirRva[2], after.va[rsrc]);
            assertEquals(after.dirSize[2], after.vsize[rsrc]);
            assertEquals(Headers.align(after.vsize[rsrc], after.fileAlignment), after.rawSize[rsrc]);
            Headers.check(in);
            assertEquals(after.dirRva[5], after.va[after.section(".reloc")]);
            assertEquals(after.dirSize[5], after.vsize[after.section(".reloc")]);
            assertTrue(after.va[after.section(".reloc")] > before.va[before.section(".reloc")], "the resources grew");
            assertEquals(after.initializedData - before.initializedData,
                    after.rawSize[rsrc] - before.rawSize[before.section(".rsrc")]);
            // .reloc's contents are the same bytes, moved.
            final int relocIn = before.section(".reloc");
            final int relocOut = after.section(".reloc");
            assertArrayEquals(Arrays.copyOfRange(in, (int) before.rawPtr[relocIn],
                    (int) (before.rawPtr[relocIn] + before.rawSize[relocIn])),
                    Arrays.copyOfRange(b, (int) after.rawPtr[relocOut],
                    (int) (after.rawPtr[relocOut] + after.rawSize[relocOut])));
            assertEquals(Headers.checksum(b, after.checksumAt), after.checksum);
            if (onPath("x86_64-w64-mingw32-objdump")) {
                final String dump = run("x86_64-w64-mingw32-objdump", "-p", out.toString());
                assertTrue(dump.contains("The .rsrc Resource Directory section"), dump);
            }
        }
    }

    @Test
    void theBrandedLauncherCarriesTheNewResourcesAndKeepsTheMessages() throws Exception {
        final Path out = dir.resolve("Demo App.exe");
        Brander.brand(LAUNCHER, out, full());
        final ResourceTree before = PeFile.parse(Files.readAllBytes(LAUNCHER), "in").resources();
        final ResourceTree after = PeFile.parse(Files.readAllBytes(out), "out").resources();

        final VersionInfo.Node version = VersionInfo.read(only(after, ResourceTree.RT_VERSION, 1), "out");
        final byte[] fixed = version.value;
        assertEquals(2024L << 16 | 5, Bytes.u32(fixed, 8));
        assertEquals(1L << 16, Bytes.u32(fixed, 12));
        assertEquals(2024L << 16 | 5, Bytes.u32(fixed, 16));
        assertEquals(1L << 16, Bytes.u32(fixed, 20));
        final VersionInfo.Node table = version.child("StringFileInfo").child("040904b0");
        final String[][] expected = {{"CompanyName", "Demo Company"}, {"FileDescription", "Demo application"},
            {"FileVersion", "2024.05.1-rc2"}, {"InternalName", "Demo App"}, {"OriginalFilename", "Demo App.exe"},
            {"ProductName", "Demo Product"}, {"ProductVersion", "2024.05.1-rc2"},
            {"LegalCopyright", "Copyright 2024 Demo Company"}};
        for (String[] kv : expected) {
            assertNotNull(table.child(kv[0]), kv[0]);
            assertEquals(kv[1], VersionInfo.text(table.child(kv[0]).value), kv[0]);
        }

        final byte[] group = only(after, ResourceTree.RT_GROUP_ICON, 1);
        assertEquals(TestIcons.SIZES.length, Bytes.u16(group, 4));
        for (int i = 0; i < TestIcons.SIZES.length; i++) {
            final int size = Bytes.u8(group, 6 + 14 * i);
            assertEquals(TestIcons.SIZES[i] & 0xFF, size);
            final byte[] image = only(after, ResourceTree.RT_ICON, Bytes.u16(group, 6 + 14 * i + 12));
            assertEquals(Bytes.u32(group, 6 + 14 * i + 8), image.length);
        }
        assertEquals(TestIcons.SIZES.length, after.root.find(ResourceTree.RT_ICON).dir.entries.size(),
                "the old images are gone");

        final String manifest = new String(only(after, ResourceTree.RT_MANIFEST, 1), StandardCharsets.UTF_8);
        assertTrue(manifest.contains("level=\"requireAdministrator\""), manifest);
        assertTrue(manifest.contains(">false</dpiAware>"), manifest);
        assertTrue(manifest.contains(">true</longPathAware>"), manifest);
        assertTrue(manifest.contains("<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"), manifest);
        assertTrue(manifest.contains("name=\"Demo.Company.Demo.Product\""), manifest);
        assertTrue(manifest.contains("<description>Demo application</description>"), manifest);
        assertFalse(manifest.contains("Ravelin"), manifest);

        for (ResourceTree.Entry type : before.root.entries) {
            if (type.name != null || type.id == ResourceTree.RT_STRING || type.id > 24) {
                assertEquals(leaves(type), leaves(find(after, type)), "type " + type.id + " " + type.name);
            }
        }
    }

    /** The manifest's identity and description follow the names; what an identity name cannot hold is left out. */
    @Test
    void theManifestsIdentityFollowsTheNames() throws Exception {
        final String[][] cases = {
            // product name, file description, company: identity name, description
            {"Shop & Co <Pro>", null, null, "Shop.Co.Pro", "Shop &amp; Co &lt;Pro&gt;"},
            {null, "Described tool", "ACME", "ACME.Described.tool", "Described tool"},
            {"Kasse", "Die Kasse\nf\u00fcr alle", "B\u00e4cker M\u00fcller", "B.cker.M.ller.Kasse",
                "Die Kasse f\u00fcr alle"},
            {"\u00e4\u00f6\u00fc", null, null, "Ravelin.Launcher", "\u00e4\u00f6\u00fc"}};
        for (String[] c : cases) {
            final Path out = dir.resolve("named.exe");
            Branding.Builder b = Branding.builder();
            if (c[0] != null) {
                b = b.productName(c[0]);
            }
            if (c[1] != null) {
                b = b.fileDescription(c[1]);
            }
            if (c[2] != null) {
                b = b.company(c[2]);
            }
            Brander.brand(LAUNCHER, out, b.build());
            final ResourceTree after = PeFile.parse(Files.readAllBytes(out), "out").resources();
            final String manifest = new String(only(after, ResourceTree.RT_MANIFEST, 1), StandardCharsets.UTF_8);
            assertTrue(manifest.contains("name=\"" + c[3] + "\""), c[3] + ": " + manifest);
            assertTrue(manifest.contains("<description>" + c[4] + "</description>"), c[4] + ": " + manifest);
            assertTrue(manifest.contains("level=\"asInvoker\""), manifest);
        }
    }

    @Test
    void whatIsNotGivenStaysAsItWas() throws Exception {
        final Path out = dir.resolve("plain.exe");
        Brander.brand(LAUNCHER, out, Branding.builder().build());
        final ResourceTree before = PeFile.parse(Files.readAllBytes(LAUNCHER), "in").resources();
        final ResourceTree after = PeFile.parse(Files.readAllBytes(out), "out").resources();
        for (ResourceTree.Entry type : before.root.entries) {
            if (type.id != ResourceTree.RT_VERSION) {
                assertEquals(leaves(type), leaves(find(after, type)), "type " + type.id);
            }
        }
        final VersionInfo.Node in = VersionInfo.read(only(before, ResourceTree.RT_VERSION, 1), "in");
        final VersionInfo.Node outInfo = VersionInfo.read(only(after, ResourceTree.RT_VERSION, 1), "out");
        assertArrayEquals(in.value, outInfo.value);
        final VersionInfo.Node table = outInfo.child("StringFileInfo").child("040904b0");
        assertEquals("plain.exe", VersionInfo.text(table.child("OriginalFilename").value));
        assertEquals(VersionInfo.text(in.child("StringFileInfo").child("040904b0").child("ProductName").value),
                VersionInfo.text(table.child("ProductName").value));
    }

    @Test
    void aPngIsTakenAsOneImage() throws Exception {
        final Path out = dir.resolve("png.exe");
        Brander.brand(LAUNCHER, out, Branding.builder().icon(write(dir.resolve("i.png"), TestIcons.png(256, 256)))
                .build());
        final ResourceTree after = PeFile.parse(Files.readAllBytes(out), "out").resources();
        final byte[] group = only(after, ResourceTree.RT_GROUP_ICON, 1);
        assertEquals(1, Bytes.u16(group, 4));
        assertEquals(0, Bytes.u8(group, 6), "256 pixels are written as 0");
        assertArrayEquals(TestIcons.png(256, 256), only(after, ResourceTree.RT_ICON, Bytes.u16(group, 18)));
    }

    @Test
    void theCommandLineBrandsAndSaysWhatItRefuses() throws Exception {
        final Path out = dir.resolve("cli.exe");
        assertEquals(Main.DONE, main(new ByteArrayOutputStream(), "brand", "--launcher", LAUNCHER.toString(),
                "--output", out.toString(), "--version", "3.1", "--execution-level", "highestAvailable",
                "--dpi-aware", "true"));
        final ResourceTree after = PeFile.parse(Files.readAllBytes(out), "out").resources();
        assertTrue(new String(only(after, ResourceTree.RT_MANIFEST, 1), StandardCharsets.UTF_8)
                .contains("level=\"highestAvailable\""));
        final String[][] usage = {{"--launcher", LAUNCHER.toString()}, {"--output", "x.exe", "--launcher"},
            {"--launcher", "a", "--output", "b", "--colour", "red"},
            {"--launcher", "a", "--output", "b", "--execution-level", "admin"},
            {"--launcher", "a", "--output", "b", "--dpi-aware", "yes"}};
        for (String[] args : usage) {
            final ByteArrayOutputStream err = new ByteArrayOutputStream();
            final List<String> all = new ArrayList<>(Arrays.asList("brand"));
            all.addAll(Arrays.asList(args));
            assertEquals(Main.USAGE, main(err, all.toArray(new String[0])), String.join(" ", args));
            assertTrue(err.toString("UTF-8").startsWith("ravelin-packager: "), err.toString("UTF-8"));
        }
        final ByteArrayOutputStream err = new ByteArrayOutputStream();
        assertEquals(Main.REFUSED, main(err, "brand", "--launcher", LAUNCHER.toString(), "--output",
                dir.resolve("v.exe").toString(), "--version", "next"));
        assertTrue(err.toString("UTF-8").startsWith("ravelin-packager: the version \"next\""), err.toString("UTF-8"));
        assertFalse(Files.exists(dir.resolve("v.exe")));
        final ByteArrayOutputStream tooLong = new ByteArrayOutputStream();
        assertEquals(Main.REFUSED, main(tooLong, "brand", "--launcher", LAUNCHER.toString(), "--output",
                dir.resolve("long.exe").toString(), "--product-name", String.join("", Collections.nCopies(40000, "x"))));
        assertTrue(tooLong.toString("UTF-8").startsWith("ravelin-packager: --product-name: the product name is too"
                + " long (40000 characters)"), tooLong.toString("UTF-8"));
        assertFalse(Files.exists(dir.resolve("long.exe")));
        final ByteArrayOutputStream cutIcon = new ByteArrayOutputStream();
        assertEquals(Main.REFUSED, main(cutIcon, "brand", "--launcher", LAUNCHER.toString(), "--output",
                dir.resolve("icon.exe").toString(), "--icon",
                write(dir.resolve("half.png"), Arrays.copyOf(TestIcons.png(16, 16), 40)).toString()));
        assertTrue(cutIcon.toString("UTF-8").startsWith("ravelin-packager: --icon: the icon "), cutIcon.toString("UTF-8"));
        // An output folder that does not exist yet is made.
        final Path nested = dir.resolve("not/yet/there/App.exe");
        final ByteArrayOutputStream made = new ByteArrayOutputStream();
        assertEquals(Main.DONE, main(made, "brand", "--launcher", LAUNCHER.toString(), "--output", nested.toString(),
                "--product-name", "App"), made.toString("UTF-8"));
        assertTrue(Files.isRegularFile(nested));
        // One that cannot be made is said plainly, naming it.
        write(dir.resolve("plain-file"), new byte[] {1});
        final ByteArrayOutputStream blocked = new ByteArrayOutputStream();
        assertEquals(Main.REFUSED, main(blocked, "brand", "--launcher", LAUNCHER.toString(), "--output",
                dir.resolve("plain-file/App.exe").toString()));
        assertTrue(blocked.toString("UTF-8").startsWith("ravelin-packager: cannot make the folder "
                + dir.resolve("plain-file")), blocked.toString("UTF-8"));
        final ByteArrayOutputStream help = new ByteArrayOutputStream();
        assertEquals(Main.DONE, Main.run(Arrays.asList("brand", "--help"), new PrintStream(help, true, "UTF-8"),
                new PrintStream(new ByteArrayOutputStream())));
        assertTrue(help.toString("UTF-8").contains("--execution-level"));
    }

    private static int main(ByteArrayOutputStream err, String... args) throws IOException {
        return Main.run(Arrays.asList(args), new PrintStream(new ByteArrayOutputStream()),
                new PrintStream(err, true, "UTF-8"));
    }

    private static byte[] only(ResourceTree tree, int type, int id) {
        final ResourceTree.Entry t = tree.root.find(type);
        assertNotNull(t, "type " + type);
        final ResourceTree.Entry n = t.dir.find(id);
        assertNotNull(n, "type " + type + " id " + id);
        assertEquals(1, n.dir.entries.size());
        return n.dir.entries.get(0).leaf.data;
    }

    private static ResourceTree.Entry find(ResourceTree tree, ResourceTree.Entry like) {
        for (ResourceTree.Entry e : tree.root.entries) {
            if (like.name == null ? e.name == null && e.id == like.id : like.name.equals(e.name)) {
                return e;
            }
        }
        throw new AssertionError("type " + like.id + " " + like.name + " is missing");
    }

    /** The resources under a type, as "name/language: bytes in hex" in their order. */
    private static List<String> leaves(ResourceTree.Entry type) {
        final List<String> out = new ArrayList<>();
        for (ResourceTree.Entry name : type.dir.entries) {
            for (ResourceTree.Entry lang : name.dir.entries) {
                final StringBuilder hex = new StringBuilder(name.id + "/" + name.name + "/" + lang.id + ":");
                for (byte x : lang.leaf.data) {
                    hex.append(String.format("%02x", x));
                }
                out.add(hex.toString());
            }
        }
        return out;
    }

    private static boolean onPath(String program) {
        for (String d : System.getenv("PATH").split(File.pathSeparator)) {
            if (Files.isExecutable(Paths.get(d, program))) {
                return true;
            }
        }
        return false;
    }

    private static String run(String... command) throws IOException, InterruptedException {
        final Process p = new ProcessBuilder(command).redirectErrorStream(true).start();
        final ByteArrayOutputStream out = new ByteArrayOutputStream();
        final byte[] buffer = new byte[65536];
        int n;
        while ((n = p.getInputStream().read(buffer)) > 0) {
            out.write(buffer, 0, n);
        }
        final String text = out.toString("UTF-8");
        assertEquals(0, p.waitFor(), String.join(" ", command) + ": " + text);
        return text;
    }
}
