// The executable in the folder and in the zip is signed by the throw-away certificate, and verifies.
import java.util.zip.ZipFile

def exe = new File(basedir, 'target/Signed/Signed.exe')
def verify = ['osslsigncode', 'verify', '-CAfile', new File(basedir, 'signer.pem').path, '-in', exe.path].execute()
def output = verify.text
assert verify.waitFor() == 0 : "the signature does not verify:\n$output"
assert output.contains('Ravelin throw-away signer') : output

def zip = new ZipFile(new File(basedir, 'target/Signed.zip'))
def zipped = zip.getInputStream(zip.getEntry('Signed/Signed.exe')).bytes
zip.close()
assert zipped == exe.bytes : 'the zip holds another Signed.exe than the signed one'
assert !new File(basedir, 'target').list().any { it.endsWith('.pass') || it.endsWith('.signed') }

def log = new File(basedir, 'build.log').text
assert log.contains('<signing>: osslsigncode did not sign Signed.exe')
return true
