#include "command_line.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "exit_status.h"
#include "modes.h"

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
    const run_mode* mode = argc >= 2 ? find_run_mode(argv[1]) : nullptr;
    int count = argc - 2;
    if (mode == nullptr || count < mode->min_values || count > mode->max_values) {
        usage(extended);
        return STATUS_CANNOT_START;
    }
    options->mode = mode;
    options->script_path = argv[argc - 1];
    return mode->take_values != nullptr ? mode->take_values(argv + 2, count, options) : STATUS_DONE;
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
    if (values[0][0] == '\0') {
        fprintf(stderr, "--library needs the path of a library file, not an empty text\n");
        return STATUS_CANNOT_START;
    }
    options->library_path = values[0];
    return STATUS_DONE;
}

// "--timecodes FILE": the Y4M forms' timestamp file.
static int take_timecodes(char** values, run_options* options) {
    options->timecodes_path = values[0];
    return STATUS_DONE;
}

// "--y4m-tags": the Y4M header carries the first frame's properties.
static int take_y4m_tags(char**, run_options* options) {
    options->y4m_tags = true;
    return STATUS_DONE;
}

// "--props FILE": every fetched frame's digest and properties.
static int take_props_path(char** values, run_options* options) {
    options->props_path = values[0];
    return STATUS_DONE;
}

// Options that come before a form, each once unless repeatable, in any
// order. A new one is a row here and a field of run_options; one that only
// some forms take names their ACCEPTS_ bit (modes.h).
struct leading_option {
    const char* name;
    int value_count;                                   // the arguments after the name
    int (*take)(char** values, run_options* options);  // 0, or 2 (reported)
    bool repeatable;
    unsigned needs;     // the ACCEPTS_ bit a form must have; 0: every form
    const char* usage;  // its usage line, after the program's name
    int usage_line;     // where that line stands in the usage text (modes.h)
};

static const leading_option leading_options[] = {
    {
        "--frames",                                                 // name
        2,                                                          // value_count
        take_frame_range,                                           // take
        false,                                                      // repeatable
        ACCEPTS_FRAMES,                                             // needs
        "--frames first last (any form above but --check-source)",  // usage
        8,                                                          // usage_line
    },
    {
        "--arg",                                                 // name
        1,                                                       // value_count
        take_script_arg,                                         // take
        true,                                                    // repeatable
        0,                                                       // needs
        "--arg name=value (repeatable, before any form above)",  // usage
        11,                                                      // usage_line
    },
    {
        "--memory-max",                                    // name
        1,                                                 // value_count
        take_memory_max,                                   // take
        false,                                             // repeatable
        0,                                                 // needs
        "--memory-max megabytes (before any form above)",  // usage
        12,                                                // usage_line
    },
    {
        "--library",                               // name
        1,                                         // value_count
        take_library_path,                         // take
        false,                                     // repeatable
        0,                                         // needs
        "--library path (before any form above)",  // usage
        13,                                        // usage_line
    },
    {
        "--progress-bar",                                               // name
        0,                                                              // value_count
        take_progress_bar,                                              // take
        false,                                                          // repeatable
        0,                                                              // needs
        "--progress-bar (before any form above: progress for people)",  // usage
        9,                                                              // usage_line
    },
    {
        "--timecodes",                                                // name
        1,                                                            // value_count
        take_timecodes,                                               // take
        false,                                                        // repeatable
        ACCEPTS_TIMECODES,                                            // needs
        "--timecodes file (before --y4m, --y4m-skip-drop or --raw)",  // usage
        15,                                                           // usage_line
    },
    {
        "--y4m-tags",                                                                    // name
        0,                                                                               // value_count
        take_y4m_tags,                                                                   // take
        false,                                                                           // repeatable
        ACCEPTS_Y4M_TAGS,                                                                // needs
        "--y4m-tags (before --y4m or --y4m-skip-drop: frame properties in the header)",  // usage
        18,                                                                              // usage_line
    },
    {
        "--props",        // name
        1,                // value_count
        take_props_path,  // take
        false,            // repeatable
        ACCEPTS_PROPS,    // needs
        "--props file (before any form that fetches frames: all but --wav, --rf64, --wav-extensible and "
        "--info)",  // usage
        20,         // usage_line
    },
};
enum { LEADING_OPTIONS = sizeof leading_options / sizeof leading_options[0] };

static const leading_option* find_leading_option(const char* name) {
    for (const leading_option& option : leading_options)
        if (strcmp(name, option.name) == 0) return &option;
    return nullptr;
}

// The lines of the modes and of the leading options, in the order of their
// usage_line; extended or not, the text stops at the first number no row has.
void usage(bool extended) {
    for (int line = 1; extended || line <= ORIGINAL_USAGE_LINES; line++) {
        const char* text = nullptr;
        for (size_t i = 0; i < run_mode_count; i++)
            if (run_modes[i].usage_line == line) text = run_modes[i].usage;
        for (const leading_option& option : leading_options)
            if (option.usage_line == line) text = option.usage;
        if (text == nullptr) return;
        fprintf(stderr, "%s zvk_avs_runner %s\n", line == 1 ? "usage:" : "      ", text);
    }
}

void release_run_options(run_options* options) {
    free(options->script_args);
    options->script_args = nullptr;
    options->script_arg_count = 0;
}

int parse_command_line(int argc, char** argv, run_options* options) {
    memset(options, 0, sizeof *options);
    int at = 1;
    bool taken[LEADING_OPTIONS] = {};
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
    // A caller of the original forms alone is shown their lines alone.
    const run_mode* named = argc >= 2 ? find_run_mode(argv[1]) : nullptr;
    bool extended = at > 1 || (named != nullptr && named->usage_line > ORIGINAL_USAGE_LINES);
    // The form sees the last leading argument as if it were its program name.
    int status = parse_form(argc - (at - 1), argv + (at - 1), options, extended);
    if (status != STATUS_DONE) return status;
    for (size_t row = 0; row < LEADING_OPTIONS; row++) {
        if (taken[row] &&
            (options->mode->accepts & leading_options[row].needs) != leading_options[row].needs) {
            usage(true);
            return STATUS_CANNOT_START;
        }
    }
    return STATUS_DONE;
}
