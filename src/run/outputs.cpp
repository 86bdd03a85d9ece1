#include "run/outputs.h"

static const struct {
    run_mode mode;
    const output_steps* output;
} outputs[] = {
    {RUN_VALIDATE, &validate_output},
    {RUN_VALIDATE_REAL, &validate_real_output},
    {RUN_CHECK_SOURCE, &source_check_output},
    {RUN_Y4M, &y4m_output},
    {RUN_Y4M_SKIP_DROP, &y4m_skip_drop_output},
    {RUN_WAV, &wav_output},
    {RUN_RF64, &rf64_output},
};

const output_steps* output_for(run_mode mode) {
    for (const auto& row : outputs)
        if (row.mode == mode) return row.output;
    return nullptr;
}
