// Fuzzes the runner against hostile AviSynth answers. The binding is one
// record of function pointers, so the harness fills it with functions that
// answer from the fuzzer's input: video information of any value, plane
// geometry (row sizes beyond the pitch, negative or zero sizes, null read
// pointers), property results and error codes, audio results. Every mode's
// writer is driven with it under AddressSanitizer and
// UndefinedBehaviorSanitizer. Plane memory is allocated to exactly the
// extent the answers describe, so a read beyond it is reported.
//
// The run is driven from the dispatch on, as the driver makes it; every
// writer returns its status to it, so the process goes on to the next input.
#include <dlfcn.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <limits>
#include <string>

#include "avs/avs_library.h"
#include "avs/import_script.h"
#include "driver.h"
#include "modes.h"
#include "run_end.h"

namespace {

// ---- answers from the input --------------------------------------------------

FuzzedDataProvider* in;
AVS_VideoInfo vi;
int frames_held;
run_options options;
int frame_budget;  // successful fetches left in this run
int audio_budget;

void require(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "runner broke a rule of the interface: %s\n", what);
        abort();
    }
}

// Mostly small values, now and then the extremes.
int hostile_int(int low, int high) {
    switch (in->ConsumeIntegralInRange<int>(0, 15)) {
    case 0: return std::numeric_limits<int>::min();
    case 1: return std::numeric_limits<int>::max();
    case 2: return in->ConsumeIntegral<int>();
    default: return in->ConsumeIntegralInRange<int>(low, high);
    }
}

struct fake_frame {
    int n;
    unsigned char* memory[4];
    const unsigned char* first[4];
    int pitch[4];
    int row_size[4];
    int height[4];
};

// The first plane also stands for G and for a packed frame's one plane (0),
// the second for B, the third for R; alpha has a slot of its own.
int plane_slot(int plane) {
    switch (plane) {
    case 0:
    case AVS_PLANAR_Y:
    case AVS_PLANAR_G: return 0;
    case AVS_PLANAR_U:
    case AVS_PLANAR_B: return 1;
    case AVS_PLANAR_V:
    case AVS_PLANAR_R: return 2;
    case AVS_PLANAR_A: return 3;
    default: require(false, "plane id"); return 0;
    }
}

const char* AVSC_CC fake_clip_get_error(AVS_Clip*) { return in->ConsumeBool() ? "fuzzed failure" : nullptr; }

AVS_VideoFrame* AVSC_CC fake_get_frame(AVS_Clip*, int n) {
    // One frame being written while the next is fetched.
    require(frames_held <= 1, "at most two frames held");
    require(n >= 0 && n < vi.num_frames, "frame number within the clip");
    // A timestamp file times the frames before a range too.
    int first = options.timecodes_path != nullptr ? 0 : options.first_frame;
    require(!options.has_frame_range || (n >= first && n <= options.last_frame),
            "frame number within the range");
    if (frame_budget-- <= 0 || !in->ConsumeBool()) return nullptr;
    fake_frame* f = (fake_frame*)calloc(1, sizeof(fake_frame));
    f->n = n;
    for (int p = 0; p < 4; p++) {
        f->height[p] = hostile_int(-2, 12);
        f->row_size[p] = hostile_int(-2, 48);
        f->pitch[p] = hostile_int(-64, 64);
        bool null_pointer = in->ConsumeIntegralInRange<int>(0, 9) == 0;
        if (null_pointer || f->height[p] <= 0 || f->row_size[p] <= 0 || f->row_size[p] > 4096 ||
            f->height[p] > 64 || f->pitch[p] < -4096 || f->pitch[p] > 4096) {
            // Too large to back with memory: answered with a null pointer,
            // which the runner must not read through.
            f->first[p] = nullptr;
            continue;
        }
        // Exactly the bytes the rows cover, wherever the pitch puts them.
        long last = (long)(f->height[p] - 1) * f->pitch[p];
        long low = last < 0 ? last : 0;
        long high = (last > 0 ? last : 0) + f->row_size[p];
        f->memory[p] = (unsigned char*)malloc((size_t)(high - low));
        memset(f->memory[p], 0x5A, (size_t)(high - low));
        f->first[p] = f->memory[p] - low;
    }
    frames_held++;
    return (AVS_VideoFrame*)f;
}

