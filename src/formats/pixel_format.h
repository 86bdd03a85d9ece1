// The clip's pixel format as the outputs describe it: bits per component and
// the YUV4MPEG2 colour-space tag, or no tag.
#ifndef ZVK_PIXEL_FORMAT_H
#define ZVK_PIXEL_FORMAT_H

#include "avs/avs_interface.h"

// Bits per component; 8 when the library does not say.
int video_bit_depth(const AVS_VideoInfo* vi);

// The tag of a subsampling family (420, 422 or 444) at a bit depth, or null.
const char* y4m_chroma_tag(int family, int depth);

// The clip's tag, or null when the Y4M stream cannot carry it.
const char* chroma_tag(const AVS_VideoInfo* vi);

#endif
