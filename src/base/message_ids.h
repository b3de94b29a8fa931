#pragma once

// Ids of the string-table texts. They live in one string-table block (block 7,
// ids 96 to 111) in each of the 29 language blocks of the resources. This
// header is shared by the C++ code and the resource script, so it holds only
// preprocessor definitions.

#define MSG_NO_VM 101
#define MSG_PROPERTIES_MISSING 102
#define MSG_VM_START_FAILED 103
#define MSG_PROPERTIES_INVALID 104
#define MSG_ERROR_CAPTION 110
// Asked below MSG_NO_VM when the settings name a page to download Java from.
#define MSG_OFFER_DOWNLOAD 106

// User-defined resource type carrying the LCID of each language block (id 1).
#define RT_LANGUAGE_ID 255
