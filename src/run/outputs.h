// The outputs, each a struct of steps in its own file (formats/ or
// reports/); the table of modes (modes.h) says which form makes which.
#ifndef ZVK_OUTPUTS_H
#define ZVK_OUTPUTS_H

#include "run/output.h"

extern const output_steps validate_output;
extern const output_steps validate_real_output;
extern const output_steps source_check_output;
extern const output_steps y4m_output;
extern const output_steps y4m_skip_drop_output;
extern const output_steps wav_output;
extern const output_steps rf64_output;
extern const output_steps info_output;
extern const output_steps info_frame0_output;
extern const output_steps raw_output;
extern const output_steps wav_extensible_output;
extern const output_steps mkv_output;
extern const output_steps mkv_skip_drop_output;
extern const output_steps bench_output;

#endif
