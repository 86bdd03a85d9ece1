// The three-way result of a property read, against a record whose getters
// answer what each test sets.
#include <gtest/gtest.h>

#include "avs/avs_library.h"
#include "avs/frame_props.h"

namespace {

int next_error;
bool map_missing;
int map_requests;
int64_t int_answer;
double float_answer;

const AVS_Map* AVSC_CC fake_props(AVS_ScriptEnvironment*, const AVS_VideoFrame* frame) {
    map_requests++;
    return map_missing ? nullptr : (const AVS_Map*)frame;
}
int64_t AVSC_CC fake_get_int(AVS_ScriptEnvironment*, const AVS_Map*, const char*, int index, int* error) {
    EXPECT_EQ(index, 0);
    EXPECT_EQ(*error, 0) << "the error code must be preset to 0";
    *error = next_error;
    return int_answer;
}
double AVSC_CC fake_get_float(AVS_ScriptEnvironment*, const AVS_Map*, const char*, int, int* error) {
    *error = next_error;
    return float_answer;
}

class FrameProps : public ::testing::Test {
protected:
    void SetUp() override {
        record = AVS_Library();
        record.avs_get_frame_props_ro = fake_props;
        record.avs_prop_get_int = fake_get_int;
        record.avs_prop_get_float = fake_get_float;
        avs_library = &record;
        next_error = 0;
        map_missing = false;
        map_requests = 0;
        int_answer = 0;
        float_answer = 0;
    }
    void TearDown() override { avs_library = nullptr; }
    AVS_Library record;
    const AVS_VideoFrame* frame = (const AVS_VideoFrame*)&record;
};

TEST(FramePropResult, MapsEveryErrorCode) {
    EXPECT_EQ(frame_prop_result(0), FRAME_PROP_PRESENT);
    EXPECT_EQ(frame_prop_result(1), FRAME_PROP_ABSENT);
    EXPECT_EQ(frame_prop_result(4), FRAME_PROP_ABSENT);
    EXPECT_EQ(frame_prop_result(2), FRAME_PROP_FAILED);
    EXPECT_EQ(frame_prop_result(3), FRAME_PROP_FAILED);
    EXPECT_EQ(frame_prop_result(5), FRAME_PROP_FAILED);
    EXPECT_EQ(frame_prop_result(-1), FRAME_PROP_FAILED);
}

TEST_F(FrameProps, IntegerValueOnlyWhenPresent) {
    int64_t value = 0;
    int_answer = (1LL << 40) + 5;
    EXPECT_EQ(read_int_frame_prop(nullptr, frame, "k", &value), FRAME_PROP_PRESENT);
    EXPECT_EQ(value, (1LL << 40) + 5);
    int_answer = -3;
    EXPECT_EQ(read_int_frame_prop(nullptr, frame, "k", &value), FRAME_PROP_PRESENT);
    EXPECT_EQ(value, -3);

    for (int error : {1, 4, 2, 3}) {
        value = 0;
        int_answer = 99;  // whatever the getter returns beside an error is ignored
        next_error = error;
        int result = read_int_frame_prop(nullptr, frame, "k", &value);
        EXPECT_EQ(result, error == 1 || error == 4 ? FRAME_PROP_ABSENT : FRAME_PROP_FAILED);
        EXPECT_EQ(value, 0);
    }
}

TEST_F(FrameProps, FloatValueIsZeroUnlessPresent) {
    double value = 7.0;
    float_answer = 1.001;
    EXPECT_EQ(read_float_frame_prop(nullptr, frame, "k", &value), FRAME_PROP_PRESENT);
    EXPECT_EQ(value, 1.001);
    for (int error : {1, 2, 3, 4}) {
        value = 7.0;
        next_error = error;
        read_float_frame_prop(nullptr, frame, "k", &value);
        EXPECT_EQ(value, 0.0) << error;
    }
}

TEST_F(FrameProps, MissingMapIsAbsentForEveryKind) {
    map_missing = true;
    int64_t i = 0;
    double d = 5.0;
    EXPECT_EQ(read_int_frame_prop(nullptr, frame, "k", &i), FRAME_PROP_ABSENT);
    EXPECT_EQ(read_float_frame_prop(nullptr, frame, "k", &d), FRAME_PROP_ABSENT);
    EXPECT_EQ(d, 0.0);
    EXPECT_EQ(map_requests, 2) << "the map is asked for anew on every read";
}

}  // namespace
