// What the README says `mvn package` writes: target/Shop/ with the branded
// Shop.exe, the checked Shop.qel and lib/, and target/Shop.zip holding it.
import java.nio.charset.StandardCharsets
import java.util.zip.ZipFile

def target = new File(basedir, 'target')
def folder = new File(target, 'Shop')
['Shop.exe', 'Shop.qel', 'lib/shop-2.3.1-SNAPSHOT.jar', 'lib/ravelin-java.jar'].each {
    assert new File(folder, it).isFile() : "no Shop/$it"
}
assert !new File(target, 'ravelin-package.tmp').exists() : 'the goal left its staging folder'

def qel = new File(folder, 'Shop.qel').getText('ISO-8859-1')
assert !qel.replace('\r\n', '').contains('\n') : 'Shop.qel lines end with CR LF'
['qel.application.name=Shop', 'qel.nl.java.launcher.main.class=org.ravelin.launcher.RavelinMain',
 'qel.application.main.class=com.example.shop.Shop',
 'qel.class.path=lib/shop-2.3.1-SNAPSHOT.jar;lib/ravelin-java.jar', 'qel.nl.valid.vm.list=J2',
 'qel.stderr.redirect=logs/shop.log', 'qel.nl.java.option.java.heap.size.max=256m'].each {
    assert qel.contains(it + '\r\n') : "Shop.qel lacks $it:\n$qel"
}

// The version information's texts, in UTF-16: the name, the version as written, the organization, the
// description and the file name.
def exe = new File(folder, 'Shop.exe').bytes
def utf16 = new String(exe, StandardCharsets.UTF_16LE) + new String(exe, 1, exe.length - 1, StandardCharsets.UTF_16LE)
['Shop', '2.3.1-SNAPSHOT', 'Example Shops Ltd', 'Shop floor planning', 'Shop.exe'].each {
    assert utf16.contains(it + '\u0000') : "Shop.exe does not carry \"$it\""
}
// The icon: its 16-pixel image's first pixel (blue, green, red, alpha) as shop.ico holds it.
def icon = new File(basedir, 'src/main/icons/shop.ico').bytes
def image = Arrays.copyOfRange(icon, 22 + 40, 22 + 40 + 64)
assert Collections.indexOfSubList(exe as List, image as List) >= 0 : 'Shop.exe does not carry the icon'

def zip = new ZipFile(new File(target, 'Shop.zip'))
def entries = zip.entries().collect { it.name }
zip.close()
assert entries == ['Shop/Shop.exe', 'Shop/Shop.qel', 'Shop/lib/ravelin-java.jar',
                   'Shop/lib/shop-2.3.1-SNAPSHOT.jar'] : "Shop.zip holds $entries"
return true
