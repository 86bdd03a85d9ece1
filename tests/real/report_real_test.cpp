// Validation reports and source checks of the real library's clips: frame
// properties the script sets and those AviSynth+ sets itself, the variable
// that tells the two validation modes apart, and the checkpoint log.
#include <ctype.h>

#include "expected_output.h"
#include "real_test.h"

namespace {

const std::string csv_header =
    "output_frame,source_id,source_frame,drop_frame,matrix,primaries,transfer,color_range,absolute_"
    "timestretch\n";

class RealReport : public RealTest {};

TEST_F(RealReport, CsvRowsOfScriptAndLibraryProperties) {
    struct {
        const char* what;
        std::string avs;
        int status;
        std::string rows;
        std::string error;
    } cases[] = {
        {"set by the script, per frame and for the clip",
         "BlankClip(length=3, width=32, height=16, pixel_type=\"YV12\")\n"
         "propSet(\"zvk_source_id\", 1001)\n"
         "ScriptClip(\"\"\"propSet(\"zvk_source_frame\", current_frame * 2)"
         ".propSet(\"zvk_drop_frame\", current_frame == 1 ? -1 : 0)\"\"\")\n"
         "propSet(\"_Matrix\", 9).propSet(\"_Primaries\", 9).propSet(\"_Transfer\", "
         "16).propSet(\"_ColorRange\", 0)\n"
         "propSet(\"zvk_absolute_timestretch\", 1.001)\n",
         0,
         "0,1001,0,0,9,9,16,0,1.0009999999999999\n"
         "1,1001,2,-1,9,9,16,0,1.0009999999999999\n"
         "2,1001,4,0,9,9,16,0,1.0009999999999999\n",
         ""},
        {"set by the library's conversions",
         "c = ColorBars(width=32, height=16, pixel_type=\"RGB32\").Trim(0, -1)\n"
         "c.ConvertToYV12(matrix=\"Rec709\") + c.ConvertToYV12(matrix=\"Rec2020\")\n",
         0, "0,,,0,1,0,0,1,\n1,,,0,9,0,0,1,\n", ""},
        {"a string where a number belongs",
         "BlankClip(length=3, width=32, height=16, pixel_type=\"YV12\")\n"
         "ScriptClip(\"\"\"current_frame == 1 ? propSet(\"zvk_source_id\", \"one\") : last\"\"\")\n",
         12, "0,,,0,6,0,0,1,\n", "failed to read zevokit frame properties at frame 1\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        run_result r = run_avs({"--validate", "@", "@csv"}, c.avs);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(diagnostic_lines(r.err), c.error);
        EXPECT_EQ(read_file(path("frames.csv")), csv_header + c.rows);
    }
}

// zvk_validation_blank is true under --validate, false under
// --validate-real, and undefined in every other mode.
TEST_F(RealReport, ValidationVariableTellsTheModesApart) {
    const std::string avs =
        "BlankClip(length=2, width=32, height=16, pixel_type=\"YV12\").propSet(\"zvk_source_id\", "
        "VarExist(\"zvk_validation_blank\") ? (zvk_validation_blank ? 1 : 2) : 3)\n";
    for (const char* mode : {"--validate", "--validate-real"}) {
        run_result r = run_avs({mode, "@", "@csv"}, avs);
        EXPECT_EQ(r.status, 0) << r.err;
        std::string id = std::string(mode) == "--validate" ? "1" : "2";
        EXPECT_EQ(read_file(path("frames.csv")),
                  csv_header + "0," + id + ",,0,6,0,0,1,\n1," + id + ",,0,6,0,0,1,\n");
    }
    EXPECT_EQ(run_avs({"--check-source", "3", "@"}, avs).out, "source_id=3\n");
}

// The log of a whole run; its dll line names the real library's file.
TEST_F(RealReport, CheckpointLogNamesTheRealLibrary) {
    run_result r = run_avs({"--validate-real", "@", "@csv"}, "BlankClip(length=1200, width=16, height=16)\n");
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> log = read_lines(path("frames.csv.runner.log"));
    std::string file = e2e.platform == "windows" ? "AviSynth.dll" : e2e.library_file;
    std::string dll = "dll: " + native_path(real_library_dir + "/" + file);
    // Windows names the file in its own case (avisynth.dll under Wine).
    auto folded = [](std::string s) {
        for (char& ch : s) ch = (char)tolower((unsigned char)ch);
        return s;
    };
    EXPECT_EQ(folded(item(log, 4)), folded(dll));
    if (log.size() > 4) log[4] = dll;
    EXPECT_EQ(log, (std::vector<std::string>{
                       "start", "runner: " + e2e.platform + " " + e2e.width, path("clip.avs"),
                       "load: " + e2e.library_file, dll, "create: script environment v8", "import: script",
                       "take: clip", "get: video info", "info: frames 1200", "render: clip_info",
                       "render: open validation csv", "render: frame 0", "render: frame 1000",
                       "render: frame 1199", "render: close validation csv", "render: complete", "exit: 0"}));
}

TEST_F(RealReport, SourceCheck) {
    struct {
        std::string avs;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {"BlankClip(length=2).propSet(\"zvk_source_id\", 1001)", 0, "source_id=1001\n", ""},
        {"BlankClip(length=2).propSet(\"zvk_source_id\", 2002)", 15, "",
         "frame 0 has zvk_source_id 2002, expected 1001\n"},
        {"BlankClip(length=2)", 14, "", "frame 0 is missing zvk_source_id\n"},
        {"BlankClip(length=2).propSet(\"zvk_source_id\", 1001.0)", 12, "",
         "failed to read zvk_source_id at frame 0\n"},
        {"BlankClip(length=0).propSet(\"zvk_source_id\", 1001)", 13, "", "script has no video frames\n"},
    };
    for (const auto& c : cases) {
        run_result r = run_avs({"--check-source", "1001", "@"}, c.avs + "\n");
        EXPECT_EQ(r.status, c.status) << c.avs;
        EXPECT_EQ(r.out, c.out) << c.avs;
        EXPECT_EQ(r.err, c.err) << c.avs;
    }
}

}  // namespace