void AVSC_CC fake_release_video_frame(AVS_VideoFrame* frame) {
    require(frames_held >= 1, "release of a held frame");
    fake_frame* f = (fake_frame*)frame;
    for (unsigned char* m : f->memory) free(m);
    free(f);
    frames_held--;
}

const unsigned char* AVSC_CC fake_read_ptr(const AVS_VideoFrame* frame, int plane) {
    return ((const fake_frame*)frame)->first[plane_slot(plane)];
}
int AVSC_CC fake_pitch(const AVS_VideoFrame* frame, int plane) {
    return ((const fake_frame*)frame)->pitch[plane_slot(plane)];
}
int AVSC_CC fake_row_size(const AVS_VideoFrame* frame, int plane) {
    return ((const fake_frame*)frame)->row_size[plane_slot(plane)];
}
int AVSC_CC fake_height(const AVS_VideoFrame* frame, int plane) {
    return ((const fake_frame*)frame)->height[plane_slot(plane)];
}

const AVS_Map* AVSC_CC fake_props(AVS_ScriptEnvironment*, const AVS_VideoFrame* frame) {
    require(frames_held >= 1, "properties of a held frame");
    return in->ConsumeIntegralInRange<int>(0, 7) == 0 ? nullptr : (const AVS_Map*)frame;
}

int fuzzed_error() {
    int pick = in->ConsumeIntegralInRange<int>(0, 7);
    return pick <= 4 ? pick : in->ConsumeIntegral<int>();
}

int64_t AVSC_CC fake_prop_int(AVS_ScriptEnvironment*, const AVS_Map*, const char*, int index, int* error) {
    require(index == 0 && *error == 0, "index 0 and a preset error code");
    *error = fuzzed_error();
    return in->ConsumeIntegral<int64_t>();
}

double AVSC_CC fake_prop_float(AVS_ScriptEnvironment*, const AVS_Map*, const char*, int index, int* error) {
    require(index == 0 && *error == 0, "index 0 and a preset error code");
    *error = fuzzed_error();
    switch (in->ConsumeIntegralInRange<int>(0, 4)) {
    case 0: return std::numeric_limits<double>::quiet_NaN();
    case 1: return -std::numeric_limits<double>::infinity();
    case 2: return std::numeric_limits<double>::denorm_min();
    default: return in->ConsumeFloatingPoint<double>();
    }
}

int bytes_per_sample(int type) {
    switch (type) {
    case AVS_SAMPLE_INT8: return 1;
    case AVS_SAMPLE_INT16: return 2;
    case AVS_SAMPLE_INT24: return 3;
    default: return 4;
    }
}

int AVSC_CC fake_get_audio(AVS_Clip*, void* buffer, int64_t start, int64_t count) {
    require(start >= 0 && count > 0 && count <= 65536, "a step of at most 65536 samples");
    require(start + count <= vi.num_audio_samples, "samples within the clip");
    if (audio_budget-- <= 0 || !in->ConsumeBool()) return 1;
    // Fill all that was asked for: a buffer too small is reported.
    memset(buffer, 0xA5, (size_t)(count * vi.nchannels * bytes_per_sample(vi.sample_type)));
    return 0;
}

int AVSC_CC fake_int_answer(const AVS_VideoInfo*) { return hostile_int(-1, 33); }
int AVSC_CC fake_bool_answer(const AVS_VideoInfo*) { return in->ConsumeBool(); }
bool AVSC_CC fake_mask_known(const AVS_VideoInfo*) { return in->ConsumeBool(); }
unsigned AVSC_CC fake_channel_mask(const AVS_VideoInfo*) { return in->ConsumeIntegral<unsigned>(); }

