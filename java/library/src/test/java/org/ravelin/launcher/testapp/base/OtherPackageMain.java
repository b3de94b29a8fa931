package org.ravelin.launcher.testapp.base;

import org.ravelin.launcher.testapp.OtherApplications;

/** A superclass in a package of its own whose main() its subclasses elsewhere neither see nor override. */
public class OtherPackageMain {
    void main() {
        OtherApplications.started("main() of another package");
    }
}
