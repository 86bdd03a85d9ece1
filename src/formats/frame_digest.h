// The digest of a frame's pixels: XXH64, seed 0, over every plane's rows
// without their padding, planes in the library's order (formats/raw_planes.h:
// Y, U, V, alpha; G, B, R, alpha for planar RGB; the one plane of packed
// formats as stored). The same in every form, so parts of a split render
// can be checked against each other without keeping the frames.
#ifndef ZVK_FRAME_DIGEST_H
#define ZVK_FRAME_DIGEST_H

#include "avs/avs_interface.h"

// 16 lower-case hex digits; false (text untouched) when a plane's rows
// cannot be read.
bool frame_digest(const AVS_VideoFrame* frame, const AVS_VideoInfo* vi, char text[17]);

#endif
