# Writes <file>.sha1 and <file>.md5 beside each file given, as a Maven repository
# holds them (the hexadecimal digest alone), so that a build that resolves from
# the repository can verify what it reads.
#   cmake -DFILES=<file;...> -P maven_checksums.cmake
foreach(file IN LISTS FILES)
  foreach(algorithm SHA1 MD5)
    file(${algorithm} ${file} digest)
    string(TOLOWER ${algorithm} extension)
    file(WRITE ${file}.${extension} ${digest})
  endforeach()
endforeach()
