// The goal signs with osslsigncode: without it on the path this test is skipped, unless every test must run.
def found = System.getenv('PATH').split(File.pathSeparator).any { new File(it, 'osslsigncode').canExecute() }
if (!found && testsComplete == 'true') {
    throw new IllegalStateException('osslsigncode is not on the path')
}
return found
