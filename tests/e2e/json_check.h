// Checks a JSON text with a real JSON parser (jq): one value, equal to the
// expected one (key order and spacing aside).
#ifndef ZVK_E2E_JSON_CHECK_H
#define ZVK_E2E_JSON_CHECK_H

#include <string>

// scratch_file is where the text is put for jq to read.
void expect_json(const std::string& text, const std::string& expected, const std::string& scratch_file);

#endif
