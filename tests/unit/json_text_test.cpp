#include <gtest/gtest.h>

#include <locale.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "formats/json_text.h"

static std::string take(text_buffer* text) {
    std::string s(text->bytes != nullptr ? text->bytes : "", text->size);
    text_free(text);
    return s;
}

TEST(JsonText, StringsAndDataAsTheirBytesAllow) {
    struct {
        std::string bytes;
        const char* as_string;
        const char* as_data;
    } rows[] = {
        {"plain", "\"plain\"", "\"plain\""},
        {"a\"b\\c\n\x01", "\"a\\\"b\\\\c\\u000a\\u0001\"", "\"a\\\"b\\\\c\\u000a\\u0001\""},
        {std::string("nul\0in", 6), "\"nul\\u0000in\"", "\"nul\\u0000in\""},
        {"\xC3\xA9t\xC3\xA9 \xF0\x9F\x8E\xAC", "\"\xC3\xA9t\xC3\xA9 \xF0\x9F\x8E\xAC\"",
         "\"\xC3\xA9t\xC3\xA9 \xF0\x9F\x8E\xAC\""},
        // Latin-1, a cut sequence, an overlong form, a surrogate.
        {"caf\xE9", "\"caf\xEF\xBF\xBD\"", "{\"base64\": \"Y2Fm6Q==\"}"},
        {"\xE2\x82", "\"\xEF\xBF\xBD\xEF\xBF\xBD\"", "{\"base64\": \"4oI=\"}"},
        {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\"", "{\"base64\": \"wK8=\"}"},
        {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"", "{\"base64\": \"7aCA\"}"},
    };
    for (const auto& row : rows) {
        text_buffer text = {};
        json_append_string(&text, row.bytes.data(), row.bytes.size());
        EXPECT_EQ(take(&text), row.as_string);
        json_append_data(&text, row.bytes.data(), row.bytes.size());
        EXPECT_EQ(take(&text), row.as_data);
    }
}

TEST(JsonText, FloatsReadBackExactlyInAnyLocale) {
    // A plugin may set a locale with a decimal comma.
    const char* locale = setlocale(LC_ALL, "de_DE.UTF-8");
    struct {
        double value;
        const char* text;
    } rows[] = {
        {0.1, "0.1"},
        {1.0, "1.0"},
        {-0.0, "-0.0"},
        {1e300, "1e+300"},
        {5e-324, "5e-324"},
        {0.30000000000000004, "0.30000000000000004"},
        {1.0 / 0.0, "{\"float\": \"inf\"}"},
        {-1.0 / 0.0, "{\"float\": \"-inf\"}"},
    };
    std::vector<std::string> written;
    for (const auto& row : rows) {
        text_buffer text = {};
        json_append_float(&text, row.value);
        written.push_back(take(&text));
    }
    if (locale != nullptr) setlocale(LC_ALL, "C");
    for (size_t i = 0; i < written.size(); i++) {
        EXPECT_EQ(written[i], rows[i].text);
        if (written[i][0] != '{') {
            EXPECT_EQ(strtod(written[i].c_str(), nullptr), rows[i].value) << written[i];
        }
    }
    text_buffer text = {};
    json_append_int(&text, INT64_MIN);
    EXPECT_EQ(take(&text), "-9223372036854775808");
}
