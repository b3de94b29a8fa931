// A folder of target/ that the goal did not write.
def foreign = new File(basedir, 'target/Foreign')
foreign.mkdirs()
new File(foreign, 'keep.txt').text = 'not the goal\'s\n'
return true
