#include "formats/c_number.h"

#include <locale.h>
#include <stdio.h>
#include <string.h>

int format_c_number(char* out, size_t size, char conversion, int precision, double value) {
    int length = snprintf(out, size, conversion == 'g' ? "%.*g" : "%.*f", precision, value);
    if (length < 0 || (size_t)length >= size) return length;
    // Read at once: a locale is set between runs of a plugin, not mid-line.
    const char* point = localeconv()->decimal_point;
    size_t point_length = point != nullptr ? strlen(point) : 0;
    if (point_length == 0 || strcmp(point, ".") == 0) return length;
    char* at = strstr(out, point);
    if (at == nullptr) return length;
    *at = '.';
    memmove(at + 1, at + point_length, strlen(at + point_length) + 1);
    return length - (int)(point_length - 1);
}
