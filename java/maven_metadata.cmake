# Writes the maven-metadata.xml of an artifact of which the repository holds one
# version, as Maven reads it to resolve a version range ([1.0,2.0)) or LATEST.
# Its lastUpdated is the time SOURCE_DATE_EPOCH gives when that is set (as builds
# that must be reproducible set it), else DEFAULT_EPOCH: never the clock, so that
# the same sources give the same bytes.
#   cmake -DGROUP=org.ravelin -DARTIFACT=ravelin-launcher -DVERSION=<version>
#         -DDEFAULT_EPOCH=<seconds since 1970> -DOUTPUT=<file> -P maven_metadata.cmake
if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(ENV{SOURCE_DATE_EPOCH} ${DEFAULT_EPOCH})
endif()
# string(TIMESTAMP) takes SOURCE_DATE_EPOCH for the time of day.
string(TIMESTAMP last_updated "%Y%m%d%H%M%S" UTC)
file(WRITE ${OUTPUT} "<?xml version=\"1.0\" encoding=\"UTF-8\"?>
<metadata>
  <groupId>${GROUP}</groupId>
  <artifactId>${ARTIFACT}</artifactId>
  <versioning>
    <latest>${VERSION}</latest>
    <release>${VERSION}</release>
    <versions>
      <version>${VERSION}</version>
    </versions>
    <lastUpdated>${last_updated}</lastUpdated>
  </versioning>
</metadata>
")
