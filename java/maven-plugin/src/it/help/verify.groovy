// The help lists both goals and, for ravelin:package, every parameter with its
// property and its default, as the annotations give them.
def log = new File(basedir, 'build.log').text
assert log.contains('ravelin:help') && log.contains('ravelin:package')
def parameters = [
    applicationFiles: ['ravelin.applicationFiles', '${project.basedir}/src/main/ravelin'],
    console: ['ravelin.console', 'false'],
    copyright: ['ravelin.copyright', null],
    description: ['ravelin.description', '${project.description}'],
    excludes: [null, null],
    executionLevel: ['ravelin.executionLevel', 'asInvoker'],
    icon: ['ravelin.icon', null],
    mainClass: ['ravelin.mainClass', null],
    name: ['ravelin.name', '${project.artifactId}'],
    outputDirectory: [null, '${project.build.directory}'],
    outputTimestamp: [null, '${project.build.outputTimestamp}'],
    settings: [null, null],
    signing: [null, null],
    skip: ['ravelin.skip', 'false'],
    vendor: ['ravelin.vendor', '${project.organization.name}'],
    version: ['ravelin.appVersion', '${project.version}'],
]
def packageHelp = log.substring(log.indexOf('\nravelin:package'))
parameters.each { name, expected ->
    def matcher = packageHelp =~ /(?m)^    ${name}( \(Default: ([^\n]*)\))?\n((?:      [^\n]*\n)*)/
    assert matcher.find() : "the help does not list the parameter $name"
    assert matcher.group(2) == expected[1] : "$name: default ${matcher.group(2)}, not ${expected[1]}"
    def property = (matcher.group(3) =~ /User property: (\S+)/)
    assert (property.find() ? property.group(1) : null) == expected[0] : "$name: user property is not ${expected[0]}"
}
return true
