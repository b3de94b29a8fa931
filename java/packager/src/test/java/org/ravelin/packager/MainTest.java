package org.ravelin.packager;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;

import org.junit.jupiter.api.Test;

class MainTest {
    @Test
    void theHelpListsTheBrandCommand() throws Exception {
        final ByteArrayOutputStream out = new ByteArrayOutputStream();
        assertEquals(Main.DONE, Main.run(Arrays.asList("--help"), new PrintStream(out, true, "UTF-8"),
                new PrintStream(new ByteArrayOutputStream())));
        final String help = new String(out.toByteArray(), StandardCharsets.UTF_8);
        assertTrue(help.contains("\n  brand --launcher IN.exe --output OUT.exe [options]   writes IN.exe as"), help);
    }

    @Test
    void anUnknownCommandIsAUsageError() throws Exception {
        final ByteArrayOutputStream err = new ByteArrayOutputStream();
        final int code = Main.run(Arrays.asList("frobnicate"), new PrintStream(new ByteArrayOutputStream()),
                new PrintStream(err, true, "UTF-8"));
        assertEquals(Main.USAGE, code);
        assertTrue(new String(err.toByteArray(), StandardCharsets.UTF_8).contains("unknown command frobnicate"));
    }
}
