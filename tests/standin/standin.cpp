// The stand-in AviSynth+ library: a test double exporting the C interface
// under the real library's file name. What it answers comes from the file
// the runner imports (a clip description, see README.md); failures before
// the import and the call trace come from its own environment variables,
// since the runner reads none.
#include <errno.h>
#include <limits.h>
#include <locale.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <deque>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#include <time.h>
#include <unistd.h>
#endif

#include "standin_avs.h"
#include "standin_pattern.h"

namespace {

// ---- call trace ------------------------------------------------------------

FILE* trace_file = nullptr;
bool trace_checked = false;

// Each line is flushed at once: the runner ends with _exit, which would lose
// anything still buffered here.
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void trace(const char* format, ...) {
    if (!trace_checked) {
        trace_checked = true;
        const char* path = getenv("ZVK_STANDIN_TRACE");
        if (path != nullptr && *path != '\0') trace_file = fopen(path, "ab");
    }
    if (trace_file == nullptr) return;
    va_list args;
    va_start(args, format);
    vfprintf(trace_file, format, args);
    va_end(args);
    fputc('\n', trace_file);
    fflush(trace_file);
}

// Loading alone is recorded, so a test can tell "never loaded" from
// "loaded but never called".
__attribute__((constructor)) void trace_load(void) { trace("load"); }

bool forced_failure(const char* what) {
    const char* list = getenv("ZVK_STANDIN_FAIL");
    if (list == nullptr) return false;
    std::string all = std::string(",") + list + ",";
    return all.find(std::string(",") + what + ",") != std::string::npos;
}

// ---- script variables ------------------------------------------------------

// Strings given to avs_save_string live as long as the library, as in the
// real one; a variable keeps the name's pointer it was given, as the real
// one does, so a name that was not saved reads back whatever is there later.
std::deque<std::string> saved_strings;
struct variable {
    const char* name;
    std::string value;
};
std::vector<variable> string_variables;

bool is_saved(const char* text) {
    for (const std::string& s : saved_strings)
        if (s.c_str() == text) return true;
    return false;
}

// The value of a string variable set before the import.
bool variable_value(const std::string& name, std::string* value) {
    bool found = false;
    for (const variable& v : string_variables)
        if (name == v.name) *value = v.value, found = true;
    return found;
}

// ---- pixel formats -----------------------------------------------------------

enum layout { LAYOUT_PLANAR_YUV, LAYOUT_Y_ONLY, LAYOUT_PACKED, LAYOUT_PLANAR_RGB };

struct pixel_format {
    const char* name;
    int value;
    int family;  // 420, 422, 444, 411, or 0
    int bits;
    layout kind;
    int packed_bytes;  // bytes per pixel of a packed format
};

const pixel_format pixel_formats[] = {
    {"YV12", -1610612728, 420, 8, LAYOUT_PLANAR_YUV, 0},
    {"YV16", -1610611960, 422, 8, LAYOUT_PLANAR_YUV, 0},
    {"YV24", -1610611957, 444, 8, LAYOUT_PLANAR_YUV, 0},
    {"YV411", -1610611959, 411, 8, LAYOUT_PLANAR_YUV, 0},
    {"Y8", -536870912, 0, 8, LAYOUT_Y_ONLY, 0},
    {"YUV420P10", -1610285048, 420, 10, LAYOUT_PLANAR_YUV, 0},
    {"YUV420P12", -1610219512, 420, 12, LAYOUT_PLANAR_YUV, 0},
    {"YUV420P14", -1610153976, 420, 14, LAYOUT_PLANAR_YUV, 0},
    {"YUV420P16", -1610547192, 420, 16, LAYOUT_PLANAR_YUV, 0},
    {"YUV420PS", -1610481656, 420, 32, LAYOUT_PLANAR_YUV, 0},
    {"YUV422P10", -1610284280, 422, 10, LAYOUT_PLANAR_YUV, 0},
    {"YUV422P16", -1610546424, 422, 16, LAYOUT_PLANAR_YUV, 0},
    {"YUV444P10", -1610284277, 444, 10, LAYOUT_PLANAR_YUV, 0},
    {"YUV444P16", -1610546421, 444, 16, LAYOUT_PLANAR_YUV, 0},
    {"YUV444PS", -1610480885, 444, 32, LAYOUT_PLANAR_YUV, 0},
    {"Y16", -536805376, 0, 16, LAYOUT_Y_ONLY, 0},
    {"BGR24", 1342177281, 0, 8, LAYOUT_PACKED, 3},
    {"BGR32", 1342177282, 0, 8, LAYOUT_PACKED, 4},
    {"YUY2", 1610612740, 0, 8, LAYOUT_PACKED, 2},
    {"RGBP", -1879048191, 0, 8, LAYOUT_PLANAR_RGB, 0},
    {"YUVA420", -2013265912, 420, 8, LAYOUT_PLANAR_YUV, 0},
};

// A numeric pixel type that is in no table: one plane of one byte per pixel.
const pixel_format unknown_format = {"unknown", 0, 0, 8, LAYOUT_Y_ONLY, 0};

const pixel_format* find_pixel_format(int value) {
    for (const pixel_format& f : pixel_formats)
        if (f.value == value) return &f;
    return &unknown_format;
}

// ---- the clip description ----------------------------------------------------

enum prop_kind {
    PROP_INT,
    PROP_INT_FRAME,
    PROP_FLOAT,
    PROP_STRING,
    PROP_ERROR,
    PROP_ABSENT,
    PROP_INTS,
    PROP_FLOATS,
    PROP_CLIP,
    PROP_FRAME,
};

struct frame_range {
    int first;
    int last;  // inclusive
};

struct prop_rule {
    std::string key;
    frame_range frames;
    prop_kind kind;
    int64_t int_value;
    double float_value;
    int error;
    std::string bytes;            // string: \xHH in the value is one byte
    std::vector<double> numbers;  // ints, floats: the elements
};

// "1,2,3" or "0.5, -1e300": the elements of an array property.
std::vector<double> parse_numbers(const std::string& list) {
    std::vector<double> numbers;
    for (const char* p = list.c_str(); *p != '\0';) {
        char* end;
        numbers.push_back(strtod(p, &end));
        p = *end == ',' ? end + 1 : end + strlen(end);
    }
    return numbers;
}

std::string unescape_bytes(const std::string& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); i++) {
        if (text.compare(i, 2, "\\x") == 0 && i + 4 <= text.size()) {
            bytes += (char)strtol(text.substr(i + 2, 2).c_str(), nullptr, 16);
            i += 3;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

struct description {
    char result = 'c';
    std::string error_text = "stand-in import error";
    standin_video_info vi{};
    int family = -1;     // override of the is_420/422/444 answers; -1: from the pixel type
    int bits = INT_MIN;  // override of bits_per_component; INT_MIN: from the pixel type
    int pad = 0;
    unsigned char pad_byte = 0xEE;
    int frame_period = 64;
    std::vector<frame_range> failing_frames;
    bool has_frame_error = false;
    std::string frame_error;
    int frame_delay_ms = 0;
    std::vector<std::pair<frame_range, int>> frame_delays;  // later rules win
    std::string frame_gate;                                 // frame 0 is served once this file exists
    int import_delay_ms = 0;                                // the import takes this long, whatever its result
    int start_threads = 0;  // the import starts this many threads, as a library starts its pool
    // Each frame gets memory of its own, overwritten when it is released:
    // bytes written from a released frame come out wrong.
    bool private_frames = false;
    int64_t fail_audio_at = -1;
    bool has_audio_error = false;
    std::string audio_error;
    std::vector<prop_rule> props;
    std::vector<frame_range> no_map;
    // Answers that override the plane geometry (Y, U, V), for the runner's
    // defences: a null read pointer, or a row size, height or pitch given
    // outright. INT_MIN: not overridden.
    bool null_plane[3] = {false, false, false};
    int row_size[3] = {INT_MIN, INT_MIN, INT_MIN};
    int height[3] = {INT_MIN, INT_MIN, INT_MIN};
    int pitch[3] = {INT_MIN, INT_MIN, INT_MIN};
    // For benchmarks: every row of a plane is its first row (pitch 0), and
    // audio fetches leave the buffer as it is, so that the stand-in's own
    // memory traffic stays out of what is measured.
    bool hot_memory = false;
    // Single bytes of a slot changed after it is filled: SLOT, OFFSET, BYTE.
    struct poke {
        size_t slot, offset;
        unsigned char byte;
    };
    std::vector<poke> pokes;
    // The clip's channel mask, as the library's mask calls answer it.
    bool has_channel_mask = false;
    unsigned channel_mask = 0;
    // A line printed to the process's standard output during the import and
    // every fetch, as a chatty plugin does; empty: quiet.
    std::string stdout_text;
};

int plane_index(const std::string& name) { return name == "Y" ? 0 : name == "U" ? 1 : name == "V" ? 2 : -1; }

struct plane_geometry {
    int row_size;
    int height;
    int pitch;
    size_t offset;  // from the start of a frame slot
};

struct clip_state {
    description d;
    const pixel_format* format;
    plane_geometry planes[4];  // Y, U, V, A
    size_t slot_size;
    int slots;
    unsigned char* pixels;   // slots * slot_size, allocated once
    unsigned char* samples;  // one audio period, allocated once
    int block_align;
    const char* last_error;
    int held_frames;
};

struct frame_handle {
    clip_state* clip;
    int n;
    unsigned char* own;  // the frame's own copy of its slot (private_frames), or null
};

clip_state* the_clip = nullptr;
int live_environments = 0;

bool in_range(const std::vector<frame_range>& ranges, int n) {
    for (const frame_range& r : ranges)
        if (n >= r.first && n <= r.last) return true;
    return false;
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

int64_t to_int(const std::string& s) { return strtoll(s.c_str(), nullptr, 0); }

// "N", "N-M" or "N-" (to the end).
frame_range parse_range(const std::string& text) {
    frame_range r;
    size_t dash = text.find('-', 1);
    r.first = (int)to_int(text.substr(0, dash));
    if (dash == std::string::npos)
        r.last = r.first;
    else if (dash + 1 == text.size())
        r.last = INT_MAX;
    else
        r.last = (int)to_int(text.substr(dash + 1));
    return r;
}

int parse_pixel_type(const std::string& text) {
    for (const pixel_format& f : pixel_formats)
        if (text == f.name) return f.value;
    return (int)to_int(text);
}

int parse_sample_type(const std::string& text) {
    static const struct {
        const char* name;
        int value;
    } names[] = {{"int8", 1}, {"int16", 2}, {"int24", 4}, {"int32", 8}, {"float", 16}};
    for (const auto& n : names)
        if (text == n.name) return n.value;
    return (int)to_int(text);
}

int parse_family(const std::string& text) { return text == "none" ? 0 : (int)to_int(text); }

// Returns an empty text, or what is wrong with the line.
std::string parse_line(description& d, const std::string& raw) {
    std::string line = raw;
    size_t hash = line.find('#');
    if (hash != std::string::npos) line = line.substr(0, hash);
    line = trim(line);
    if (line.empty()) return "";
    size_t eq = line.find('=');
    if (eq == std::string::npos) return "no '=' in: " + raw;
    std::string left = trim(line.substr(0, eq));
    std::string value = trim(line.substr(eq + 1));
    if (value.compare(0, 1, "$") == 0 && !variable_value(value.substr(1), &value))
        return "no string variable " + value.substr(1) + " in: " + raw;

    if (left.compare(0, 5, "prop ") == 0) {
        prop_rule rule{};
        std::string rest = trim(left.substr(5));
        size_t at = rest.find('@');
        rule.frames = {0, INT_MAX};
        if (at != std::string::npos) {
            rule.frames = parse_range(trim(rest.substr(at + 1)));
            rest = trim(rest.substr(0, at));
        }
        rule.key = rest;
        size_t space = value.find(' ');
        std::string kind = value.substr(0, space);
        std::string arg = space == std::string::npos ? "" : trim(value.substr(space + 1));
        if (kind == "int" && arg == "frame")
            rule.kind = PROP_INT_FRAME;
        else if (kind == "int")
            rule.kind = PROP_INT, rule.int_value = to_int(arg);
        else if (kind == "float")
            rule.kind = PROP_FLOAT, rule.float_value = strtod(arg.c_str(), nullptr);
        else if (kind == "string")
            rule.kind = PROP_STRING, rule.bytes = unescape_bytes(arg);
        else if (kind == "ints" || kind == "floats")
            rule.kind = kind == "ints" ? PROP_INTS : PROP_FLOATS, rule.numbers = parse_numbers(arg);
        else if (kind == "clip")
            rule.kind = PROP_CLIP;
        else if (kind == "videoframe")
            rule.kind = PROP_FRAME;
        else if (kind == "error")
            rule.kind = PROP_ERROR, rule.error = (int)to_int(arg);
        else if (kind == "absent")
            rule.kind = PROP_ABSENT;
        else
            return "unknown property kind in: " + raw;
        d.props.push_back(rule);
        return "";
    }

    std::string key = left;
    frame_range frames = {0, INT_MAX};
    size_t at = left.find('@');
    if (at != std::string::npos) {
        key = trim(left.substr(0, at));
        frames = parse_range(trim(left.substr(at + 1)));
        if (key != "frame_delay_ms") return "no frame range for this key in: " + raw;
    }
    if (key == "frame_delay_ms" && at != std::string::npos) {
        d.frame_delays.push_back({frames, (int)to_int(value)});
    } else if (key == "result") {
        static const char* const results[] = {"clip",   "error", "int",   "float",
                                              "string", "bool",  "array", "void"};
        static const char letters[] = {'c', 'e', 'i', 'f', 's', 'b', 'a', 'v'};
        for (int i = 0; i < 8; i++)
            if (value == results[i]) d.result = letters[i];
    } else if (key == "error") {
        d.error_text = value;
    } else if (key == "width") {
        d.vi.width = (int)to_int(value);
    } else if (key == "height") {
        d.vi.height = (int)to_int(value);
    } else if (key == "fps") {
        size_t slash = value.find('/');
        d.vi.fps_numerator = (unsigned)strtoull(value.substr(0, slash).c_str(), nullptr, 10);
        d.vi.fps_denominator =
            slash == std::string::npos ? 1u : (unsigned)strtoull(value.c_str() + slash + 1, nullptr, 10);
    } else if (key == "frames") {
        d.vi.num_frames = (int)to_int(value);
    } else if (key == "pixel_type") {
        d.vi.pixel_type = parse_pixel_type(value);
    } else if (key == "family") {
        d.family = parse_family(value);
    } else if (key == "bits") {
        d.bits = (int)to_int(value);
    } else if (key == "pad") {
        d.pad = (int)to_int(value);
    } else if (key == "pad_byte") {
        d.pad_byte = (unsigned char)to_int(value);
    } else if (key == "frame_period") {
        d.frame_period = (int)to_int(value);
    } else if (key == "fail_frame") {
        d.failing_frames.push_back(parse_range(value));
    } else if (key == "fail_error") {
        d.has_frame_error = true, d.frame_error = value;
    } else if (key == "frame_delay_ms") {
        d.frame_delay_ms = (int)to_int(value);
    } else if (key == "audio_rate") {
        d.vi.audio_samples_per_second = (int)to_int(value);
    } else if (key == "sample_type") {
        d.vi.sample_type = parse_sample_type(value);
    } else if (key == "channels") {
        d.vi.nchannels = (int)to_int(value);
    } else if (key == "audio_samples") {
        d.vi.num_audio_samples = to_int(value);
    } else if (key == "fail_audio_at") {
        d.fail_audio_at = to_int(value);
    } else if (key == "fail_audio_error") {
        d.has_audio_error = true, d.audio_error = value;
    } else if (key == "nomap") {
        d.no_map.push_back(parse_range(value));
    } else if (key == "plane_null" && plane_index(value) >= 0) {
        d.null_plane[plane_index(value)] = true;
    } else if ((key == "plane_row_size" || key == "plane_height" || key == "plane_pitch") &&
               plane_index(value.substr(0, 1)) >= 0) {
        int* field = key == "plane_row_size" ? d.row_size : key == "plane_height" ? d.height : d.pitch;
        field[plane_index(value.substr(0, 1))] = (int)to_int(trim(value.substr(1)));
    } else if (key == "frame_gate") {
        d.frame_gate = value;
    } else if (key == "private_frames") {
        d.private_frames = to_int(value) != 0;
    } else if (key == "poke") {
        long long slot = 0, offset = 0, byte = 0;
        if (sscanf(value.c_str(), "%lld %lld %lld", &slot, &offset, &byte) != 3)
            return "poke needs SLOT OFFSET BYTE in: " + raw;
        d.pokes.push_back({(size_t)slot, (size_t)offset, (unsigned char)byte});
    } else if (key == "hot_memory") {
        d.hot_memory = to_int(value) != 0;
    } else if (key == "channel_mask") {
        d.has_channel_mask = true, d.channel_mask = (unsigned)strtoull(value.c_str(), nullptr, 0);
    } else if (key == "stdout_text") {
        d.stdout_text = value;
    } else if (key == "import_delay_ms") {
        d.import_delay_ms = (int)to_int(value);
    } else if (key == "start_threads") {
        d.start_threads = (int)to_int(value);
    } else if (key == "set_locale") {
        // What a plugin may do at load: the whole process's numbers change.
        const char* set = setlocale(LC_ALL, value.c_str());
        trace("set_locale %s %s decimal_point=%s", value.c_str(), set != nullptr ? "ok" : "failed",
              localeconv()->decimal_point);
    } else if (key == "image_type") {
        d.vi.image_type = (int)to_int(value);
    } else {
        return "unknown key in: " + raw;
    }
    return "";
}

#if defined(_WIN32)
// Without utf8 the name is in the ANSI code page, as the library reads it.
FILE* open_description(const char* path, bool utf8) {
    if (!utf8) return fopen(path, "rb");
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (length <= 0) return nullptr;
    std::wstring wide((size_t)length, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, &wide[0], length);
    return _wfopen(wide.c_str(), L"rb");
}
#else
FILE* open_description(const char* path, bool) { return fopen(path, "rb"); }
#endif

// Reads the description; returns an empty text or the reason it is unusable.
std::string read_description(const char* path, bool utf8, description& d) {
    d.vi.width = 4;
    d.vi.height = 2;
    d.vi.fps_numerator = 25;
    d.vi.fps_denominator = 1;
    d.vi.num_frames = 1;
    d.vi.pixel_type = parse_pixel_type("YV12");
    FILE* f = open_description(path, utf8);
    if (f == nullptr) return std::string("stand-in: cannot open ") + path + ": " + strerror(errno);
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    // A directory opens, and its read fails: it is no empty description.
    bool unreadable = ferror(f) != 0;
    int read_error = errno;
    fclose(f);
    if (unreadable) return std::string("stand-in: cannot read ") + path + ": " + strerror(read_error);
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string problem = parse_line(d, text.substr(pos, end - pos));
        if (!problem.empty()) return "stand-in: " + problem;
        pos = end + 1;
    }
    return "";
}

int bytes_per_component(int bits) { return bits <= 8 ? 1 : bits <= 16 ? 2 : 4; }

void lay_out_planes(clip_state* c) {
    const standin_video_info& vi = c->d.vi;
    const pixel_format* f = c->format;
    int width = vi.width > 0 ? vi.width : 0;
    int height = vi.height > 0 ? vi.height : 0;
    int bytes = bytes_per_component(f->bits);
    int widths[4] = {0, 0, 0, 0};
    int heights[4] = {0, 0, 0, 0};
    switch (f->kind) {
    case LAYOUT_PACKED:
        widths[0] = width * f->packed_bytes;
        heights[0] = height;
        break;
    case LAYOUT_Y_ONLY:
        widths[0] = width * bytes;
        heights[0] = height;
        break;
    case LAYOUT_PLANAR_RGB:
        for (int p = 0; p < 3; p++) widths[p] = width * bytes, heights[p] = height;
        break;
    case LAYOUT_PLANAR_YUV: {
        int cw = f->family == 420 || f->family == 422 ? width / 2 : f->family == 411 ? width / 4 : width;
        int ch = f->family == 420 ? height / 2 : height;
        widths[0] = width * bytes, heights[0] = height;
        widths[1] = widths[2] = cw * bytes;
        heights[1] = heights[2] = ch;
        if (strcmp(f->name, "YUVA420") == 0) widths[3] = width * bytes, heights[3] = height;
        break;
    }
    }
    size_t offset = 0;
    for (int p = 0; p < 4; p++) {
        plane_geometry& g = c->planes[p];
        g.row_size = widths[p];
        g.height = heights[p];
        g.pitch = widths[p] > 0 ? widths[p] + c->d.pad : 0;
        g.offset = offset;
        offset += (size_t)g.pitch * (size_t)g.height;
    }
    c->slot_size = offset;
}

// False when the memory cannot be had (a limited address space).
bool fill_pixels(clip_state* c) {
    int frames = c->d.vi.num_frames;
    int period = c->d.frame_period > 0 ? c->d.frame_period : 1;
    c->slots = frames < 1 ? 1 : frames < period ? frames : period;
    c->pixels = (unsigned char*)malloc(c->slot_size * (size_t)c->slots + 1);
    if (c->pixels == nullptr) return false;
    for (int s = 0; s < c->slots; s++) {
        unsigned char* slot = c->pixels + c->slot_size * (size_t)s;
        for (int p = 0; p < 4; p++) {
            const plane_geometry& g = c->planes[p];
            for (int row = 0; row < g.height; row++) {
                unsigned char* line = slot + g.offset + (size_t)row * (size_t)g.pitch;
                for (int col = 0; col < g.row_size; col++) line[col] = standin_pixel(s, p, row, col);
                memset(line + g.row_size, c->d.pad_byte, (size_t)(g.pitch - g.row_size));
            }
        }
    }
    return true;
}

void fill_samples(clip_state* c) {
    int type = c->d.vi.sample_type;
    int channels = c->d.vi.nchannels > 0 ? c->d.vi.nchannels : 0;
    int bytes = standin_bytes_per_sample(type);
    // A clip with absurd audio fields (a test of the runner's limits) gets
    // no samples: fetching them fails.
    if ((int64_t)channels * bytes * STANDIN_AUDIO_PERIOD > ((int64_t)64 << 20)) return;
    c->block_align = channels * bytes;
    c->samples = (unsigned char*)malloc((size_t)c->block_align * STANDIN_AUDIO_PERIOD + 1);
    if (c->samples == nullptr) return;
    for (int s = 0; s < STANDIN_AUDIO_PERIOD; s++)
        for (int ch = 0; ch < channels; ch++)
            standin_sample(type, s, ch, c->samples + (size_t)s * c->block_align + ch * bytes);
}

clip_state* make_clip(const description& d) {
    clip_state* c = new clip_state();
    c->d = d;
    c->format = find_pixel_format(d.vi.pixel_type);
    lay_out_planes(c);
    if (!fill_pixels(c)) {
        delete c;
        return nullptr;
    }
    for (const description::poke& p : d.pokes)
        if (p.slot < (size_t)c->slots && p.offset < c->slot_size)
            c->pixels[c->slot_size * p.slot + p.offset] = p.byte;
    fill_samples(c);
    return c;
}

[[maybe_unused]] int family_of(const standin_video_info* vi) {
    if (the_clip != nullptr && vi == &the_clip->d.vi && the_clip->d.family >= 0) return the_clip->d.family;
    return find_pixel_format(vi->pixel_type)->family;
}

const unsigned char* slot_of(const clip_state* c, int n) {
    return c->pixels + c->slot_size * (size_t)(n % c->slots);
}

bool file_present(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (f != nullptr) fclose(f);
    return f != nullptr;
}

#if defined(_WIN32)
DWORD WINAPI short_thread(void*) { return 0; }
#else
void* short_thread(void*) { return nullptr; }
#endif

// A thread that ends at once, left to run: the process may end while it is
// still starting.
void start_short_thread(void) {
#if defined(_WIN32)
    HANDLE thread = CreateThread(nullptr, 0, short_thread, nullptr, 0, nullptr);
    if (thread != nullptr) CloseHandle(thread);
#else
    pthread_t thread;
    if (pthread_create(&thread, nullptr, short_thread, nullptr) == 0) pthread_detach(thread);
#endif
}

void sleep_ms(int ms) {
#if defined(_WIN32)
    Sleep((DWORD)ms);
#else
    // A signal must not cut a frame short: the library's work goes on.
    struct timespec left = {ms / 1000, (long)(ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
#endif
}

[[maybe_unused]] const prop_rule* find_rule(const clip_state* c, const char* key, int n) {
    const prop_rule* found = nullptr;
    for (const prop_rule& r : c->d.props)
        if (r.key == key && n >= r.frames.first && n <= r.frames.last) found = &r;
    return found;
}

std::string value_text(const standin_value& v) {
    char buffer[64];
    switch (v.type) {
    case 'b': return std::string("b ") + (v.d.boolean ? "1" : "0");
    case 's': return std::string("s ") + (v.d.string ? v.d.string : "(null)");
    case 'i': snprintf(buffer, sizeof buffer, "i %d", v.d.integer); return buffer;
    default: snprintf(buffer, sizeof buffer, "%c", v.type ? v.type : '?'); return buffer;
    }
}

standin_value make_value(char type) {
    standin_value v;
    memset(&v, 0, sizeof v);
    v.type = type;
    return v;
}

const standin_value array_items[1] = {};

// Through the C library's standard output, as a plugin's printf goes; the
// flush makes its place among the runner's own writes deterministic.
void chatter(const description& d, const char* when) {
    if (d.stdout_text.empty()) return;
    printf("%s (%s)\n", d.stdout_text.c_str(), when);
    fflush(stdout);
}

}  // namespace

// ---- the exported interface ---------------------------------------------------

STANDIN_EXPORT void* STANDIN_CC avs_create_script_environment(int version) {
    if (forced_failure("create_env")) {
        trace("create_env %d failed", version);
        return nullptr;
    }
    trace("create_env %d", version);
    live_environments++;
    return &live_environments;
}

STANDIN_EXPORT void STANDIN_CC avs_delete_script_environment(void* env) {
    trace("delete_env%s", env == &live_environments ? "" : " bad-handle");
    live_environments--;
}

STANDIN_EXPORT int STANDIN_CC avs_set_var(void* env, const char* name, standin_value value) {
    bool fail = forced_failure("set_var");
    trace("set_var %s %s%s%s%s", name, value_text(value).c_str(), fail ? " failed" : "",
          is_saved(name) ? " saved" : "", env == &live_environments ? "" : " bad-handle");
    if (!fail && value.type == 's' && value.d.string != nullptr)
        string_variables.push_back({name, value.d.string});
    return fail ? 0 : 1;
}

STANDIN_EXPORT char* STANDIN_CC avs_save_string(void* env, const char* text, int length) {
    saved_strings.emplace_back(text, length >= 0 ? (size_t)length : strlen(text));
    trace("save_string %s%s", saved_strings.back().c_str(), env == &live_environments ? "" : " bad-handle");
    return &saved_strings.back()[0];
}

STANDIN_EXPORT int STANDIN_CC avs_set_memory_max(void* env, int megabytes) {
    trace("set_memory_max %d%s", megabytes, env == &live_environments ? "" : " bad-handle");
    return megabytes < 64 ? 64 : megabytes;  // as AviSynth+ 3.7.5 bounds it
}

STANDIN_EXPORT standin_value STANDIN_CC avs_invoke(void* env, const char* name, standin_value args,
                                                   const char** arg_names) {
    trace("invoke %s %s array_size=%d names=%s%s", name, value_text(args).c_str(), args.array_size,
          arg_names == nullptr ? "null" : "set", env == &live_environments ? "" : " bad-handle");
    static std::string error_text;
    // Import(path, utf8=true): the path as the library's Import takes it
    // with a UTF-8 name, which on Windows opens by the wide name.
    bool utf8 = false;
    if (args.type == 'a' && args.array_size == 2 && args.d.array != nullptr && arg_names != nullptr) {
        const standin_value& flag = args.d.array[1];
        trace("invoke arg utf8=%s names[0]=%s", value_text(flag).c_str(),
              arg_names[0] ? arg_names[0] : "null");
        if (arg_names[0] == nullptr && arg_names[1] != nullptr && strcmp(arg_names[1], "utf8") == 0 &&
            flag.type == 'b') {
            utf8 = flag.d.boolean != 0;
            args = args.d.array[0];
        }
    }
    if (strcmp(name, "Import") != 0 || args.type != 's' || args.d.string == nullptr) {
        error_text = std::string("stand-in: no function ") + name;
        standin_value v = make_value('e');
        v.d.string = error_text.c_str();
        return v;
    }
    description d;
    std::string problem = read_description(args.d.string, utf8, d);
    if (!problem.empty()) {
        error_text = problem;
        standin_value v = make_value('e');
        v.d.string = error_text.c_str();
        return v;
    }
    chatter(d, "import");
    for (int i = 0; i < d.start_threads; i++) start_short_thread();
    if (d.import_delay_ms > 0) {
        trace("import delay %d ms", d.import_delay_ms);
        sleep_ms(d.import_delay_ms);
    }
    standin_value v = make_value(d.result);
    switch (d.result) {
    case 'c':
        the_clip = make_clip(d);
        v.d.clip = the_clip;
        if (the_clip == nullptr) {
            error_text = "stand-in: no memory for the clip's pixels";
            v = make_value('e');
            v.d.string = error_text.c_str();
        }
        break;
    case 'e':
        error_text = d.error_text;
        v.d.string = error_text.c_str();
        break;
    case 'i': v.d.integer = 7; break;
    case 'f': v.d.floating_pt = 1.5f; break;
    case 's': v.d.string = "a string"; break;
    case 'b': v.d.boolean = 1; break;
    case 'a':
        v.array_size = 1;
        v.d.array = array_items;
        break;
    default: break;
    }
    return v;
}

STANDIN_EXPORT void STANDIN_CC avs_release_value(standin_value value) {
    trace("release_value %c", value.type ? value.type : '?');
}

STANDIN_EXPORT void* STANDIN_CC avs_take_clip(standin_value value, void* env) {
    trace("take_clip%s%s", value.type == 'c' && value.d.clip == the_clip ? "" : " bad-value",
          env == &live_environments ? "" : " bad-handle");
    return value.d.clip;
}

STANDIN_EXPORT const standin_video_info* STANDIN_CC avs_get_video_info(void* clip) {
    trace("get_video_info");
    return &((clip_state*)clip)->d.vi;
}

STANDIN_EXPORT void* STANDIN_CC avs_get_frame(void* clip_handle, int n) {
    clip_state* c = (clip_state*)clip_handle;
    int delay = c->d.frame_delay_ms;
    for (const auto& rule : c->d.frame_delays)
        if (n >= rule.first.first && n <= rule.first.last) delay = rule.second;
    if (delay > 0) {
        trace("delay %d %d ms", n, delay);
        sleep_ms(delay);
    }
    if (n == 0 && !c->d.frame_gate.empty()) {
        // A test opens the gate when it has seen what it waits for; a runner
        // that never shows it is not waited for forever.
        for (int waited = 0; waited < 20000 && !file_present(c->d.frame_gate); waited += 10) sleep_ms(10);
        trace("gate %s", file_present(c->d.frame_gate) ? "open" : "timed out");
    }
    if (in_range(c->d.failing_frames, n) || n < 0 || n >= c->d.vi.num_frames) {
        c->last_error = c->d.has_frame_error ? c->d.frame_error.c_str() : nullptr;
        trace("get_frame %d failed", n);
        return nullptr;
    }
    frame_handle* f = (frame_handle*)malloc(sizeof(frame_handle));
    if (f == nullptr) {
        c->last_error = "stand-in: no memory for a frame";
        trace("get_frame %d failed", n);
        return nullptr;
    }
    c->last_error = nullptr;
    chatter(c->d, "frame");
    c->held_frames++;
    trace("get_frame %d held=%d", n, c->held_frames);
    f->clip = c;
    f->n = n;
    f->own = nullptr;
    if (c->d.private_frames) {
        f->own = (unsigned char*)malloc(c->slot_size + 1);
        memcpy(f->own, slot_of(c, n), c->slot_size);
    }
    return f;
}

STANDIN_EXPORT void STANDIN_CC avs_release_video_frame(void* frame) {
    frame_handle* f = (frame_handle*)frame;
    f->clip->held_frames--;
    trace("release_frame %d held=%d", f->n, f->clip->held_frames);
    if (f->own != nullptr) {
        memset(f->own, 0xDD, f->clip->slot_size);
        free(f->own);
    }
    free(f);
}

STANDIN_EXPORT const char* STANDIN_CC avs_clip_get_error(void* clip) {
    const char* e = ((clip_state*)clip)->last_error;
    trace("clip_get_error %s", e != nullptr ? "text" : "null");
    return e;
}

STANDIN_EXPORT int STANDIN_CC avs_get_audio(void* clip_handle, void* buffer, int64_t start, int64_t count) {
    clip_state* c = (clip_state*)clip_handle;
    int64_t fail = c->d.fail_audio_at;
    if (fail >= 0 && fail >= start && fail < start + count) {
        c->last_error = c->d.has_audio_error ? c->d.audio_error.c_str() : nullptr;
        trace("get_audio %lld %lld failed", (long long)start, (long long)count);
        return 1;
    }
    if (c->samples == nullptr) {
        c->last_error = "stand-in: no samples for this clip";
        trace("get_audio %lld %lld failed", (long long)start, (long long)count);
        return 1;
    }
    c->last_error = nullptr;
    chatter(c->d, "audio");
    trace("get_audio %lld %lld", (long long)start, (long long)count);
    if (c->d.hot_memory) return 0;
    // Served from one period of precomputed samples.
    unsigned char* out = (unsigned char*)buffer;
    int64_t s = start % STANDIN_AUDIO_PERIOD;
    int64_t left = count;
    while (left > 0) {
        int64_t run = STANDIN_AUDIO_PERIOD - s < left ? STANDIN_AUDIO_PERIOD - s : left;
        memcpy(out, c->samples + s * c->block_align, (size_t)(run * c->block_align));
        out += run * c->block_align;
        left -= run;
        s = 0;
    }
    return 0;
}

#if !defined(STANDIN_WITHOUT_FRAME_PROPS)
STANDIN_EXPORT const void* STANDIN_CC avs_get_frame_props_ro(void* env, const void* frame) {
    const frame_handle* f = (const frame_handle*)frame;
    bool none = in_range(f->clip->d.no_map, f->n);
    trace("props %d%s%s", f->n, none ? " null" : "", env == &live_environments ? "" : " bad-handle");
    return none ? nullptr : frame;
}

namespace {
// The value and error code a getter of the given kind answers.
[[maybe_unused]] int64_t prop_lookup(const void* map, const char* key, int index, int* error, bool want_float,
                                     double* float_value) {
    const frame_handle* f = (const frame_handle*)map;
    const prop_rule* r = find_rule(f->clip, key, f->n);
    int64_t value = 0;
    *float_value = 0.0;
    bool array = r != nullptr && (r->kind == PROP_INTS || r->kind == PROP_FLOATS);
    if (r == nullptr || r->kind == PROP_ABSENT)
        *error = 1;
    else if (array && want_float != (r->kind == PROP_FLOATS))
        *error = 2;
    else if (array && (index < 0 || (size_t)index >= r->numbers.size()))
        *error = 4;
    else if (array) {
        *error = 0;
        value = (int64_t)r->numbers[(size_t)index];
        *float_value = r->numbers[(size_t)index];
    } else if (index != 0)
        *error = 4;
    else if (r->kind == PROP_ERROR)
        *error = r->error;
    else if (r->kind == PROP_STRING || r->kind == PROP_CLIP || r->kind == PROP_FRAME)
        *error = 2;
    else if (want_float != (r->kind == PROP_FLOAT))
        *error = 2;
    else {
        *error = 0;
        value = r->kind == PROP_INT_FRAME ? f->n : r->int_value;
        *float_value = r->float_value;
    }
    trace("prop_get_%s %d %s -> %d", want_float ? "float" : "int", f->n, key, *error);
    return value;
}
}  // namespace

STANDIN_EXPORT int64_t STANDIN_CC avs_prop_get_int(void* env, const void* map, const char* key, int index,
                                                   int* error) {
    (void)env;
    double unused;
    return prop_lookup(map, key, index, error, false, &unused);
}

#if !defined(STANDIN_WITHOUT_PROP_GET_FLOAT)
STANDIN_EXPORT double STANDIN_CC avs_prop_get_float(void* env, const void* map, const char* key, int index,
                                                    int* error) {
    (void)env;
    double value;
    prop_lookup(map, key, index, error, true, &value);
    return value;
}
#endif

#if !defined(STANDIN_WITHOUT_PROP_ENUMERATION)
namespace {
// The keys a frame's map holds: each key once, in the order of its first
// rule, where the last rule for the frame does not make it absent.
std::vector<const prop_rule*> frame_keys(const void* map) {
    const frame_handle* f = (const frame_handle*)map;
    std::vector<const prop_rule*> keys;
    for (const prop_rule& r : f->clip->d.props) {
        const prop_rule* last = find_rule(f->clip, r.key.c_str(), f->n);
        if (last == nullptr || last->kind == PROP_ABSENT) continue;
        bool seen = false;
        for (const prop_rule* k : keys) seen = seen || k->key == r.key;
        if (!seen) keys.push_back(last);
    }
    return keys;
}
}  // namespace

STANDIN_EXPORT int STANDIN_CC avs_prop_num_keys(void*, const void* map) {
    return (int)frame_keys(map).size();
}

STANDIN_EXPORT const char* STANDIN_CC avs_prop_get_key(void*, const void* map, int index) {
    std::vector<const prop_rule*> keys = frame_keys(map);
    return index >= 0 && (size_t)index < keys.size() ? keys[(size_t)index]->key.c_str() : nullptr;
}

STANDIN_EXPORT int STANDIN_CC avs_prop_num_elements(void*, const void* map, const char* key) {
    const frame_handle* f = (const frame_handle*)map;
    const prop_rule* r = find_rule(f->clip, key, f->n);
    if (r == nullptr || r->kind == PROP_ABSENT) return -1;
    return r->kind == PROP_INTS || r->kind == PROP_FLOATS ? (int)r->numbers.size() : 1;
}

STANDIN_EXPORT char STANDIN_CC avs_prop_get_type(void*, const void* map, const char* key) {
    const frame_handle* f = (const frame_handle*)map;
    const prop_rule* r = find_rule(f->clip, key, f->n);
    if (r == nullptr) return 'u';
    switch (r->kind) {
    case PROP_FLOAT:
    case PROP_FLOATS: return 'f';
    case PROP_STRING: return 's';
    case PROP_CLIP: return 'c';
    case PROP_FRAME: return 'v';
    case PROP_ABSENT: return 'u';
    default: return 'i';
    }
}

namespace {
const prop_rule* data_rule(const void* map, const char* key, int index, int* error) {
    const frame_handle* f = (const frame_handle*)map;
    const prop_rule* r = find_rule(f->clip, key, f->n);
    *error = r == nullptr || r->kind == PROP_ABSENT ? 1
             : r->kind == PROP_ERROR                ? r->error
             : r->kind != PROP_STRING               ? 2
             : index != 0                           ? 4
                                                    : 0;
    return *error == 0 ? r : nullptr;
}
}  // namespace

STANDIN_EXPORT const char* STANDIN_CC avs_prop_get_data(void*, const void* map, const char* key, int index,
                                                        int* error) {
    const prop_rule* r = data_rule(map, key, index, error);
    return r != nullptr ? r->bytes.c_str() : nullptr;
}

STANDIN_EXPORT int STANDIN_CC avs_prop_get_data_size(void*, const void* map, const char* key, int index,
                                                     int* error) {
    const prop_rule* r = data_rule(map, key, index, error);
    return r != nullptr ? (int)r->bytes.size() : -1;
}
#endif  // STANDIN_WITHOUT_PROP_ENUMERATION
#endif  // STANDIN_WITHOUT_FRAME_PROPS

namespace {
const plane_geometry* plane_of(const void* frame, int plane, const frame_handle** f) {
    *f = (const frame_handle*)frame;
    switch (plane) {
    case 0:
    case 1:
    case 64: return &(*f)->clip->planes[0];  // Y, or G of planar RGB
    case 2:
    case 128: return &(*f)->clip->planes[1];  // U, or B
    case 4:
    case 32: return &(*f)->clip->planes[2];  // V, or R
    case 16: return &(*f)->clip->planes[3];  // alpha
    default: return nullptr;
    }
}
}  // namespace

namespace {
// The override of a plane's field, if the description gives one.
int answer(const int* overrides, int plane, int computed) {
    int index = plane == 1 ? 0 : plane == 2 ? 1 : plane == 4 ? 2 : -1;
    return index >= 0 && overrides[index] != INT_MIN ? overrides[index] : computed;
}
}  // namespace

STANDIN_EXPORT const unsigned char* STANDIN_CC avs_get_read_ptr_p(const void* frame, int plane) {
    const frame_handle* f;
    const plane_geometry* g = plane_of(frame, plane, &f);
    int index = plane == 1 ? 0 : plane == 2 ? 1 : plane == 4 ? 2 : -1;
    if (g == nullptr || g->row_size == 0 || (index >= 0 && f->clip->d.null_plane[index])) return nullptr;
    return (f->own != nullptr ? f->own : slot_of(f->clip, f->n)) + g->offset;
}

STANDIN_EXPORT int STANDIN_CC avs_get_pitch_p(const void* frame, int plane) {
    const frame_handle* f;
    const plane_geometry* g = plane_of(frame, plane, &f);
    if (f->clip->d.hot_memory) return 0;
    return answer(f->clip->d.pitch, plane, g != nullptr ? g->pitch : 0);
}

STANDIN_EXPORT int STANDIN_CC avs_get_row_size_p(const void* frame, int plane) {
    const frame_handle* f;
    const plane_geometry* g = plane_of(frame, plane, &f);
    return answer(f->clip->d.row_size, plane, g != nullptr ? g->row_size : 0);
}

STANDIN_EXPORT int STANDIN_CC avs_get_height_p(const void* frame, int plane) {
    const frame_handle* f;
    const plane_geometry* g = plane_of(frame, plane, &f);
    return answer(f->clip->d.height, plane, g != nullptr ? g->height : 0);
}

STANDIN_EXPORT int STANDIN_CC avs_is_yv12(const standin_video_info* vi) {
    const pixel_format* f = find_pixel_format(vi->pixel_type);
    return strcmp(f->name, "YV12") == 0;
}

STANDIN_EXPORT int STANDIN_CC avs_is_yv16(const standin_video_info* vi) {
    return strcmp(find_pixel_format(vi->pixel_type)->name, "YV16") == 0;
}

STANDIN_EXPORT int STANDIN_CC avs_is_yv24(const standin_video_info* vi) {
    return strcmp(find_pixel_format(vi->pixel_type)->name, "YV24") == 0;
}

#if !defined(STANDIN_WITHOUT_PIXEL_FORMATS)
STANDIN_EXPORT int STANDIN_CC avs_is_420(const standin_video_info* vi) { return family_of(vi) == 420; }
STANDIN_EXPORT int STANDIN_CC avs_is_422(const standin_video_info* vi) { return family_of(vi) == 422; }
STANDIN_EXPORT int STANDIN_CC avs_is_444(const standin_video_info* vi) { return family_of(vi) == 444; }

STANDIN_EXPORT int STANDIN_CC avs_bits_per_component(const standin_video_info* vi) {
    if (the_clip != nullptr && vi == &the_clip->d.vi && the_clip->d.bits != INT_MIN) return the_clip->d.bits;
    return find_pixel_format(vi->pixel_type)->bits;
}
#endif

// Optional in the real library too (AviSynth+ 3.7.3 and later); the variant
// without the pixel format calls stands for an older library and lacks them.
#if !defined(STANDIN_WITHOUT_CHANNEL_MASK) && !defined(STANDIN_WITHOUT_PIXEL_FORMATS)
STANDIN_EXPORT bool STANDIN_CC avs_is_channel_mask_known(const standin_video_info* vi) {
    bool known = the_clip != nullptr && vi == &the_clip->d.vi && the_clip->d.has_channel_mask;
    trace("is_channel_mask_known %d", known ? 1 : 0);
    return known;
}

STANDIN_EXPORT unsigned STANDIN_CC avs_get_channel_mask(const standin_video_info* vi) {
    unsigned mask = the_clip != nullptr && vi == &the_clip->d.vi ? the_clip->d.channel_mask : 0;
    trace("get_channel_mask 0x%x", mask);
    return mask;
}
#endif

// The required names the runner binds but never calls. Each records the
// call, so a test sees if one is ever reached.
#define STANDIN_UNUSED(name)                   \
    STANDIN_EXPORT int STANDIN_CC name(void) { \
        trace("unexpected call %s", #name);    \
        return 0;                              \
    }

STANDIN_UNUSED(avs_add_function)
STANDIN_UNUSED(avs_at_exit)
STANDIN_UNUSED(avs_bit_blt)
STANDIN_UNUSED(avs_check_version)
STANDIN_UNUSED(avs_copy_clip)
STANDIN_UNUSED(avs_copy_value)
STANDIN_UNUSED(avs_copy_video_frame)
STANDIN_UNUSED(avs_function_exists)
STANDIN_UNUSED(avs_get_cpu_flags)
STANDIN_UNUSED(avs_get_parity)
STANDIN_UNUSED(avs_get_var)
STANDIN_UNUSED(avs_get_version)
STANDIN_UNUSED(avs_make_writable)
STANDIN_UNUSED(avs_new_c_filter)
STANDIN_UNUSED(avs_new_video_frame_a)
STANDIN_UNUSED(avs_release_clip)
STANDIN_UNUSED(avs_set_cache_hints)
STANDIN_UNUSED(avs_set_global_var)
STANDIN_UNUSED(avs_set_to_clip)
STANDIN_UNUSED(avs_set_working_dir)
STANDIN_UNUSED(avs_sprintf)
STANDIN_UNUSED(avs_subframe)
STANDIN_UNUSED(avs_subframe_planar)
STANDIN_UNUSED(avs_vsprintf)
STANDIN_UNUSED(avs_get_error)
STANDIN_UNUSED(avs_is_yv411)
STANDIN_UNUSED(avs_is_y8)
STANDIN_UNUSED(avs_is_color_space)
STANDIN_UNUSED(avs_get_plane_width_subsampling)
STANDIN_UNUSED(avs_get_plane_height_subsampling)
STANDIN_UNUSED(avs_bits_per_pixel)
STANDIN_UNUSED(avs_bytes_from_pixels)
STANDIN_UNUSED(avs_row_size)
STANDIN_UNUSED(avs_bmp_size)
STANDIN_UNUSED(avs_is_writable)
#if !defined(STANDIN_WITHOUT_WRITE_PTR)
STANDIN_UNUSED(avs_get_write_ptr_p)
#endif
