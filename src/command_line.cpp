#include "command_line.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "exit_status.h"

void usage(bool extended) {
    fprintf(stderr, "usage: zvk_avs_runner --validate script.avs [frames.csv]\n");
    fprintf(stderr, "       zvk_avs_runner --validate-real script.avs [frames.csv]\n");
    fprintf(stderr, "       zvk_avs_runner --check-source expected_source_id script.avs\n");
    fprintf(stderr, "       zvk_avs_runner --y4m script.avs\n");
    fprintf(stderr, "       zvk_avs_runner --y4m-skip-drop fps_num fps_den script.avs\n");
    fprintf(stderr, "       zvk_avs_runner --wav script.avs\n");
    // Callers of the original six forms read exactly those six lines.
    if (!extended) return;
    fprintf(stderr, "       zvk_avs_runner --rf64 script.avs\n");
    fprintf(stderr, "       zvk_avs_runner --frames first last (any form above but --check-source)\n");
    fprintf(stderr, "       zvk_avs_runner --progress-bar (before any form above: progress for people)\n");
    fprintf(stderr, "       zvk_avs_runner --info script.avs\n");
    fprintf(stderr, "       zvk_avs_runner --arg name=value (repeatable, before any form above)\n");
    fprintf(stderr, "       zvk_avs_runner --memory-max megabytes (before any form above)\n");
    fprintf(stderr, "       zvk_avs_runner --library path (before any form above)\n");
    fprintf(stderr, "       zvk_avs_runner --wav-extensible script.avs\n");
    fprintf(stderr, "       zvk_avs_runner --timecodes file (before --y4m or --y4m-skip-drop)\n");
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
    {"--validate", RUN_VALIDATE, 3, 4},
    {"--validate-real", RUN_VALIDATE_REAL, 3, 4},
    {"--check-source", RUN_CHECK_SOURCE, 4, 4},
    {"--y4m", RUN_Y4M, 3, 3},
    {"--y4m-skip-drop", RUN_Y4M_SKIP_DROP, 5, 5},
    {"--wav", RUN_WAV, 3, 3},
    {"--rf64", RUN_RF64, 3, 3},
    {"--info", RUN_INFO, 3, 3},
    {"--wav-extensible", RUN_WAV_EXTENSIBLE, 3, 3},
};

// A frame number as a user writes it: decimal digits only, at most
// 2147483646 (a clip's last frame is below its count). Unlike the lenient
// numbers of the original forms, anything else is refused.
static bool read_frame_number(const char* text, int* frame) {
    if (*text == '\0') return false;
    int64_t value = 0;
    for (const char* p = text; *p != '\0'; p++) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + (*p - '0');
        if (value > 2147483646) return false;
    }
    *frame = (int)value;
    return true;
}

// One of the forms of the usage text, without a frame range.
static int parse_form(int argc, char** argv, run_options* options, bool extended) {
    if (argc < 3 || argc > 5) {
        usage(extended);
        return STATUS_CANNOT_START;
    }
    const option_form* form = nullptr;
    for (const option_form& candidate : option_forms) {
        if (strcmp(argv[1], candidate.name) == 0) {
            form = &candidate;
            break;
        }
    }
    if (form == nullptr || argc < form->min_argc || argc > form->max_argc) {
        usage(extended);
        return STATUS_CANNOT_START;
    }
    options->mode = form->mode;
    options->script_path = argv[argc - 1];
    switch (form->mode) {
    case RUN_VALIDATE:
    case RUN_VALIDATE_REAL:
        options->script_path = argv[2];
        options->csv_path = argc == 4 ? argv[3] : nullptr;
        break;
    case RUN_CHECK_SOURCE: options->expected_source_id = parse_lenient_int64(argv[2]); break;
    case RUN_Y4M_SKIP_DROP:
        options->fps_num = parse_lenient_uint32(argv[2]);
        options->fps_den = parse_lenient_uint32(argv[3]);
        if (options->fps_num == 0 || options->fps_den == 0) {
            fprintf(stderr, "Y4M fps numerator and denominator must be positive\n");
            return STATUS_CANNOT_START;
        }
        break;
    default: break;
    }
    return STATUS_DONE;
}

// "--frames FIRST LAST": the frames to render.
static int take_frame_range(char** values, run_options* options) {
    int first = 0, last = 0;
    for (int i = 0; i < 2; i++) {
        if (!read_frame_number(values[i], i == 0 ? &first : &last)) {
            fprintf(stderr, "--frames needs two frame numbers (0, 1, 2, ...), not \"%s\"\n", values[i]);
            return STATUS_CANNOT_START;
        }
    }
    if (first > last) {
        fprintf(stderr, "--frames %d %d: the first frame comes after the last\n", first, last);
        return STATUS_CANNOT_START;
    }
    options->has_frame_range = true;
    options->first_frame = first;
    options->last_frame = last;
    return STATUS_DONE;
}

// "--progress-bar": progress a person reads, instead of the machine lines.
static int take_progress_bar(char**, run_options* options) {
    options->progress_bar = true;
    return STATUS_DONE;
}

// A script variable's name: a letter or '_', then letters, digits or '_'.
static bool is_variable_name(const char* name, size_t length) {
    if (length == 0 || isdigit((unsigned char)name[0])) return false;
    for (size_t i = 0; i < length; i++)
        if (!isalnum((unsigned char)name[i]) && name[i] != '_') return false;
    return true;
}

