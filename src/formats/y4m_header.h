// The YUV4MPEG2 stream header: today's fixed line, or, with --y4m-tags, one
// that carries the clip's field order, aspect, chroma siting, range and
// length from the properties of the stream's first frame. Pure: the caller
// reads the properties and says the notes.
#ifndef ZVK_Y4M_HEADER_H
#define ZVK_Y4M_HEADER_H

#include <stdint.h>

// The frame properties the header reads, in this order.
enum {
    Y4M_FIELD_BASED,
    Y4M_SAR_NUM,
    Y4M_SAR_DEN,
    Y4M_CHROMA_LOCATION,
    Y4M_COLOR_RANGE,
    Y4M_PROP_COUNT,
};
extern const char* const y4m_prop_keys[Y4M_PROP_COUNT];

// A property that is absent or unreadable is not present.
struct y4m_props {
    bool present[Y4M_PROP_COUNT];
    int64_t value[Y4M_PROP_COUNT];
};

struct y4m_header_facts {
    int width;
    int height;
    uint32_t fps_num;
    uint32_t fps_den;
    const char* chroma;      // the clip's tag, as chroma_tag gives it
    const y4m_props* props;  // null: today's header, "Ip A0:0" and nothing more
    int64_t length;          // the frames the stream will hold; -1: not known
};

// What the header could not carry, to be said on standard error.
enum {
    Y4M_NOTE_SITING_KEPT = 1,     // 8-bit 4:2:0 without a siting Y4M names: C420jpeg
    Y4M_NOTE_NO_XLENGTH = 2,      // left out to keep the line within 80 bytes
    Y4M_NOTE_NO_XCOLORRANGE = 4,  // likewise, after XLENGTH
};

// Readers that cap the header line at 80 bytes (x264, FFmpeg before 4.3)
// count its line feed.
enum { Y4M_HEADER_CAP = 80 };

struct y4m_header_line {
    char text[192];  // the line with its line feed
    int length;
    int notes;
};

y4m_header_line build_y4m_header(const y4m_header_facts* facts);

// The properties (as bits, 1 << index) whose presence or value differ.
int y4m_props_changed(const y4m_props* first, const y4m_props* now);

#endif
