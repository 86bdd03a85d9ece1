#include "expected_output.h"

#include <stdio.h>

#include "standin_pattern.h"

std::vector<plane_size> yuv_planes(int family, int width, int height, int bytes_per_sample) {
    int cw = family == 444 ? width : width / 2;
    int ch = family == 420 ? height / 2 : height;
    return {{width * bytes_per_sample, height}, {cw * bytes_per_sample, ch}, {cw * bytes_per_sample, ch}};
}

std::string plane_bytes(int slot, const std::vector<plane_size>& planes) {
    std::string bytes;
    for (size_t p = 0; p < planes.size(); p++)
        for (int row = 0; row < planes[p].rows; row++)
            for (int col = 0; col < planes[p].row_bytes; col++)
                bytes.push_back((char)standin_pixel(slot, (int)p, row, col));
    return bytes;
}

std::string y4m_frame(int slot, const std::vector<plane_size>& planes) {
    return "FRAME\n" + plane_bytes(slot, planes);
}

std::vector<std::string> text_lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

std::vector<progress_line> progress_lines(const std::string& err) {
    std::vector<progress_line> lines;
    for (const std::string& text : text_lines(err)) {
        progress_line p;
        char label[64];
        int used = 0;
        if (sscanf(text.c_str(), "%63[a-z_],%d,%d,%lf,%lf,%lf%n", label, &p.done, &p.total, &p.percent,
                   &p.elapsed, &p.estimate, &used) == 6 &&
            used == (int)text.size()) {
            p.label = label;
            p.text = text;
            lines.push_back(p);
        }
    }
    return lines;
}

std::string diagnostic_lines(const std::string& err) {
    std::string diagnostics;
    for (const std::string& line : text_lines(err))
        if (progress_lines(line).empty()) diagnostics += line + "\n";
    return diagnostics;
}
