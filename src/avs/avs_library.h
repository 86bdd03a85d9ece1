// The AviSynth+ C interface bound at run time into one process-wide record of
// function pointers. One list of names drives the record and the binding.
#ifndef ZVK_AVS_LIBRARY_H
#define ZVK_AVS_LIBRARY_H

#include "avs/avs_interface.h"

// X(name, return type, parameters). The first 56 are required, in the
// interface's record order: a library lacking one of them is refused, even
// where the program never calls it (those are declared void(void)).
#define AVS_REQUIRED_FUNCTIONS(X)                                                            \
    X(avs_add_function, void, (void))                                                        \
    X(avs_at_exit, void, (void))                                                             \
    X(avs_bit_blt, void, (void))                                                             \
    X(avs_check_version, void, (void))                                                       \
    X(avs_clip_get_error, const char*, (AVS_Clip*))                                          \
    X(avs_copy_clip, void, (void))                                                           \
    X(avs_copy_value, void, (void))                                                          \
    X(avs_copy_video_frame, void, (void))                                                    \
    X(avs_create_script_environment, AVS_ScriptEnvironment*, (int))                          \
    X(avs_delete_script_environment, void, (AVS_ScriptEnvironment*))                         \
    X(avs_function_exists, void, (void))                                                     \
    X(avs_get_audio, int, (AVS_Clip*, void*, int64_t, int64_t))                              \
    X(avs_get_cpu_flags, void, (void))                                                       \
    X(avs_get_frame, AVS_VideoFrame*, (AVS_Clip*, int))                                      \
    X(avs_get_parity, void, (void))                                                          \
    X(avs_get_var, void, (void))                                                             \
    X(avs_get_version, void, (void))                                                         \
    X(avs_get_video_info, const AVS_VideoInfo*, (AVS_Clip*))                                 \
    X(avs_invoke, AVS_Value, (AVS_ScriptEnvironment*, const char*, AVS_Value, const char**)) \
    X(avs_make_writable, void, (void))                                                       \
    X(avs_new_c_filter, void, (void))                                                        \
    X(avs_new_video_frame_a, void, (void))                                                   \
    X(avs_release_clip, void, (void))                                                        \
    X(avs_release_value, void, (AVS_Value))                                                  \
    X(avs_release_video_frame, void, (AVS_VideoFrame*))                                      \
    X(avs_save_string, char*, (AVS_ScriptEnvironment*, const char*, int))                    \
    X(avs_set_cache_hints, void, (void))                                                     \
    X(avs_set_global_var, void, (void))                                                      \
    X(avs_set_memory_max, int, (AVS_ScriptEnvironment*, int))                                \
    X(avs_set_to_clip, void, (void))                                                         \
    X(avs_set_var, int, (AVS_ScriptEnvironment*, const char*, AVS_Value))                    \
    X(avs_set_working_dir, void, (void))                                                     \
    X(avs_sprintf, void, (void))                                                             \
    X(avs_subframe, void, (void))                                                            \
    X(avs_subframe_planar, void, (void))                                                     \
    X(avs_take_clip, AVS_Clip*, (AVS_Value, AVS_ScriptEnvironment*))                         \
    X(avs_vsprintf, void, (void))                                                            \
    X(avs_get_error, void, (void))                                                           \
    X(avs_is_yv24, int, (const AVS_VideoInfo*))                                              \
    X(avs_is_yv16, int, (const AVS_VideoInfo*))                                              \
    X(avs_is_yv12, int, (const AVS_VideoInfo*))                                              \
    X(avs_is_yv411, void, (void))                                                            \
    X(avs_is_y8, void, (void))                                                               \
    X(avs_is_color_space, void, (void))                                                      \
    X(avs_get_plane_width_subsampling, void, (void))                                         \
    X(avs_get_plane_height_subsampling, void, (void))                                        \
    X(avs_bits_per_pixel, void, (void))                                                      \
    X(avs_bytes_from_pixels, void, (void))                                                   \
    X(avs_row_size, void, (void))                                                            \
    X(avs_bmp_size, void, (void))                                                            \
    X(avs_get_pitch_p, int, (const AVS_VideoFrame*, int))                                    \
    X(avs_get_row_size_p, int, (const AVS_VideoFrame*, int))                                 \
    X(avs_get_height_p, int, (const AVS_VideoFrame*, int))                                   \
    X(avs_get_read_ptr_p, const unsigned char*, (const AVS_VideoFrame*, int))                \
    X(avs_is_writable, void, (void))                                                         \
    X(avs_get_write_ptr_p, void, (void))