// Whether two "name=value" items name the same variable: AviSynth's names
// ignore case.
static bool same_variable(const char* a, const char* b) {
    for (; *a != '=' && *b != '='; a++, b++)
        if (tolower((unsigned char)*a) != tolower((unsigned char)*b)) return false;
    return *a == *b;
}

// "--arg name=value": a string variable for the script.
static int take_script_arg(char** values, run_options* options) {
    const char* item = values[0];
    const char* equals = strchr(item, '=');
    if (equals == nullptr) {
        fprintf(stderr, "--arg needs name=value, not \"%s\"\n", item);
        return STATUS_CANNOT_START;
    }
    int length = (int)(equals - item);
    if (!is_variable_name(item, (size_t)length)) {
        fprintf(stderr,
                "--arg %s: \"%.*s\" is not a variable name (a letter or _, then letters, digits or _)\n",
                item, length, item);
        return STATUS_CANNOT_START;
    }
    for (int i = 0; i < options->script_arg_count; i++) {
        if (same_variable(options->script_args[i], item)) {
            fprintf(stderr, "--arg %s: %.*s is given twice (names ignore case)\n", item, length, item);
            return STATUS_CANNOT_START;
        }
    }
    // Room for eight more at a time; it lives as long as the process.
    if (options->script_arg_count % 8 == 0) {
        const char** grown = (const char**)realloc(
            options->script_args, (size_t)(options->script_arg_count + 8) * sizeof(const char*));
        if (grown == nullptr) return STATUS_CANNOT_START;
        options->script_args = grown;
    }
    options->script_args[options->script_arg_count++] = item;
    return STATUS_DONE;
}

// "--memory-max MB": plain decimal digits, 1 to INT_MAX (the library's int).
static int take_memory_max(char** values, run_options* options) {
    const char* text = values[0];
    int64_t megabytes = *text == '\0' ? -1 : 0;
    for (const char* p = text; *p != '\0' && megabytes >= 0 && megabytes <= INT32_MAX; p++)
        megabytes = *p >= '0' && *p <= '9' ? megabytes * 10 + (*p - '0') : -1;
    if (megabytes < 1 || megabytes > INT32_MAX) {
        fprintf(stderr, "--memory-max needs megabytes (1 to 2147483647), not \"%s\"\n", text);
        return STATUS_CANNOT_START;
    }
    options->memory_max_mb = (int)megabytes;
    return STATUS_DONE;
}

// "--library PATH": that file, instead of the platform's search.
static int take_library_path(char** values, run_options* options) {
    options->library_path = values[0];
    return STATUS_DONE;
}

// Options that come before a form, each once unless repeatable, in any
// order. A new one is a row here and a field of run_options.
// "--timecodes FILE": the Y4M forms' timestamp file.
static int take_timecodes(char** values, run_options* options) {
    options->timecodes_path = values[0];
    return STATUS_DONE;
}

struct leading_option {
    const char* name;
    int value_count;                                   // the arguments after the name
    int (*take)(char** values, run_options* options);  // 0, or 2 (reported)
    bool repeatable;
};

static const leading_option leading_options[] = {
    {"--frames", 2, take_frame_range, false},        {"--arg", 1, take_script_arg, true},
    {"--memory-max", 1, take_memory_max, false},     {"--library", 1, take_library_path, false},
    {"--progress-bar", 0, take_progress_bar, false}, {"--timecodes", 1, take_timecodes, false},
};

static const leading_option* find_leading_option(const char* name) {
    for (const leading_option& option : leading_options)
        if (strcmp(name, option.name) == 0) return &option;
    return nullptr;
}

// Forms that a frame range cannot apply to.
static bool takes_frame_range(run_mode mode) { return mode != RUN_CHECK_SOURCE && mode != RUN_INFO; }

void release_run_options(run_options* options) {
    free(options->script_args);
    options->script_args = nullptr;
    options->script_arg_count = 0;
}

int parse_command_line(int argc, char** argv, run_options* options) {
    memset(options, 0, sizeof *options);
    int at = 1;
    bool taken[sizeof leading_options / sizeof leading_options[0]] = {};
    for (const leading_option* option; at < argc && (option = find_leading_option(argv[at])) != nullptr;) {
        size_t row = (size_t)(option - leading_options);
        if ((taken[row] && !option->repeatable) || argc - at - 1 < option->value_count) {
            usage(true);
            return STATUS_CANNOT_START;
        }
        taken[row] = true;
        int status = option->take(argv + at + 1, options);
        if (status != STATUS_DONE) return status;
        at += 1 + option->value_count;
    }
    bool extended =
        at > 1 || (argc >= 2 && (strcmp(argv[1], "--rf64") == 0 || strcmp(argv[1], "--info") == 0 ||
                                 strcmp(argv[1], "--wav-extensible") == 0));
    // The form sees the last leading argument as if it were its program name.
    int status = parse_form(argc - (at - 1), argv + (at - 1), options, extended);
    if (status != STATUS_DONE) return status;
    if ((options->has_frame_range && !takes_frame_range(options->mode)) ||
        (options->timecodes_path != nullptr && options->mode != RUN_Y4M &&
         options->mode != RUN_Y4M_SKIP_DROP)) {
        usage(true);
        return STATUS_CANNOT_START;
    }
    return STATUS_DONE;
}
