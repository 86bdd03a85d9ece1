// --check-source: one line and status 0 on a match; otherwise one
// diagnostic, an empty standard output and the status that tells why.
#include "e2e_test.h"

namespace {

class SourceCheck : public RunnerTest {
protected:
    run_result check(const std::string& expected, const std::string& description) {
        return run({"--check-source", expected, script(description)});
    }
    void expect_failure(const run_result& r, int status, const std::string& message) {
        EXPECT_EQ(r.status, status);
        EXPECT_EQ(r.err, message);
        EXPECT_EQ(r.out, "");
        expect_clip_kept(r);
    }
};

TEST_F(SourceCheck, MatchingIdPrintsItAndExits0) {
    run_result r = check("42", "frames = 10\nprop zvk_source_id = int 42\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "source_id=42\n");
    EXPECT_EQ(r.err, "");
    expect_clip_kept(r);
    // Frame 0 only, released before the answer.
    EXPECT_EQ(fetched_frames(r.trace), std::vector<int>{0});
    EXPECT_TRUE(trace_has(r.trace, "release_frame 0 held=0"));
}

TEST_F(SourceCheck, ZeroIdMatchesOnlyAPresentZero) {
    run_result r = check("none", "prop zvk_source_id = int 0\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "source_id=0\n");
    expect_failure(check("0", "frames = 1\n"), 14, "frame 0 is missing zvk_source_id\n");
}

TEST_F(SourceCheck, MissingIdGivesStatus14) {
    expect_failure(check("7", "prop zvk_source_id @1- = int 7\n"), 14, "frame 0 is missing zvk_source_id\n");
    expect_failure(check("7", "prop zvk_source_id = error 4\n"), 14, "frame 0 is missing zvk_source_id\n");
    expect_failure(check("7", "prop zvk_source_id = int 7\nnomap = 0\n"), 14,
                   "frame 0 is missing zvk_source_id\n");
}

TEST_F(SourceCheck, UnreadableIdGivesStatus12) {
    expect_failure(check("7", "prop zvk_source_id = string seven\n"), 12,
                   "failed to read zvk_source_id at frame 0\n");
    expect_failure(check("7", "prop zvk_source_id = error 3\n"), 12,
                   "failed to read zvk_source_id at frame 0\n");
    expect_failure(check("7", "prop zvk_source_id = float 7\n"), 12,
                   "failed to read zvk_source_id at frame 0\n");
    expect_failure(check("7", "prop zvk_source_id = error 99\n"), 12,
                   "failed to read zvk_source_id at frame 0\n");
}

TEST_F(SourceCheck, FrameReleasedBeforeTheAnswerWhateverTheRead) {
    run_result r = check("7", "prop zvk_source_id = string seven\n");
    EXPECT_EQ(slice(r.trace, -4, 4),
              (std::vector<std::string>{"get_frame 0 held=1", "props 0", "prop_get_int 0 zvk_source_id -> 2",
                                        "release_frame 0 held=0"}));
}

TEST_F(SourceCheck, ClipWithoutFramesGivesStatus13) {
    for (const char* frames : {"0", "-1", "-2147483648"}) {
        run_result r = check("0", std::string("frames = ") + frames + "\n");
        expect_failure(r, 13, "script has no video frames\n");
        EXPECT_TRUE(trace_with(r.trace, "get_frame").empty()) << frames;
    }
}

TEST_F(SourceCheck, UnfetchableFrameGivesStatus5) {
    expect_failure(check("0", "frames = 3\nfail_frame = 0\nfail_error = source file is gone\n"), 5,
                   "failed to get frame 0: source file is gone\n");
    expect_failure(check("0", "frames = 3\nfail_frame = 0\n"), 5, "failed to get frame 0\n");
}

TEST_F(SourceCheck, IdsAreComparedInAll64Bits) {
    expect_failure(check("0", "prop zvk_source_id = int 4294967296\n"), 15,
                   "frame 0 has zvk_source_id 4294967296, expected 0\n");
    expect_failure(check("4294967296", "prop zvk_source_id = int 0\n"), 15,
                   "frame 0 has zvk_source_id 0, expected 4294967296\n");
    expect_failure(check("-1", "prop zvk_source_id = int 4294967295\n"), 15,
                   "frame 0 has zvk_source_id 4294967295, expected -1\n");
    run_result r = check("1099511627781", "prop zvk_source_id = int 1099511627781\n");
    EXPECT_EQ(r.out, "source_id=1099511627781\n");
}

TEST_F(SourceCheck, NegativeIdsKeepTheirSign) {
    run_result r = check("-5", "prop zvk_source_id = int -5\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "source_id=-5\n");
    expect_failure(check("5", "prop zvk_source_id = int -5\n"), 15,
                   "frame 0 has zvk_source_id -5, expected 5\n");
}

TEST_F(SourceCheck, LaterFramesThatFailDoNotMatter) {
    run_result r = check("9", "frames = 100\nfail_frame = 1-\nprop zvk_source_id = int 9\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "source_id=9\n");
    EXPECT_EQ(trace_with(r.trace, "get_frame"), std::vector<std::string>{"get_frame 0 held=1"});
}

}  // namespace
