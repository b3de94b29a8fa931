// ravelin:installer after ravelin:package: the package of the program's folder,
// built with wixl, its tables as the documentation says; a wrong upgrade code
// named in the failure.
def target = new File(basedir, 'target')
def msi = new File(target, 'Shop-2.3.1-SNAPSHOT.msi')
assert msi.isFile() : 'no target/Shop-2.3.1-SNAPSHOT.msi'
def log = new File(basedir, 'build.log').text
assert log.contains("built with msitools' wixl: Shop 2.3.1, per machine") : 'the log does not say how the package was built'
assert log.contains('<upgradeCode>: not-a-uuid is no UUID') : 'the wrong upgrade code is not named'

def table = { String name ->
    def process = ['msiinfo', 'export', msi.path, name].execute()
    def text = process.text
    assert process.waitFor() == 0 : "msiinfo export $name failed"
    text
}
def property = table('Property')
['ProductName\tShop', 'ProductVersion\t2.3.1', 'Manufacturer\tExample Shops Ltd', 'ARPCOMMENTS\tShop floor planning'].each {
    assert property.contains(it) : "the package's properties lack $it:\n$property"
}
def files = table('File')
['Shop.exe', 'Shop.qel', 'shop-2.3.1-SNAPSHOT.jar', 'ravelin-java.jar'].each {
    assert files.contains("\t$it\t") : "the package does not install $it:\n$files"
}
assert table('Shortcut').contains('StartMenuShortcut\tProgramMenuFolder\tShop\t')
assert table('Registry').contains('.shopdoc')
return true
