// The library's own version text (its VersionString function).
#ifndef ZVK_VERSION_TEXT_H
#define ZVK_VERSION_TEXT_H

#include <stddef.h>

#include "avs/avs_interface.h"

// Copies the text into out (cut to size) and returns true, or returns false
// where the library has no such function or it gives no text.
bool avisynth_version_text(AVS_ScriptEnvironment* environment, char* out, size_t size);

#endif
