#pragma once

// The names of the launcher's own version record (resources/launcher.rc): a
// program the packager branded carries names of its own instead. This header is
// shared by the C++ code and the resource script, so it holds only
// preprocessor definitions.

#define QEL_PRODUCT_NAME "Ravelin"
#define QEL_FILE_DESCRIPTION "Ravelin Java application launcher"
