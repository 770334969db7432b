// One libFuzzer program per target; FUZZ_ENTRY names the entry function.
#include "FuzzDrive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return vaultline::fuzzing::FUZZ_ENTRY(data, size);
}
