// The table of outputs: which output a run mode makes. A new output is a
// struct of steps in its own file (formats/ or reports/), a mode, a row
// here and a form on the command line.
#ifndef ZVK_OUTPUTS_H
#define ZVK_OUTPUTS_H

#include "run/output.h"
#include "run_mode.h"

extern const output_steps validate_output;
extern const output_steps validate_real_output;
extern const output_steps source_check_output;
extern const output_steps y4m_output;
extern const output_steps y4m_skip_drop_output;
extern const output_steps wav_output;
extern const output_steps rf64_output;

const output_steps* output_for(run_mode mode);

#endif
