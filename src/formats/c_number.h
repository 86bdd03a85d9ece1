// Numbers as the C locale writes them, whatever locale a library has set in
// the process: a plugin may call setlocale, and a "," for the decimal point
// would split a CSV field or a progress field in two.
#ifndef ZVK_C_NUMBER_H
#define ZVK_C_NUMBER_H

#include <stddef.h>

// Formats one double as printf's "%.<precision>g" (conversion 'g') or
// "%.<precision>f" (any other) would into out, with "." as the decimal
// point; returns the length, as snprintf does.
int format_c_number(char* out, size_t size, char conversion, int precision, double value);

#endif
