package org.ravelin.maven;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.Charset;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.List;

import org.apache.maven.plugin.MojoExecutionException;
import org.apache.maven.plugin.MojoFailureException;
import org.apache.maven.plugin.logging.Log;

/** Signs an executable in place with osslsigncode, as {@link Signing} configures it. */
final class Signer {
    private Signer() {}

    static void sign(Signing signing, Path executable, String programName, Log log) throws IOException,
            MojoExecutionException, MojoFailureException {
        final Path signed = executable.resolveSibling(executable.getFileName() + ".signed");
        // The password goes to the tool in a file of the staging folder, not on its command line, where any user
        // of the machine could read it.
        final Path password = executable.resolveSibling(executable.getFileName() + ".pass");
        final List<String> command = new ArrayList<>();
        command.add(signing.tool != null ? signing.tool : "osslsigncode");
        command.add("sign");
        command.add("-h");
        command.add("sha256");
        if (signing.keystore != null) {
            command.add("-pkcs12");
            command.add(signing.keystore.getAbsolutePath());
        } else {
            command.add("-pkcs11module");
            command.add(signing.pkcs11Module);
            command.add(signing.pkcs11Certificate.startsWith("pkcs11:") ? "-pkcs11cert" : "-certs");
            command.add(signing.pkcs11Certificate);
            command.add("-key");
            command.add(signing.key);
        }
        if (signing.storepass != null) {
            Files.write(password, signing.storepass.getBytes(Charset.defaultCharset()));
            command.add("-readpass");
            command.add(password.toString());
        }
        if (signing.timestampServer != null) {
            command.add("-ts");
            command.add(signing.timestampServer);
        }
        command.add("-n");
        command.add(programName);
        command.add("-in");
        command.add(executable.toString());
        command.add("-out");
        command.add(signed.toString());
        try {
            final Process process;
            try {
                process = new ProcessBuilder(command).redirectErrorStream(true).start();
            } catch (IOException e) {
                throw new MojoExecutionException("<signing>: cannot start " + command.get(0) + " (install"
                        + " osslsigncode, or name the signer in <tool>): " + e.getMessage(), e);
            }
            process.getOutputStream().close();
            final String output = read(process.getInputStream());
            final int exit;
            try {
                exit = process.waitFor();
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
                process.destroy();
                throw new MojoExecutionException("interrupted while signing " + executable.getFileName(), e);
            }
            if (exit != 0 || !Files.isRegularFile(signed)) {
                throw new MojoFailureException("<signing>: " + command.get(0) + " did not sign "
                        + executable.getFileName() + " (exit code " + exit + "):" + System.lineSeparator()
                        + output.trim());
            }
            Files.move(signed, executable, StandardCopyOption.REPLACE_EXISTING);
            log.info("Signed " + executable.getFileName());
        } finally {
            Files.deleteIfExists(password);
            Files.deleteIfExists(signed);
        }
    }

    private static String read(InputStream in) throws IOException {
        final ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        final byte[] buffer = new byte[8192];
        for (int n; (n = in.read(buffer)) > 0;) {
            bytes.write(buffer, 0, n);
        }
        return new String(bytes.toByteArray(), Charset.defaultCharset());
    }
}
