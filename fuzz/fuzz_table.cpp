// libFuzzer target: the reader of measured tables (CSV). A refusal without
// a message counts as a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const FuzzReaders::TOutcome outcome =
      FuzzReaders::Table(std::string(reinterpret_cast<const char*>(data), size));
  if (!outcome.Accepted && outcome.Message.empty()) std::abort();
  return 0;
}
