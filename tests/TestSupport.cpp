#include "TestSupport.h"

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <random>
#include <sstream>

TTemporaryDirectory::TTemporaryDirectory() {
  std::random_device device;
  path_ = std::filesystem::temp_directory_path() /
          ("tevlora-test-" + std::to_string(device()) + "-" + std::to_string(device()));
  std::filesystem::create_directories(path_);
}

TTemporaryDirectory::~TTemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

TFileSizeLimit::TFileSizeLimit(unsigned long bytes) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  old_ = limit.rlim_cur;
  limit.rlim_cur = bytes;
  setrlimit(RLIMIT_FSIZE, &limit);
}

TFileSizeLimit::~TFileSizeLimit() {
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = old_;
  setrlimit(RLIMIT_FSIZE, &limit);
}

std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string CrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

std::string TestDataFile(const std::string& name) {
  return std::string(TEST_DATA_DIR) + "/" + name;
}
std::string ExampleDataFile(const std::string& name) {
  return std::string(PROJECT_DATA_DIR) + "/" + name;
}
