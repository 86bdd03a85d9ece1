// Every example for a real AviSynth+ prints what its header says.
#include "real_test.h"

namespace {

class RealExamples : public RealTest {};

TEST_F(RealExamples, PrintWhatTheySay) {
    std::vector<std::string> paths = examples("avisynth");
    ASSERT_GE(paths.size(), 4u);
    for (const std::string& p : paths) check_example(p, real());
}

}  // namespace
