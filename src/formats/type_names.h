// AviSynth's own names for the pixel and sample types a clip reports.
#ifndef ZVK_TYPE_NAMES_H
#define ZVK_TYPE_NAMES_H

// The name AviSynth's PixelType() gives the value ("YV12", "RGB32", ...),
// or null for a value it has no name for.
const char* pixel_type_name(int pixel_type);

// "int8", "int16", "int24", "int32" or "float", or null.
const char* sample_type_name(int sample_type);

#endif
