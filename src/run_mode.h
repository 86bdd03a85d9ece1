// What a run makes: one value per rendering form of the command line. The
// driver looks the output up by it once (run/outputs.h); nothing else reads
// it.
#ifndef ZVK_RUN_MODE_H
#define ZVK_RUN_MODE_H

enum run_mode {
    RUN_VALIDATE,
    RUN_VALIDATE_REAL,
    RUN_Y4M,
    RUN_Y4M_SKIP_DROP,
    RUN_WAV,
    RUN_CHECK_SOURCE,
    RUN_RF64,
};
enum { RUN_MODES = RUN_RF64 + 1 };

#endif
