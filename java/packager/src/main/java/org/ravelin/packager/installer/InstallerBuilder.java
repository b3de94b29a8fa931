package org.ravelin.packager.installer;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.FileVisitResult;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.SimpleFileVisitor;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.BasicFileAttributes;
import java.nio.file.attribute.FileTime;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;

import org.ravelin.packager.FileTrees;
import org.ravelin.packager.PackagerException;

/**
 * Builds a Windows Installer package from a program's folder: with msitools' {@code wixl} on Linux and macOS, with
 * the WiX toolset on Windows. The files go in through a copy that carries the build's time (a cabinet stores each
 * file's time), and the package's summary information gets the derived package code and that time, so the same
 * inputs give the same package.
 */
public final class InstallerBuilder {
    private InstallerBuilder() {}

    /** The tool a package is built with. */
    enum Tool {
        WIXL("msitools' wixl"),
        WIX("the WiX toolset (wix)"),
        WIX3("the WiX toolset 3 (candle and light)");

        final String label;

        Tool(String label) {
            this.label = label;
        }
    }

    /**
     * Builds the package.
     *
     * @param installer what it installs
     * @param output the package file to write
     * @param log where the build says which tool it used and what it wrote
     * @throws PackagerException when no tool is there, or the tool refused the package (its output is quoted)
     * @throws IOException when a file cannot be read or written
     */
    public static void build(Installer installer, Path output, PrintStream log) throws PackagerException, IOException {
        final Tool tool = findTool(System.getenv("PATH"), windows());
        final Path parent = output.toAbsolutePath().getParent();
        Files.createDirectories(parent);
        final Path work = Files.createTempDirectory(parent, ".installer");
        try {
            final Path staged = work.resolve("program");
            stage(installer.folder(), staged, installer.epochSeconds());
            final Installer fromStage = installer.withFolder(staged);
            final Path source = work.resolve("program.wxs");
            Files.write(source, WixSource.render(fromStage).getBytes(StandardCharsets.UTF_8));
            final Path msi = work.resolve("program.msi");
            run(tool, source, msi, work);
            if (tool == Tool.WIXL) {
                SummaryInformation.fix(msi, installer.packageCode(), installer.epochSeconds());
            }
            Files.move(msi, output, StandardCopyOption.REPLACE_EXISTING);
            log.println("ravelin: " + output + " (" + Files.size(output) + " bytes) built with " + tool.label + ": "
                    + installer.name() + " " + installer.msiVersionText() + ", "
                    + (installer.perUser() ? "per user" : "per machine") + ", upgrade code "
                    + installer.upgradeCode().toString().toUpperCase(Locale.ROOT));
        } finally {
            FileTrees.delete(work);
        }
    }

    static boolean windows() {
        return System.getProperty("os.name", "").toLowerCase(Locale.ROOT).startsWith("windows");
    }

    /**
     * The tool on {@code PATH}: the WiX toolset on Windows, {@code wixl} elsewhere.
     *
     * @throws PackagerException naming what to install when there is none
     */
    static Tool findTool(String path, boolean windows) throws PackagerException {
        if (windows) {
            if (onPath(path, "wix.exe")) {
                return Tool.WIX;
            }
            if (onPath(path, "candle.exe") && onPath(path, "light.exe")) {
                return Tool.WIX3;
            }
        } else if (onPath(path, "wixl")) {
            return Tool.WIXL;
        }
        throw new PackagerException(windows
                ? "no WiX toolset on PATH to build the Windows Installer package with: install it (dotnet tool"
                        + " install --global wix, or WiX 3's candle and light)"
                : "no wixl on PATH to build the Windows Installer package with: install msitools' wixl (Debian and"
                        + " Ubuntu: apt-get install wixl; Fedora: dnf install msitools; macOS: brew install msitools)");
    }

    private static boolean onPath(String path, String program) {
        if (path == null) {
            return false;
        }
        for (String dir : path.split(File.pathSeparator)) {
            if (!dir.isEmpty() && Files.isExecutable(new File(dir, program).toPath())) {
                return true;
            }
        }
        return false;
    }

    private static void run(Tool tool, Path source, Path msi, Path work) throws PackagerException, IOException {
        final List<List<String>> commands = new ArrayList<>();
        switch (tool) {
            case WIXL:
                commands.add(Arrays.asList("wixl", "-a", "x64", "-o", msi.toString(), source.toString()));
                break;
            case WIX:
                // The toolset of today reads its own language; it converts the WiX 3 source first.
                commands.add(Arrays.asList("wix", "convert", source.toString()));
                commands.add(Arrays.asList("wix", "build", "-arch", "x64", "-o", msi.toString(), source.toString()));
                break;
            default:
                final Path object = work.resolve("program.wixobj");
                commands.add(Arrays.asList("candle", "-nologo", "-arch", "x64", "-o", object.toString(),
                        source.toString()));
                commands.add(Arrays.asList("light", "-nologo", "-sval", "-o", msi.toString(), object.toString()));
        }
        for (List<String> command : commands) {
            final Process process = new ProcessBuilder(command).directory(work.toFile()).redirectErrorStream(true)
                    .start();
            process.getOutputStream().close();
            final String output = read(process.getInputStream());
            final int code;
            try {
                code = process.waitFor();
            } catch (InterruptedException e) {
                process.destroy();
                Thread.currentThread().interrupt();
                throw new PackagerException("interrupted while " + command.get(0) + " ran", e);
            }
            // wix convert ends with 1 when it changed the file it converts.
            final boolean converted = tool == Tool.WIX && command.get(1).equals("convert") && code == 1;
            if (code != 0 && !converted) {
                throw new PackagerException(String.join(" ", command) + " failed with exit code " + code + ":\n"
                        + output.trim());
            }
        }
        if (!Files.isRegularFile(msi)) {
            throw new PackagerException(tool.label + " wrote no " + msi);
        }
    }

    private static String read(InputStream in) throws IOException {
        final ByteArrayOutputStream out = new ByteArrayOutputStream();
        final byte[] buffer = new byte[8192];
        for (int n; (n = in.read(buffer)) > 0;) {
            out.write(buffer, 0, n);
        }
        return new String(out.toByteArray(), StandardCharsets.UTF_8);
    }

    // A copy of the program's folder whose files all carry the build's time.
    private static void stage(Path from, Path to, long epochSeconds) throws IOException {
        final FileTime time = FileTime.fromMillis(epochSeconds * 1000L);
        Files.walkFileTree(from, new SimpleFileVisitor<Path>() {
            @Override
            public FileVisitResult preVisitDirectory(Path dir, BasicFileAttributes attrs) throws IOException {
                Files.createDirectories(to.resolve(from.relativize(dir).toString()));
                return FileVisitResult.CONTINUE;
            }

            @Override
            public FileVisitResult visitFile(Path file, BasicFileAttributes attrs) throws IOException {
                final Path copy = to.resolve(from.relativize(file).toString());
                Files.copy(file, copy, StandardCopyOption.REPLACE_EXISTING);
                Files.setLastModifiedTime(copy, time);
                return FileVisitResult.CONTINUE;
            }
        });
    }
}
