package org.ravelin.launcher.testapp;

import java.io.IOException;
import java.util.Map;
import java.util.Optional;

import org.ravelin.launcher.Handoff;
import org.ravelin.launcher.LaunchContext;

/**
 * An application for the tests of the ready main class: it prints its arguments and the context it finds, one
 * "name=value" line each, every character outside printable ASCII written as a backslash, "u" and four hexadecimal
 * digits, and one line on standard error. With the first argument "throw" it throws instead.
 */
public final class RecordingApplication {
    private RecordingApplication() {}

    public static void main(String[] args) throws IOException {
        if (args.length > 0 && args[0].equals("throw")) {
            throw new IOException("thrown by the application");
        }
        line("arguments", Integer.toString(args.length));
        for (String argument : args) {
            line("argument", argument);
        }
        final Optional<LaunchContext> found = LaunchContext.current();
        if (found.isPresent()) {
            final LaunchContext context = found.get();
            final Handoff handoff = context.handoff();
            line("properties", context.propertiesFile().toString());
            line("vm", handoff.findVmPath().orElse("(none)"));
            line("control", Boolean.toString(handoff.isControlKeyHeldAtStart()));
            for (Map.Entry<String, String> entry : context.settings().asMap().entrySet()) {
                line("setting." + entry.getKey(), entry.getValue());
            }
            for (Map.Entry<String, String> entry : handoff.environment().entrySet()) {
                line("environment." + entry.getKey(), entry.getValue());
            }
        } else {
            line("context", "none");
        }
        System.err.println("standard error of the application");
    }

    private static void line(String name, String value) {
        final StringBuilder text = new StringBuilder(name).append('=');
        for (char c : value.toCharArray()) {
            if (c >= 0x20 && c < 0x7F) {
                text.append(c);
            } else {
                text.append(String.format("\\u%04x", (int) c));
            }
        }
        System.out.println(text);
    }
}
