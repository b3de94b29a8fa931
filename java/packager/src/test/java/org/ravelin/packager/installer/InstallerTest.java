package org.ravelin.packager.installer;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.HashMap;
import java.util.Map;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.ravelin.packager.PackagerException;
import org.ravelin.packager.settings.ServiceSettings;

class InstallerTest {
    @TempDir
    Path dir;

    private Path program(String name) throws Exception {
        final Path folder = Files.createDirectories(dir.resolve(name));
        Files.write(folder.resolve(name + ".exe"), new byte[] {'M', 'Z'});
        Files.createDirectories(folder.resolve("lib"));
        Files.write(folder.resolve("lib/app.jar"), new byte[] {1});
        Files.createDirectories(folder.resolve("logs"));
        return folder;
    }

    private Installer.Builder shop(Path folder) {
        return Installer.builder().folder(folder).name("Shop").version("2.3.1-SNAPSHOT")
                .upgradeCode(Installer.upgradeCodeOf("com.example:shop"));
    }

    @Test
    void theWindowsInstallerVersionTakesTheFirstThreeNumbersWithinItsLimits() throws Exception {
        final Object[][] rows = {
            {"2.3.1-SNAPSHOT", new int[] {2, 3, 1}},
            {"2.3", new int[] {2, 3, 0}},
            {"255.255.65535.9", new int[] {255, 255, 65535}},
            {"7-rc1", new int[] {7, 0, 0}},
        };
        for (Object[] row : rows) {
            assertArrayEquals((int[]) row[1], Installer.msiVersion((String) row[0]), (String) row[0]);
        }
        for (String refused : new String[] {"256.0.0", "1.256.0", "1.0.65536", "v1.0", ""}) {
            final PackagerException e = assertThrows(PackagerException.class, () -> Installer.msiVersion(refused));
            assertTrue(e.getMessage().startsWith("--version: "), e.getMessage());
        }
    }

    @Test
    void theCodesAreDerivedFromTheProjectSoTheUpgradeCodeStaysAndEachVersionIsANewProduct() throws Exception {
        final Path folder = program("Shop");
        final Installer first = shop(folder).build();
        final Installer again = shop(folder).build();
        final Installer next = shop(folder).version("2.4.0").build();
        assertEquals(first.productCode(), again.productCode());
        assertEquals(first.packageCode(), again.packageCode());
        assertNotEquals(first.productCode(), next.productCode());
        assertNotEquals(Installer.upgradeCodeOf("com.example:shop"), Installer.upgradeCodeOf("com.example:till"));
        assertEquals(WixSource.render(first), WixSource.render(again));
    }

    @Test
    void theSourceInstallsEveryFileWithItsShortcutIconAndUpgrade() throws Exception {
        final String wxs = WixSource.render(shop(program("Shop")).associate(".shopdoc").build());
        assertTrue(wxs.contains("InstallScope=\"perMachine\""), wxs);
        assertTrue(wxs.contains("<Directory Id=\"ProgramFiles64Folder\">"), wxs);
        assertTrue(wxs.contains("<Directory Id=\"INSTALLDIR\" Name=\"Shop\">"), wxs);
        assertTrue(wxs.contains("Name=\"Shop.exe\" Source=\"Shop/Shop.exe\" KeyPath=\"yes\">"), wxs);
        assertTrue(wxs.contains("Name=\"app.jar\" Source=\"Shop/lib/app.jar\""), wxs);
        assertTrue(wxs.contains("<CreateFolder/>"), "the empty logs folder is made: " + wxs);
        assertTrue(wxs.contains("<Shortcut Id=\"StartMenuShortcut\" Directory=\"ProgramMenuFolder\" Name=\"Shop\""),
                wxs);
        assertFalse(wxs.contains("DesktopFolder"), wxs);
        assertTrue(wxs.contains("<MajorUpgrade DowngradeErrorMessage=\"A newer version of Shop is already"), wxs);
        assertTrue(wxs.contains("Version=\"2.3.1\""), wxs);
        assertTrue(wxs.contains("<Extension Id=\"shopdoc\">"), wxs);
        assertTrue(wxs.contains("Argument=\"&quot;%1&quot;\""), wxs);
        assertFalse(wxs.contains("ServiceInstall"), wxs);
    }

    @Test
    void aPerUserPackageInstallsIntoTheUsersProgramsWithoutAdministratorRights() throws Exception {
        final String wxs = WixSource.render(shop(program("Shop")).perUser(true).desktopShortcut(true).build());
        assertTrue(wxs.contains("InstallScope=\"perUser\" InstallPrivileges=\"limited\""), wxs);
        assertTrue(wxs.contains("<Directory Id=\"LocalAppDataFolder\">"), wxs);
        assertTrue(wxs.contains("<Directory Id=\"UserPrograms\" Name=\"Programs\">"), wxs);
        assertTrue(wxs.contains("<Shortcut Id=\"DesktopShortcut\" Directory=\"DesktopFolder\""), wxs);
    }

