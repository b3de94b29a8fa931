// Each wrong parameter failed the build with a message that names it, as a
// wrong project (MojoFailureException), and nothing outside the goal's own
// folder was deleted or written.
def log = new File(basedir, 'build.log').text
def expected = [
    '<name> ".." is "..", a folder of the path, not a name',
    '<name> "../Evil" holds a path separator (/)',
    '<name> "Gr:eet" holds :, which a Windows file name cannot hold',
    '<name> "com1.txt" is the Windows device name COM1',
    '<name> "Trailing." ends with a dot',
    '<executionLevel> "admin" is none of asInvoker, highestAvailable, requireAdministrator',
    '<version>: ',
    '<icon>: ',
    '<icon> ' + new File(basedir, 'src/main/icons/missing.ico') + ' is not a file',
    '<settings>: the launcher would not read the settings of error-paths.qel as written:',
    'qel.clas.path',
    'error-paths.qel would be written twice into error-paths/',
    '<name>: ' + new File(basedir, 'target/Foreign') + ' exists and is not a program folder this goal wrote',
]
expected.each { assert log.contains(it) : "the build log does not say: $it" }
assert log.contains('MojoFailureException') : 'no failure was reported as a wrong project'
assert !log.contains('MojoExecutionException') : 'a wrong project was reported as a broken tool'

// The project is whole; nothing was written beside it or above it.
assert new File(basedir, 'pom.xml').isFile() && new File(basedir, 'beside.txt').isFile()
['Evil.exe', 'Evil.qel', 'Evil.zip', 'Evil'].each {
    assert !new File(basedir, it).exists() && !new File(basedir.parentFile, it).exists() : "$it was written"
}
def target = new File(basedir, 'target')
assert !target.list().any { it.startsWith('Gr') || it.toLowerCase().startsWith('com1') || it.startsWith('Trailing') }
assert new File(target, 'Foreign').list() as List == ['keep.txt']
// The first build's program outlived the failing builds.
['error-paths/error-paths.exe', 'error-paths/error-paths.qel', 'error-paths.zip'].each {
    assert new File(target, it).isFile() : "the failing builds removed target/$it"
}
assert !new File(target, 'ravelin-package.tmp').exists() : 'a failing build left the staging folder'
return true
