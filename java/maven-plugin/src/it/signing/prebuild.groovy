// A throw-away code signing certificate and its key in a PKCS#12 keystore, and the certificate alone to verify with.
def keytool = new File(System.getProperty('java.home'), 'bin/keytool').path
def run = { List<String> command ->
    def process = command.execute()
    def output = process.text
    assert process.waitFor() == 0 : "$command failed:\n$output"
}
def keystore = new File(basedir, 'signing.p12').path
run([keytool, '-genkeypair', '-alias', 'signer', '-keyalg', 'RSA', '-keysize', '2048', '-validity', '2',
     '-dname', 'CN=Ravelin throw-away signer', '-ext', 'EKU=codeSigning', '-storetype', 'PKCS12',
     '-keystore', keystore, '-storepass', 'throw-away'])
run([keytool, '-exportcert', '-rfc', '-alias', 'signer', '-keystore', keystore, '-storepass', 'throw-away',
     '-file', new File(basedir, 'signer.pem').path])
return true
