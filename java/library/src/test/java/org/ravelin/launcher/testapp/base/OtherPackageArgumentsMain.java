package org.ravelin.launcher.testapp.base;

import org.ravelin.launcher.testapp.OtherApplications;

/** A superclass in a package of its own whose main(String[]) its subclasses elsewhere neither see nor override. */
public class OtherPackageArgumentsMain {
    void main(String[] args) {
        OtherApplications.started("main(String[]) of another package", args);
    }
}
