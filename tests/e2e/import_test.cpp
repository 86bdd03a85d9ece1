// The environment and the import: each early failure's message and status,
// and what is released on its way out.
#include <filesystem>

#include "e2e_test.h"

namespace {

class Import : public RunnerTest {};

TEST_F(Import, ErrorValueGivesItsTextAndStatus1) {
    std::string clip = script("result = error\nerror = Script error: there is no function named Foo\n");
    run_result r = run({"--y4m", clip});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Script error: there is no function named Foo\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.trace, (std::vector<std::string>{"load", "create_env 8",
                                                 "invoke Import s " + clip + " array_size=0 names=null",
                                                 "release_value e", "delete_env"}));
}

TEST_F(Import, ResultOfAnotherTypeGivesStatus3) {
    for (const char* type : {"int", "float", "string", "bool", "array", "void"}) {
        std::string clip = script(std::string("result = ") + type + "\n");
        run_result r = run({"--wav", clip});
        EXPECT_EQ(r.status, 3) << type;
        EXPECT_EQ(r.err, "script did not return a clip\n");
        EXPECT_EQ(r.out, "");
        std::vector<std::string> released = trace_with(r.trace, "release_value");
        ASSERT_EQ(released.size(), 1u) << type;
        EXPECT_NE(released[0], "release_value c");
        EXPECT_EQ(item(r.trace, -1), "delete_env");
        EXPECT_TRUE(trace_with(r.trace, "take_clip").empty());
    }
}

TEST_F(Import, EnvironmentThatCannotBeCreatedGivesStatus2) {
    std::string clip = script("frames = 1\n");
    run_request request;
    request.env = {"ZVK_STANDIN_FAIL=create_env"};
    run_result r = run({"--validate", clip}, request);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "failed to create Avisynth environment\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.trace, (std::vector<std::string>{"load", "create_env 8 failed"}));
}

TEST_F(Import, ValidationVariableThatCannotBeSetGivesStatus2) {
    std::string clip = script("frames = 1\n");
    run_request request;
    request.env = {"ZVK_STANDIN_FAIL=set_var"};
    run_result r = run({"--validate-real", clip}, request);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "failed to set validation source mode\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.trace, (std::vector<std::string>{"load", "create_env 8",
                                                 "set_var zvk_validation_blank b 0 failed", "delete_env"}));
}

// The variable is the only difference between the two validation modes, and
// no other mode defines it.
TEST_F(Import, ValidationVariableIsSetOnlyInValidationModes) {
    std::string clip = script("frames = 1\nprop zvk_source_id = int 0\n");
    struct {
        std::vector<std::string> args;
        const char* set;
    } cases[] = {
        {{"--validate", clip}, "set_var zvk_validation_blank b 1"},
        {{"--validate-real", clip}, "set_var zvk_validation_blank b 0"},
        {{"--check-source", "0", clip}, nullptr},
        {{"--y4m", clip}, nullptr},
        {{"--y4m-skip-drop", "1", "1", clip}, nullptr},
        {{"--wav", clip}, nullptr},
    };
    for (const auto& c : cases) {
        run_result r = run(c.args);
        std::vector<std::string> sets = trace_with(r.trace, "set_var");
        if (c.set == nullptr) {
            EXPECT_TRUE(sets.empty()) << c.args[0];
        } else {
            EXPECT_EQ(sets, std::vector<std::string>{c.set});
            // Set before the import.
            EXPECT_EQ(item(r.trace, 2), c.set);
        }
    }
}

TEST_F(Import, ClipIsTakenAndNeverReleased) {
    std::string clip = script("frames = 2\n");
    run_result r = run({"--validate", clip});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slice(r.trace, 0, 7),
              (std::vector<std::string>{"load", "create_env 8", "set_var zvk_validation_blank b 1",
                                        "invoke Import s " + clip + " array_size=0 names=null", "take_clip",
                                        "release_value c", "get_video_info"}));
    expect_clip_kept(r);
}

// A directory is refused as an import that cannot open its file, before
// the library is asked to import it, in every form.
TEST_F(Import, DirectoryIsAnImportThatCannotOpenItsFile) {
    std::string folder = path("folder.avs");
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    std::string native = native_path(folder);
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--validate", native, native_path(path("f.csv"))},
                                               {"--validate-real", native},
                                               {"--check-source", "0", native},
                                               {"--y4m", native},
                                               {"--y4m-skip-drop", "1", "1", native},
                                               {"--wav", native},
                                               {"--rf64", native},
                                               {"--wav-extensible", native},
                                               {"--info", native}}) {
        SCOPED_TRACE(args[0]);
        run_result r = run(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "Import: couldn't open \"" + native + "\": Is a directory\n");
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(trace_with(r.trace, "invoke").empty()) << "the library was asked";
        EXPECT_EQ(item(r.trace, -1), "delete_env");
    }
    EXPECT_EQ(item(read_lines(path("f.csv.runner.log")), -1), "failed: import");
}

TEST_F(Import, UnreadableScriptIsTheLibrarysError) {
    run_result r = run({"--check-source", "0", path("missing.avs")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("stand-in: cannot open " + path("missing.avs"), 0), 0u) << r.err;
}

}  // namespace