    @Test
    void theServiceIsInstalledAsTheLauncherInstallsIt() throws Exception {
        final Map<String, String> settings = new HashMap<>();
        settings.put("qel.service.display.name", "Shop & Co");
        settings.put("qel.service.start", " Delayed ");
        settings.put("qel.service.account", "localservice");
        settings.put("qel.service.dependencies", "Tcpip; +NetworkProvider");
        final String wxs = WixSource.render(shop(program("Shop"))
                .service(ServiceSettings.read(settings, "Shop Service")).build());
        assertTrue(wxs.contains("<ServiceInstall Id=\"Service\" Name=\"Shop Service\" DisplayName=\"Shop &amp; Co\""
                + " Type=\"ownProcess\" Start=\"auto\" ErrorControl=\"normal\""
                + " Account=\"NT AUTHORITY\\LocalService\" Arguments=\"-kwqelservice &quot;Shop Service&quot;\">"), wxs);
        assertTrue(wxs.contains("<ServiceDependency Id=\"Tcpip\"/>"), wxs);
        assertTrue(wxs.contains("<ServiceDependency Id=\"NetworkProvider\" Group=\"yes\"/>"), wxs);
        assertTrue(wxs.contains("<ServiceControl Id=\"ServiceControl\" Name=\"Shop Service\" Start=\"install\""
                + " Stop=\"both\" Remove=\"uninstall\" Wait=\"yes\"/>"), wxs);
        assertTrue(wxs.contains("Key=\"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Shop Service\""),
                wxs);
        assertTrue(wxs.contains("Name=\"DelayedAutostart\" Type=\"integer\" Value=\"1\""), wxs);
    }

    @Test
    void whatInstallingWouldRefuseIsRefusedNamingIt() throws Exception {
        final Object[][] rows = {
            {"qel.service.start", "sometimes", "qel.service.start"},
            {"qel.service.account", "justaname", "qel.service.account"},
            {"qel.service.dependencies", "a/b", "qel.service.dependencies"},
            {"qel.service.dependencies", "Shop", "qel.service.dependencies"},
            {"qel.service.restart.delay", "5s", "qel.service.restart.delay"},
        };
        for (Object[] row : rows) {
            final Map<String, String> settings = new HashMap<>();
            settings.put((String) row[0], (String) row[1]);
            final IllegalArgumentException e = assertThrows(IllegalArgumentException.class,
                    () -> ServiceSettings.read(settings, "Shop"));
            assertTrue(e.getMessage().startsWith((String) row[2] + ": "), e.getMessage());
        }
        final char[] longName = new char[257];
        Arrays.fill(longName, 'n');
        assertTrue(assertThrows(IllegalArgumentException.class, () -> ServiceSettings.read(new HashMap<>(),
                new String(longName))).getMessage().contains("longer than 256 characters"));
        // A user's account needs a password that a package cannot carry.
        final Map<String, String> user = new HashMap<>();
        user.put("qel.service.account", ".\\shopper");
        final PackagerException e = assertThrows(PackagerException.class,
                () -> shop(program("Shop")).service(ServiceSettings.read(user, "Shop")).build());
        assertTrue(e.getMessage().startsWith("qel.service.account: "), e.getMessage());
    }

    @Test
    void theCommandRefusesWhatItCannotPackNamingTheOption() throws Exception {
        final Path folder = program("Shop");
        final String[][] rows = {
            {"--folder", dir.resolve("missing").toString(), "--version", "1", "--upgrade-seed", "x", "--name", "Shop"},
            {"--folder", folder.toString(), "--version", "1", "--upgrade-seed", "x", "--name", "Sh:op"},
            {"--folder", folder.toString(), "--version", "300.0", "--upgrade-seed", "x"},
            {"--folder", folder.toString(), "--version", "1", "--upgrade-seed", "x", "--associate", "a b"},
            {"--folder", folder.toString(), "--version", "1", "--upgrade-seed", "x", "--service", "Shop"},
            {"--folder", folder.toString(), "--version", "1"},
        };
        final String[] expected = {"holds no Shop.exe", "--name", "--version", "--associate", "holds no Shop.qel",
            "--upgrade-code or --upgrade-seed is missing"};
        for (int i = 0; i < rows.length; i++) {
            final ByteArrayOutputStream err = new ByteArrayOutputStream();
            final int code = InstallerCommand.run(Arrays.asList(rows[i]), new PrintStream(new ByteArrayOutputStream()),
                    new PrintStream(err, true, "UTF-8"));
            final String text = new String(err.toByteArray(), StandardCharsets.UTF_8);
            assertEquals(1, code, text);
            assertTrue(text.contains(expected[i]), text);
        }
        assertFalse(Files.exists(dir.resolve("Shop-1.msi")));
        final ByteArrayOutputStream err = new ByteArrayOutputStream();
        assertEquals(2, InstallerCommand.run(Arrays.asList("--folder", folder.toString(), "--upgrade-code", "nope"),
                new PrintStream(new ByteArrayOutputStream()), new PrintStream(err, true, "UTF-8")));
    }

    @Test
    void withoutAToolTheMessageNamesThePackageToInstall() {
        final PackagerException linux = assertThrows(PackagerException.class,
                () -> InstallerBuilder.findTool("/nowhere", false));
        assertTrue(linux.getMessage().contains("apt-get install wixl"), linux.getMessage());
        final PackagerException windows = assertThrows(PackagerException.class,
                () -> InstallerBuilder.findTool("C:\\nowhere", true));
        assertTrue(windows.getMessage().contains("WiX toolset"), windows.getMessage());
    }
}
