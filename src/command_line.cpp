#include "command_line.h"

#include <stdio.h>
#include <string.h>

void usage(void) {
    fprintf(stderr, "usage: zvk_avs_runner --validate script.avs [frames.csv]\n");
    fprintf(stderr, "       zvk_avs_runner --validate-real script.avs [frames.csv]\n");
    fprintf(stderr, "       zvk_avs_runner --check-source expected_source_id script.avs\n");
    fprintf(stderr, "       zvk_avs_runner --y4m script.avs\n");
    fprintf(stderr, "       zvk_avs_runner --y4m-skip-drop fps_num fps_den script.avs\n");
    fprintf(stderr, "       zvk_avs_runner --wav script.avs\n");
}

// The sign and the magnitude of a decimal number, the magnitude saturated
// at UINT64_MAX. Returns false when no digit follows the optional sign.
static bool read_decimal(const char* text, bool* negative, uint64_t* magnitude) {
    const unsigned char* p = (const unsigned char*)text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) p++;
    *negative = false;
    if (*p == '+' || *p == '-') *negative = (*p++ == '-');
    *magnitude = 0;
    if (*p < '0' || *p > '9') return false;
    for (; *p >= '0' && *p <= '9'; p++) {
        unsigned digit = *p - '0';
        if (*magnitude > (UINT64_MAX - digit) / 10)
            *magnitude = UINT64_MAX;
        else
            *magnitude = *magnitude * 10 + digit;
    }
    return true;
}

int64_t parse_lenient_int64(const char* text) {
    bool negative;
    uint64_t magnitude;
    if (!read_decimal(text, &negative, &magnitude)) return 0;
    if (negative) return magnitude >= (uint64_t)INT64_MAX + 1 ? INT64_MIN : -(int64_t)magnitude;
    return magnitude > (uint64_t)INT64_MAX ? INT64_MAX : (int64_t)magnitude;
}

uint32_t parse_lenient_uint32(const char* text) {
    bool negative;
    uint64_t magnitude;
    if (!read_decimal(text, &negative, &magnitude)) return 0;
    if (magnitude > UINT32_MAX) return UINT32_MAX;
    return negative ? (uint32_t)(0u - (uint32_t)magnitude) : (uint32_t)magnitude;
}

struct option_form {
    const char* name;
    run_mode mode;
    int min_argc;
    int max_argc;
};

// In the order they are compared.
static const option_form option_forms[] = {
    {"--validate", RUN_VALIDATE, 3, 4},   {"--validate-real", RUN_VALIDATE_REAL, 3, 4},
    {"--check-source", RUN_CHECK_SOURCE, 4, 4}, {"--y4m", RUN_Y4M, 3, 3},
    {"--y4m-skip-drop", RUN_Y4M_SKIP_DROP, 5, 5}, {"--wav", RUN_WAV, 3, 3},
};

int parse_command_line(int argc, char** argv, run_options* options) {
    memset(options, 0, sizeof *options);
    if (argc < 3 || argc > 5) {
        usage();
        return 2;
    }
    const option_form* form = nullptr;
    for (const option_form& candidate : option_forms) {
        if (strcmp(argv[1], candidate.name) == 0) {
            form = &candidate;
            break;
        }
    }
    if (form == nullptr || argc < form->min_argc || argc > form->max_argc) {
        usage();
        return 2;
    }
    options->mode = form->mode;
    options->script_path = argv[argc - 1];
    switch (form->mode) {
    case RUN_VALIDATE:
    case RUN_VALIDATE_REAL:
        options->script_path = argv[2];
        options->csv_path = argc == 4 ? argv[3] : nullptr;
        break;
    case RUN_CHECK_SOURCE:
        options->expected_source_id = parse_lenient_int64(argv[2]);
        break;
    case RUN_Y4M_SKIP_DROP:
        options->fps_num = parse_lenient_uint32(argv[2]);
        options->fps_den = parse_lenient_uint32(argv[3]);
        if (options->fps_num == 0 || options->fps_den == 0) {
            fprintf(stderr, "Y4M fps numerator and denominator must be positive\n");
            return 2;
        }
        break;
    default:
        break;
    }
    return 0;
}
