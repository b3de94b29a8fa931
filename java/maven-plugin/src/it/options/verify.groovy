import java.nio.charset.StandardCharsets
import java.time.LocalDateTime
import java.util.zip.ZipFile

def target = new File(basedir, 'target')
def folder = new File(target, 'Tool')
def files = []
folder.eachFileRecurse { files << folder.toPath().relativize(it.toPath()).toString().replace(File.separatorChar, '/' as char) }
files.sort()
assert files == ['LICENCE.txt', 'Tool.exe', 'Tool.qel', 'conf', 'conf/app.properties', 'lib',
                 'lib/options-1.0.jar', 'lib/ravelin-launcher-' + ravelinVersion + '.jar', 'logs'] : "Tool/ holds $files"
assert new File(folder, 'conf/app.properties').text == 'colour=blue\n'

def qel = new File(folder, 'Tool.qel').getText('ISO-8859-1')
assert qel.contains('qel.class.path=lib/options-1.0.jar;lib/ravelin-launcher-' + ravelinVersion + '.jar\r\n') : qel

// The console twin: its PE header's subsystem is the console's (3), not the windows' (2).
def exe = new File(folder, 'Tool.exe').bytes
def pe = (exe[0x3C] & 0xFF) | (exe[0x3D] & 0xFF) << 8
assert exe[pe + 24 + 68] == 3 : 'Tool.exe is not a console program'
def ascii = new String(exe, StandardCharsets.ISO_8859_1)
assert ascii.contains('level="requireAdministrator"') : 'the manifest does not ask for administrators'
def utf16 = new String(exe, StandardCharsets.UTF_16LE) + new String(exe, 1, exe.length - 1, StandardCharsets.UTF_16LE)
['Tool', '4.5.6-beta', 'Tools Unlimited', 'Command-line tool', 'Copyright 2026 Tools Unlimited'].each {
    assert utf16.contains(it + '\u0000') : "Tool.exe does not carry \"$it\""
}
assert !utf16.contains('Not the description shown')

// The zip holds the empty logs/ as an entry, and every entry carries the project's outputTimestamp.
def zip = new ZipFile(new File(target, 'Tool.zip'))
def entries = zip.entries().toList()
zip.close()
assert entries*.name == ['Tool/LICENCE.txt', 'Tool/Tool.exe', 'Tool/Tool.qel', 'Tool/conf/app.properties',
                         'Tool/lib/options-1.0.jar', 'Tool/lib/ravelin-launcher-' + ravelinVersion + '.jar',
                         'Tool/logs/'] : "Tool.zip holds ${entries*.name}"
entries.each {
    assert it.timeLocal == LocalDateTime.of(2026, 12, 1, 10, 0) : "${it.name} carries ${it.timeLocal}"
}

assert new File(basedir, 'build.log').text.contains('ravelin:package skipped')
return true
