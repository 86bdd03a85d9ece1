// --check-source: does frame 0 carry the expected zvk_source_id?
#ifndef ZVK_SOURCE_CHECK_H
#define ZVK_SOURCE_CHECK_H

#include <stdint.h>

#include "avs/import_script.h"

// Fetches frame 0 only and compares its id: 0 (the line on standard output),
// or 5, 12, 13, 14 or 15 (reported).
int check_source_id(const imported_script* script, int64_t expected_id);

#endif
