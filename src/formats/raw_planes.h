// The planes of a clip's frames as a raw stream carries them, worked out
// from the pixel type alone: which planes in which order (Y, U, V, A; G, B,
// R, A for planar RGB, as FFmpeg's gbrp orders them; one plane for packed
// formats), their sizes, and the FFmpeg -pix_fmt that reads them back.
// A pure function: no library call, so any output or digest can share it.
#ifndef ZVK_RAW_PLANES_H
#define ZVK_RAW_PLANES_H

struct raw_plane {
    int id;         // the plane id for avs_get_read_ptr_p (0 for a packed frame)
    int width;      // samples per row; pixels for a packed plane
    int height;     // rows
    int row_bytes;  // bytes of one row without the padding between rows
};

struct raw_planes {
    int count;  // 0: not a pixel type the library defines, or a size no frame has
    raw_plane planes[4];
    int bits;              // bits per component: 8 to 16, or 32 (float)
    int bytes_per_sample;  // bytes of one component: 1, 2 or 4
    bool is_float;
    bool packed;     // one plane holds every component of a pixel
    bool bottom_up;  // packed RGB: the library's first row is the bottom one
    // The name FFmpeg reads these bytes with (little-endian samples, packed
    // RGB turned top-down), or null where it has none.
    const char* ffmpeg_pix_fmt;
};

raw_planes describe_raw_planes(int pixel_type, int width, int height);

// The bytes of one frame: the sum of every plane's rows.
long long raw_frame_bytes(const raw_planes* layout);

#endif