// The import.
int environment_token;
AVS_ScriptEnvironment* AVSC_CC fake_create_env(int version) {
    require(version == 8, "interface version 8");
    return in->ConsumeIntegralInRange<int>(0, 15) == 0 ? nullptr : (AVS_ScriptEnvironment*)&environment_token;
}
void AVSC_CC fake_delete_env(AVS_ScriptEnvironment* env) {
    require(env == (AVS_ScriptEnvironment*)&environment_token, "the environment given out");
}
int AVSC_CC fake_set_var(AVS_ScriptEnvironment*, const char* name, AVS_Value value) {
    require(strcmp(name, "zvk_validation_blank") == 0 && value.type == 'b', "the validation variable");
    return in->ConsumeIntegralInRange<int>(0, 15) != 0;
}
int clip_token;
AVS_Value AVSC_CC fake_invoke(AVS_ScriptEnvironment*, const char* name, AVS_Value args, const char** names) {
    if (strcmp(name, "VersionString") == 0) {
        // --info's version of the library: any text, an error, or no string.
        require(args.type == 'a' && names == nullptr, "VersionString without arguments");
        static std::string version;
        AVS_Value v;
        memset(&v, 0, sizeof v);
        switch (in->ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
            version = in->ConsumeRandomLengthString(300);
            v.type = 's';
            v.d.string = version.c_str();
            break;
        case 1:
            v.type = 'e';
            v.d.string = "fuzzed version error";
            break;
        default: v.type = 'i'; break;
        }
        return v;
    }
    require(strcmp(name, "Import") == 0 && args.type == 's' && names == nullptr, "Import of one path");
    static const char letters[] = {'c', 'c', 'c', 'e', 'i', 's', 'b', 'a', 'v', 'f', 'l', 'd', 'n', 0};
    AVS_Value v;
    memset(&v, 0, sizeof v);
    v.type = letters[in->ConsumeIntegralInRange<size_t>(0, sizeof letters - 1)];
    if (v.type == 'c') v.d.clip = &clip_token;
    if (v.type == 'e') v.d.string = in->ConsumeBool() ? "fuzzed import error" : nullptr;
    return v;
}
void AVSC_CC fake_release_value(AVS_Value) {}
AVS_Clip* AVSC_CC fake_take_clip(AVS_Value value, AVS_ScriptEnvironment*) {
    require(value.type == 'c', "a clip value taken");
    return (AVS_Clip*)value.d.clip;
}
const AVS_VideoInfo* AVSC_CC fake_video_info(AVS_Clip*) { return &vi; }

// A record as the binding leaves it, with a real handle the runner may
// close on its failure paths.
AVS_Library* make_record() {
    AVS_Library* r = (AVS_Library*)calloc(1, sizeof(AVS_Library));
    r->handle = dlopen(nullptr, RTLD_NOW);
    r->avs_create_script_environment = fake_create_env;
    r->avs_delete_script_environment = fake_delete_env;
    r->avs_set_var = fake_set_var;
    r->avs_invoke = fake_invoke;
    r->avs_release_value = fake_release_value;
    r->avs_take_clip = fake_take_clip;
    r->avs_get_video_info = fake_video_info;
    r->avs_clip_get_error = fake_clip_get_error;
    r->avs_get_frame = fake_get_frame;
    r->avs_release_video_frame = fake_release_video_frame;
    r->avs_get_read_ptr_p = fake_read_ptr;
    r->avs_get_pitch_p = fake_pitch;
    r->avs_get_row_size_p = fake_row_size;
    r->avs_get_height_p = fake_height;
    r->avs_get_audio = fake_get_audio;
    r->avs_is_yv12 = fake_bool_answer;
    r->avs_is_yv16 = fake_bool_answer;
    r->avs_is_yv24 = fake_bool_answer;
    // The optional functions, each present or not.
    if (in->ConsumeIntegralInRange<int>(0, 7) != 0) r->avs_bits_per_component = fake_int_answer;
    if (in->ConsumeIntegralInRange<int>(0, 7) != 0) r->avs_is_420 = fake_bool_answer;
    if (in->ConsumeIntegralInRange<int>(0, 7) != 0) r->avs_is_422 = fake_bool_answer;
    if (in->ConsumeIntegralInRange<int>(0, 7) != 0) r->avs_is_444 = fake_bool_answer;
    if (in->ConsumeBool()) {
        r->avs_is_channel_mask_known = fake_mask_known;
        r->avs_get_channel_mask = fake_channel_mask;
    }
    if (in->ConsumeIntegralInRange<int>(0, 31) != 0) {
        r->avs_get_frame_props_ro = fake_props;
        r->avs_prop_get_int = fake_prop_int;
        r->avs_prop_get_float = fake_prop_float;
    }
    return r;
}

