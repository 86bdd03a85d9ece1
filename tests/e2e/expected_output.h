// What the runner must write for a stand-in clip, computed from the
// stand-in's pixel formula, and a reader of progress lines.
#ifndef ZVK_E2E_EXPECTED_OUTPUT_H
#define ZVK_E2E_EXPECTED_OUTPUT_H

#include <string>
#include <vector>

struct plane_size {
    int row_bytes;
    int rows;
};

// The Y, U and V planes of a 8-bit (bytes 1) or wider clip of a family
// (420, 422, 444), without padding.
std::vector<plane_size> yuv_planes(int family, int width, int height, int bytes_per_sample);

// The bytes of one frame slot's planes, rows without gaps.
std::string plane_bytes(int slot, const std::vector<plane_size>& planes);

// "FRAME\n" and the planes.
std::string y4m_frame(int slot, const std::vector<plane_size>& planes);

struct progress_line {
    std::string label;
    int done;
    int total;
    double percent;
    double elapsed;
    double estimate;
    std::string text;
};

// Every line of standard error that has the shape of a progress line.
std::vector<progress_line> progress_lines(const std::string& err);

// Lines of a text, without their line feeds.
std::vector<std::string> text_lines(const std::string& text);

// The lines of standard error that are not progress lines.
std::string diagnostic_lines(const std::string& err);

#endif
