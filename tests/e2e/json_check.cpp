#include "json_check.h"

#include <gtest/gtest.h>

#include "e2e_test.h"

void expect_json(const std::string& text, const std::string& expected, const std::string& scratch_file) {
    if (system("command -v jq >/dev/null 2>&1") != 0) {
        ADD_FAILURE() << "jq is not installed";
        return;
    }
    write_file(scratch_file, text);
    int status = 0;
    std::string verdict =
        shell_output("jq -e -s --argjson want " + shell_quote(expected) +
                         " 'length == 1 and .[0] == $want' " + shell_quote(scratch_file) + " 2>&1",
                     &status);
    EXPECT_EQ(status, 0) << "not the expected JSON (" << verdict << "):\n"
                         << text << "expected:\n"
                         << expected;
}
