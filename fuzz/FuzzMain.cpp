// One libFuzzer binary per target; the target is chosen by name at build time.
#include <cstdlib>
#include <cstring>

#include "fuzz/Targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const mf::fuzz::Target* target = [] {
    for (const mf::fuzz::Target& t : mf::fuzz::Targets()) {
      if (std::strcmp(t.name, MOTEFIELD_FUZZ_TARGET) == 0) return &t;
    }
    std::abort();
  }();
  target->run(mf::fuzz::SharedHost(), data, size);
  return 0;
}