void fuzz_video_info() {
    memset(&vi, 0, sizeof vi);
    vi.width = hostile_int(-4, 64);
    vi.height = hostile_int(-4, 64);
    vi.fps_numerator = in->ConsumeIntegral<unsigned>();
    vi.fps_denominator = in->ConsumeIntegral<unsigned>();
    // The timestamp array takes 8 bytes a frame: counts near 2^31 are left
    // to the end-to-end tests, the fuzzer's memory limit is lower.
    vi.num_frames = in->ConsumeIntegralInRange<int>(-3, 200);
    if (in->ConsumeIntegralInRange<int>(0, 31) == 0) vi.num_frames = std::numeric_limits<int>::min();
    vi.pixel_type = in->ConsumeIntegral<int>();
    vi.audio_samples_per_second = hostile_int(-2, 96000);
    static const int types[] = {1, 2, 4, 8, 16, 0, 3, 32};
    vi.sample_type = types[in->ConsumeIntegralInRange<int>(0, 7)];
    // Channels stay small enough for the fake to fill real buffers; the
    // header limits on channels are covered by the end-to-end tests.
    vi.nchannels = in->ConsumeIntegralInRange<int>(-2, 12);
    vi.num_audio_samples = in->ConsumeIntegralInRange<int>(0, 3) == 0
                               ? in->ConsumeIntegral<int64_t>()
                               : in->ConsumeIntegralInRange<int64_t>(-2, 300000);
    vi.image_type = in->ConsumeIntegral<int>();
}

// One run of one mode, as the driver would make it, to its status.
void run_once() {
    frame_budget = 64;
    audio_budget = 6;
    frames_held = 0;
    fuzz_video_info();
    avs_library = make_record();
    memset(&options, 0, sizeof options);
    options.mode = &run_modes[in->ConsumeIntegralInRange<size_t>(0, run_mode_count - 1)];
    options.script_path = "fuzzed.avs";
    if (in->ConsumeBool()) options.csv_path = "/dev/null";
    options.expected_source_id = in->ConsumeIntegral<int64_t>();
    if ((options.mode->accepts & ACCEPTS_FRAMES) != 0 && in->ConsumeIntegralInRange<int>(0, 3) == 0) {
        options.has_frame_range = true;
        options.first_frame = in->ConsumeIntegralInRange<int>(0, 250);
        options.last_frame = options.first_frame + in->ConsumeIntegralInRange<int>(0, 250);
    }
    // The timestamp file of the Y4M forms, timed by hostile rates and durations.
    if ((options.mode->accepts & ACCEPTS_TIMECODES) != 0 && in->ConsumeBool())
        options.timecodes_path = "/dev/null";
    imported_script script;
    const output_steps* output = options.mode->output;
    import_settings settings = {options.script_path, output->validation_blank, 0, nullptr, 0, false};
    int status = import_script(&settings, nullptr, &script);
    if (status != 0) {
        require(avs_library == nullptr, "the library released on an early failure");
        require(status >= 1 && status <= 3, "an early status");
        return;
    }
    status = render_clip(&options, output, &script, nullptr);
    require(status >= 0 && status <= 15, "a status from 0 to 15");
    require(frames_held == 0, "every frame released");
    dlclose(avs_library->handle);
    free(avs_library);
    avs_library = nullptr;
}

}  // namespace

// The harness drives the run from render_clip on, which returns its status;
// the driver's end of the process is never reached.
FILE* end_run_log = nullptr;
void end_run(int) { abort(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    in = &provider;
    run_once();
    return 0;
}
