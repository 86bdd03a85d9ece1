#include <gtest/gtest.h>
#include <string.h>

#include "command_line.h"
#include "modes.h"

TEST(LenientInt64, ReadsLikeStrtollBase10) {
    EXPECT_EQ(parse_lenient_int64("42"), 42);
    EXPECT_EQ(parse_lenient_int64("42abc"), 42);
    EXPECT_EQ(parse_lenient_int64("abc"), 0);
    EXPECT_EQ(parse_lenient_int64(""), 0);
    EXPECT_EQ(parse_lenient_int64("-"), 0);
    EXPECT_EQ(parse_lenient_int64("+-1"), 0);
    EXPECT_EQ(parse_lenient_int64(" \t\n+17x"), 17);
    EXPECT_EQ(parse_lenient_int64("-17"), -17);
    EXPECT_EQ(parse_lenient_int64("0x10"), 0);  // base 10: stops at the x
    EXPECT_EQ(parse_lenient_int64("007"), 7);
}

TEST(LenientInt64, ClampsToTheRange) {
    EXPECT_EQ(parse_lenient_int64("99999999999999999999"), INT64_MAX);
    EXPECT_EQ(parse_lenient_int64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(parse_lenient_int64("9223372036854775808"), INT64_MAX);
    EXPECT_EQ(parse_lenient_int64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(parse_lenient_int64("-9223372036854775809"), INT64_MIN);
    EXPECT_EQ(parse_lenient_int64("-999999999999999999999999999999"), INT64_MIN);
    EXPECT_EQ(parse_lenient_int64("4294967296"), 4294967296LL);
}

TEST(LenientUint32, ReadsLikeA32BitStrtoul) {
    EXPECT_EQ(parse_lenient_uint32("30"), 30u);
    EXPECT_EQ(parse_lenient_uint32(" 30000fps"), 30000u);
    EXPECT_EQ(parse_lenient_uint32("x1"), 0u);
    EXPECT_EQ(parse_lenient_uint32("-1"), 4294967295u);
    EXPECT_EQ(parse_lenient_uint32("-2"), 4294967294u);
    EXPECT_EQ(parse_lenient_uint32("-4294967295"), 1u);
    EXPECT_EQ(parse_lenient_uint32("4294967295"), 4294967295u);
    // Beyond 32 bits the limit wins, with or without a sign, never the
    // wrapped value.
    EXPECT_EQ(parse_lenient_uint32("4294967296"), 4294967295u);
    EXPECT_EQ(parse_lenient_uint32("-4294967296"), 4294967295u);
    EXPECT_EQ(parse_lenient_uint32("99999999999999999999999"), 4294967295u);
    EXPECT_EQ(parse_lenient_uint32("-0"), 0u);
}

TEST(CommandLine, FillsTheFieldsOfEachMode) {
    run_options o;
    char prog[] = "zvk_avs_runner";
    char validate[] = "--validate", script[] = "s.avs", csv[] = "f.csv";
    char* v[] = {prog, validate, script, csv};
    ASSERT_EQ(parse_command_line(4, v, &o), 0);
    EXPECT_STREQ(o.mode->option, "--validate");
    EXPECT_STREQ(o.script_path, "s.avs");
    EXPECT_STREQ(o.csv_path, "f.csv");
    ASSERT_EQ(parse_command_line(3, v, &o), 0);
    EXPECT_EQ(o.csv_path, nullptr);

    char skip[] = "--y4m-skip-drop", num[] = "-1", den[] = "1001";
    char* s[] = {prog, skip, num, den, script};
    ASSERT_EQ(parse_command_line(5, s, &o), 0);
    EXPECT_STREQ(o.mode->option, "--y4m-skip-drop");
    EXPECT_EQ(o.fps_num, 4294967295u);
    EXPECT_EQ(o.fps_den, 1001u);
    EXPECT_STREQ(o.script_path, "s.avs");

    char check[] = "--check-source", id[] = "-12";
    char* c[] = {prog, check, id, script};
    ASSERT_EQ(parse_command_line(4, c, &o), 0);
    EXPECT_STREQ(o.mode->option, "--check-source");
    EXPECT_EQ(o.expected_source_id, -12);
    EXPECT_EQ(o.fps_num, 0u);
    EXPECT_EQ(o.csv_path, nullptr);
}

// The families of modes, as the table of modes makes them; every row has
// its steps and a usage line that starts with its option.
TEST(CommandLine, ModeFamiliesByOutput) {
    struct {
        const char* name;
        const char* label;
        bool streams;
        int validation_blank;
    } families[] = {
        {"--validate", "zvk_progress", false, 1},
        {"--validate-real", "zvk_progress", false, 0},
        {"--y4m", "zvk_render", true, -1},
        {"--y4m-skip-drop", "zvk_render", true, -1},
        {"--wav", nullptr, true, -1},
        {"--rf64", nullptr, true, -1},
        {"--check-source", nullptr, false, -1},
        {"--raw", "zvk_render", true, -1},
        {"--info-frame0", nullptr, false, -1},
    };
    for (const auto& f : families) {
        const run_mode* mode = find_run_mode(f.name);
        ASSERT_NE(mode, nullptr) << f.name;
        EXPECT_STREQ(mode->output->progress_label, f.label) << f.name;
        EXPECT_EQ(mode->output->streams, f.streams) << f.name;
        EXPECT_EQ(mode->output->validation_blank, f.validation_blank) << f.name;
    }
    for (size_t i = 0; i < run_mode_count; i++) {
        const run_mode& mode = run_modes[i];
        EXPECT_NE(mode.output, nullptr) << mode.option;
        EXPECT_EQ(strncmp(mode.usage, mode.option, strlen(mode.option)), 0) << mode.option;
        EXPECT_EQ(find_run_mode(mode.option), &mode) << mode.option;
    }
}
