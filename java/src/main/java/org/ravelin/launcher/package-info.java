/**
 * The Java side of the Ravelin launcher: what the class the launcher starts receives, and a ready main class.
 *
 * <p>{@link org.ravelin.launcher.LaunchContext#fromArguments(String...)} reads the launcher's two arguments (the
 * properties file and the hand-off file) and keeps the application's own; {@link org.ravelin.launcher.Settings} reads
 * the properties file with the launcher's rules; {@link org.ravelin.launcher.Handoff} reads the hand-off file (the
 * VM program, the environment, the Ctrl key, whether the VM has a console). {@link org.ravelin.launcher.RavelinMain}
 * applies the redirect settings and starts the application's class, or shows why it cannot.
 * {@link org.ravelin.launcher.LaunchContext#builder()} builds a context in memory for an application's tests. The
 * library needs nothing but a Java 8 or later runtime.
 */
package org.ravelin.launcher;
