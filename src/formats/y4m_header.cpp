#include "formats/y4m_header.h"

#include <limits.h>
#include <stdio.h>
#include <string.h>

const char* const y4m_prop_keys[Y4M_PROP_COUNT] = {"_FieldBased", "_SARNum", "_SARDen", "_ChromaLocation",
                                                   "_ColorRange"};

static bool has(const y4m_props* props, int index, int64_t value) {
    return props->present[index] && props->value[index] == value;
}

static const char* interlacing(const y4m_props* props) {
    if (has(props, Y4M_FIELD_BASED, 1)) return "Ib";
    if (has(props, Y4M_FIELD_BASED, 2)) return "It";
    return "Ip";
}

// Readers take the aspect as two ints; anything else is not given.
static bool sar_given(const y4m_props* props) {
    for (int index = Y4M_SAR_NUM; index <= Y4M_SAR_DEN; index++)
        if (!props->present[index] || props->value[index] <= 0 || props->value[index] > INT_MAX) return false;
    return true;
}

// Only 8-bit 4:2:0 has siting variants in Y4M.
static const char* siting_tag(const y4m_props* props, const char* chroma, int* notes) {
    if (strcmp(chroma, "C420jpeg") != 0) return chroma;
    if (has(props, Y4M_CHROMA_LOCATION, 0)) return "C420mpeg2";
    if (has(props, Y4M_CHROMA_LOCATION, 1)) return "C420jpeg";
    if (has(props, Y4M_CHROMA_LOCATION, 2)) return "C420paldv";
    *notes |= Y4M_NOTE_SITING_KEPT;
    return chroma;
}

static const char* color_range(const y4m_props* props) {
    if (has(props, Y4M_COLOR_RANGE, 0)) return " XCOLORRANGE=FULL";
    if (has(props, Y4M_COLOR_RANGE, 1)) return " XCOLORRANGE=LIMITED";
    return "";
}

y4m_header_line build_y4m_header(const y4m_header_facts* facts) {
    y4m_header_line line = {};
    const y4m_props* props = facts->props;
    if (props == nullptr) {
        line.length =
            snprintf(line.text, sizeof line.text, "YUV4MPEG2 W%d H%d F%u:%u Ip A0:0 %s\n", facts->width,
                     facts->height, (unsigned)facts->fps_num, (unsigned)facts->fps_den, facts->chroma);
        return line;
    }
    char aspect[32] = "A0:0";
    if (sar_given(props))
        snprintf(aspect, sizeof aspect, "A%lld:%lld", (long long)props->value[Y4M_SAR_NUM],
                 (long long)props->value[Y4M_SAR_DEN]);
    char base[128];
    int base_length = snprintf(base, sizeof base, "YUV4MPEG2 W%d H%d F%u:%u %s %s %s", facts->width,
                               facts->height, (unsigned)facts->fps_num, (unsigned)facts->fps_den,
                               interlacing(props), aspect, siting_tag(props, facts->chroma, &line.notes));
    const char* range = color_range(props);
    char length[32] = "";
    if (facts->length >= 0) snprintf(length, sizeof length, " XLENGTH=%lld", (long long)facts->length);
    // The X tags go first when the line would pass the cap, XLENGTH before
    // XCOLORRANGE; the tags before them are the stream's format and stay.
    int range_length = (int)strlen(range), length_length = (int)strlen(length);
    if (length_length > 0 && base_length + range_length + length_length + 1 > Y4M_HEADER_CAP) {
        length[0] = '\0';
        length_length = 0;
        line.notes |= Y4M_NOTE_NO_XLENGTH;
    }
    if (range_length > 0 && base_length + range_length + 1 > Y4M_HEADER_CAP) {
        range = "";
        line.notes |= Y4M_NOTE_NO_XCOLORRANGE;
    }
    line.length = snprintf(line.text, sizeof line.text, "%s%s%s\n", base, range, length);
    return line;
}

int y4m_props_changed(const y4m_props* first, const y4m_props* now) {
    int changed = 0;
    for (int i = 0; i < Y4M_PROP_COUNT; i++)
        if (first->present[i] != now->present[i] || (now->present[i] && first->value[i] != now->value[i]))
            changed |= 1 << i;
    return changed;
}
