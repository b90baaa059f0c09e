// The libFuzzer entry point of one fuzz target; TARVEL_FUZZ_BODY names its body.
#include <cstddef>
#include <cstdint>

#include "FuzzBodies.h"
#include "commands/Kinds.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tarvel::AssembleCore();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarvel::fuzz::TARVEL_FUZZ_BODY(tarvel::fuzz::TBytes(data, size));
  return 0;
}