// Optional: a library lacking one leaves its slot null, and every user tests
// the slot (the frame property functions once, right after the environment
// exists). The channel mask calls came with AviSynth+ 3.7.3; the property
// enumeration, which only --props needs, with AviSynth+ 3.7.
#define AVS_OPTIONAL_FUNCTIONS(X)                                                                       \
    X(avs_is_444, int, (const AVS_VideoInfo*))                                                          \
    X(avs_is_422, int, (const AVS_VideoInfo*))                                                          \
    X(avs_is_420, int, (const AVS_VideoInfo*))                                                          \
    X(avs_bits_per_component, int, (const AVS_VideoInfo*))                                              \
    X(avs_get_frame_props_ro, const AVS_Map*, (AVS_ScriptEnvironment*, const AVS_VideoFrame*))          \
    X(avs_prop_get_int, int64_t, (AVS_ScriptEnvironment*, const AVS_Map*, const char*, int, int*))      \
    X(avs_prop_get_float, double, (AVS_ScriptEnvironment*, const AVS_Map*, const char*, int, int*))     \
    X(avs_is_channel_mask_known, bool, (const AVS_VideoInfo*))                                          \
    X(avs_get_channel_mask, unsigned, (const AVS_VideoInfo*))                                           \
    X(avs_prop_num_keys, int, (AVS_ScriptEnvironment*, const AVS_Map*))                                 \
    X(avs_prop_get_key, const char*, (AVS_ScriptEnvironment*, const AVS_Map*, int))                     \
    X(avs_prop_num_elements, int, (AVS_ScriptEnvironment*, const AVS_Map*, const char*))                \
    X(avs_prop_get_type, char, (AVS_ScriptEnvironment*, const AVS_Map*, const char*))                   \
    X(avs_prop_get_data, const char*, (AVS_ScriptEnvironment*, const AVS_Map*, const char*, int, int*)) \
    X(avs_prop_get_data_size, int, (AVS_ScriptEnvironment*, const AVS_Map*, const char*, int, int*))

#define AVS_LIBRARY_SLOT(name, result, parameters) result(AVSC_CC* name) parameters;

struct AVS_Library {
    void* handle;
    AVS_REQUIRED_FUNCTIONS(AVS_LIBRARY_SLOT)
    AVS_OPTIONAL_FUNCTIONS(AVS_LIBRARY_SLOT)
};

// Null until the binding succeeds; the record once it has.
extern AVS_Library* avs_library;

// Loads the library (the file at path, or by the platform's search when path
// is null) and resolves every name. Returns the record (also stored in
// avs_library), or null with avs_library left null.
AVS_Library* avs_load_library(const char* path);

// Why the binding failed.
enum avs_load_failure {
    AVS_LOAD_DONE,
    AVS_LOAD_NO_FILE,       // the named file cannot be opened (errno says why)
    AVS_LOAD_NOT_LOADABLE,  // the loader refused the file, or found none
    AVS_LOAD_NOT_AVISYNTH,  // it loaded, but has no avs_create_script_environment
    AVS_LOAD_LACKS_NAME,    // it loaded, but lacks a function the runner requires
};
avs_load_failure avs_load_failure_kind(void);

// The required function the library lacks (AVS_LOAD_LACKS_NAME), or "".
const char* avs_missing_name(void);

// After a failed binding: what the loader answered, as one line without its
// line feed (which names were tried, or which name the library lacks); an
// empty text where the platform's own message says enough.
const char* avs_load_problem(void);

// After a failed binding, the message on standard error: for the
// platform's search the usual advice and the loader's answer; for a file
// --library named (named_path), what is wrong with it.
void report_load_failure(const char* named_path);

// Unloads the library and frees the record; only before a clip is taken.
void avs_free_library(AVS_Library* library);

// The full path of the loaded library file; 0 with an empty text when the
// platform cannot tell it.
int avs_loaded_library_path(char* path, int size);

#endif
