// The files that once made one of the file readers fail, fed to it again:
// each is read, or refused with a message that names the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "../fuzz/FuzzReaders.h"
#include "TestSupport.h"

namespace {

using TReader = FuzzReaders::TOutcome (*)(const std::string&);

TEST(ReaderFindings, EachFileIsReadOrRefusedWithAMessage) {
  const std::pair<const char*, TReader> readers[] = {{"input", FuzzReaders::Input},
                                                     {"parameters", FuzzReaders::Parameters},
                                                     {"results", FuzzReaders::Results},
                                                     {"trend", FuzzReaders::Trend},
                                                     {"table", FuzzReaders::Table}};
  int files = 0;
  for (const auto& [name, reader] : readers) {
    const auto folder = std::filesystem::path(TEST_DATA_DIR) / "reader_findings" / name;
    if (!std::filesystem::is_directory(folder)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      ++files;
      const FuzzReaders::TOutcome outcome = reader(ReadFileBytes(entry.path().string()));
      EXPECT_TRUE(outcome.Accepted || !outcome.Message.empty()) << entry.path();
    }
  }
  EXPECT_GT(files, 0);
}

}  // namespace
