// libFuzzer target: the reader of results files (.out).
#include <cstddef>
#include <cstdint>

#include "FuzzReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzReaders::Results(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
