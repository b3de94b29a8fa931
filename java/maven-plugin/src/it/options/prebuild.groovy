// An empty folder of the application's files (a version control system keeps none).
new File(basedir, 'src/dist/logs').mkdirs()
return true
