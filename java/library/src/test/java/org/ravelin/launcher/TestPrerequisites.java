package org.ravelin.launcher;

import org.junit.jupiter.api.Assertions;
import org.junit.jupiter.api.Assumptions;

/**
 * What a test needs from the machine (a display, the launcher built by the C++ build): a test without it is skipped
 * on a machine that has only Maven and a JDK, and fails where the system property {@code ravelin.tests.complete} is
 * true, as in the C++ build's test run, which gives everything.
 */
public final class TestPrerequisites {
    private TestPrerequisites() {}

    /**
     * @param present whether the test has what it needs
     * @param what what it needs and where it comes from, for the message
     */
    public static void require(boolean present, String what) {
        if (present) {
            return;
        }
        if (Boolean.getBoolean("ravelin.tests.complete")) {
            Assertions.fail("missing: " + what);
        }
        Assumptions.abort("skipped without " + what);
    }
}
