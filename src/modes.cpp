#include "modes.h"

#include <stdio.h>
#include <string.h>

#include "command_line.h"
#include "exit_status.h"
#include "run/outputs.h"

// "--validate script.avs [frames.csv]": the script comes first.
static int take_validation_values(char** values, int count, run_options* options) {
    options->script_path = values[0];
    options->csv_path = count == 2 ? values[1] : nullptr;
    return STATUS_DONE;
}

static int take_expected_source_id(char** values, int, run_options* options) {
    options->expected_source_id = parse_lenient_int64(values[0]);
    return STATUS_DONE;
}

static int take_forced_frame_rate(char** values, int, run_options* options) {
    options->fps_num = parse_lenient_uint32(values[0]);
    options->fps_den = parse_lenient_uint32(values[1]);
    if (options->fps_num == 0 || options->fps_den == 0) {
        fprintf(stderr, "Y4M fps numerator and denominator must be positive\n");
        return STATUS_CANNOT_START;
    }
    return STATUS_DONE;
}

// "--bench script.avs [frames.csv]": the script comes first.
static int take_bench_values(char** values, int count, run_options* options) {
    options->script_path = values[0];
    options->bench_csv_path = count == 2 ? values[1] : nullptr;
    return STATUS_DONE;
}

// In the order they are compared.
const run_mode run_modes[] = {
    {
        "--validate",                          // option
        "--validate script.avs [frames.csv]",  // usage
        1,                                     // usage_line
        1,                                     // min_values
        2,                                     // max_values
        take_validation_values,                // take_values
        ACCEPTS_FRAMES | ACCEPTS_PROPS,        // accepts
        &validate_output,                      // output
    },
    {
        "--validate-real",                          // option
        "--validate-real script.avs [frames.csv]",  // usage
        2,                                          // usage_line
        1,                                          // min_values
        2,                                          // max_values
        take_validation_values,                     // take_values
        ACCEPTS_FRAMES | ACCEPTS_PROPS,             // accepts
        &validate_real_output,                      // output
    },
    {
        "--check-source",                                // option
        "--check-source expected_source_id script.avs",  // usage
        3,                                               // usage_line
        2,                                               // min_values
        2,                                               // max_values
        take_expected_source_id,                         // take_values
        ACCEPTS_PROPS,                                   // accepts
        &source_check_output,                            // output
    },
    {
        "--y4m",                                                                // option
        "--y4m script.avs",                                                     // usage
        4,                                                                      // usage_line
        1,                                                                      // min_values
        1,                                                                      // max_values
        nullptr,                                                                // take_values
        ACCEPTS_FRAMES | ACCEPTS_TIMECODES | ACCEPTS_Y4M_TAGS | ACCEPTS_PROPS,  // accepts
        &y4m_output,                                                            // output
    },
    {
        "--y4m-skip-drop",                                                      // option
        "--y4m-skip-drop fps_num fps_den script.avs",                           // usage
        5,                                                                      // usage_line
        3,                                                                      // min_values
        3,                                                                      // max_values
        take_forced_frame_rate,                                                 // take_values
        ACCEPTS_FRAMES | ACCEPTS_TIMECODES | ACCEPTS_Y4M_TAGS | ACCEPTS_PROPS,  // accepts
        &y4m_skip_drop_output,                                                  // output
    },
    {
        "--wav",             // option
        "--wav script.avs",  // usage
        6,                   // usage_line
        1,                   // min_values
        1,                   // max_values
        nullptr,             // take_values
        ACCEPTS_FRAMES,      // accepts
        &wav_output,         // output
    },
    {
        "--rf64",             // option
        "--rf64 script.avs",  // usage
        7,                    // usage_line
        1,                    // min_values
        1,                    // max_values
        nullptr,              // take_values
        ACCEPTS_FRAMES,       // accepts
        &rf64_output,         // output
    },
    {
        "--info",             // option
        "--info script.avs",  // usage
        10,                   // usage_line
        1,                    // min_values
        1,                    // max_values
        nullptr,              // take_values
        0,                    // accepts
        &info_output,         // output
    },
    {
        "--wav-extensible",             // option
        "--wav-extensible script.avs",  // usage
        14,                             // usage_line
        1,                              // min_values
        1,                              // max_values
        nullptr,                        // take_values
        ACCEPTS_FRAMES,                 // accepts
        &wav_extensible_output,         // output
    },
    {
        "--mkv",                         // option
        "--mkv script.avs",              // usage
        16,                              // usage_line
        1,                               // min_values
        1,                               // max_values
        nullptr,                         // take_values
        ACCEPTS_FRAMES | ACCEPTS_PROPS,  // accepts
        &mkv_output,                     // output
    },
    {
        "--mkv-skip-drop",               // option
        "--mkv-skip-drop script.avs",    // usage
        17,                              // usage_line
        1,                               // min_values
        1,                               // max_values
        nullptr,                         // take_values
        ACCEPTS_FRAMES | ACCEPTS_PROPS,  // accepts
        &mkv_skip_drop_output,           // output
    },
    {
        "--bench",                          // option
        "--bench script.avs [frames.csv]",  // usage
        19,                                 // usage_line
        1,                                  // min_values
        2,                                  // max_values
        take_bench_values,                  // take_values
        ACCEPTS_FRAMES | ACCEPTS_PROPS,     // accepts
        &bench_output,                      // output
    },
    {
        "--info-frame0",             // option
        "--info-frame0 script.avs",  // usage
        21,                          // usage_line
        1,                           // min_values
        1,                           // max_values
        nullptr,                     // take_values
        ACCEPTS_PROPS,               // accepts
        &info_frame0_output,         // output
    },
    {
        "--raw",                                             // option
        "--raw script.avs",                                  // usage
        22,                                                  // usage_line
        1,                                                   // min_values
        1,                                                   // max_values
        nullptr,                                             // take_values
        ACCEPTS_FRAMES | ACCEPTS_TIMECODES | ACCEPTS_PROPS,  // accepts
        &raw_output,                                         // output
    },
};

const size_t run_mode_count = sizeof run_modes / sizeof run_modes[0];

const run_mode* find_run_mode(const char* option) {
    for (const run_mode& mode : run_modes)
        if (strcmp(option, mode.option) == 0) return &mode;
    return nullptr;
}
