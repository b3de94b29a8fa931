/**
 * The Java side of the Ravelin launcher: what the class the launcher starts receives, and a ready main class.
 *
 * <p>{@link org.ravelin.launcher.LaunchContext#fromArguments(String...)} reads the launcher's two arguments (the
 * properties file and the hand-off file) and keeps the application's own; {@link org.ravelin.launcher.Settings} reads
 * the properties file with the launcher's rules; {@link org.ravelin.launcher.Handoff} reads the hand-off file (the
 * VM program, the environment, the Ctrl key, whether the VM has a console). {@link org.ravelin.launcher.RavelinMain}
 * applies the redirect settings and starts the application's class, or shows why it cannot.
 * {@link org.ravelin.launcher.LaunchContext#addSecondStartListener(org.ravelin.launcher.SecondStartListener)} gives an application that
 * runs once at a time ({@code qel.single.instance=true}) the arguments of each second start.
 * {@link org.ravelin.launcher.LaunchContext#builder()} builds a context in memory for an application's tests, and
 * {@link org.ravelin.launcher.LaunchContext#setCurrent(LaunchContext)} makes it the one the application's code finds.
 * The library needs nothing but a Java 8 or later runtime.
 *
 * <p>Throughout, a value that may be absent is an {@link java.util.Optional} (the {@code find…} methods and
 * {@link org.ravelin.launcher.LaunchContext#current()}), a yes-or-no question is named {@code is…} or {@code has…},
 * all keys and values at once are {@code asMap()}, and factories and builders refuse {@code null} with a
 * {@link java.lang.NullPointerException} that names what was {@code null}. The earlier names that break these rules
 * still work and are deprecated.
 */
package org.ravelin.launcher;
