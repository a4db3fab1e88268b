// Shared helpers of the test programs.
#pragma once

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "UserDialogs.h"

// Records every text the core shows and answers questions from a script.
class TRecordingDialogs : public TUserDialogs {
 public:
  void Message(const std::string& text) override { messages.push_back(text); }
  bool ConfirmYesNo(const std::string& question) override {
    questions.push_back(question);
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void Progress(const std::string& line) override { progress.push_back(line); }
  void Pause(int milliseconds) override { pauses.push_back(milliseconds); }
  std::optional<double> AskNumber(const std::string& question, double) override {
    numberQuestions.push_back(question);
    if (numbers.empty()) return std::nullopt;
    const std::optional<double> answer = numbers.front();
    numbers.pop_front();
    return answer;
  }

  std::optional<bool> AskSaveChanges(const std::string& question) override {
    questions.push_back(question);
    if (saveAnswers.empty()) return std::nullopt;
    const std::optional<bool> answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
  }

  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::vector<std::string> progress;
  std::vector<int> pauses;
  std::deque<bool> answers;
  std::vector<std::string> numberQuestions;
  std::deque<std::optional<double>> numbers;    // nullopt: cancelled
  std::deque<std::optional<bool>> saveAnswers;  // save, discard, nullopt: go back
};

// A fresh directory under the system's temporary directory, removed again
// when the object goes.
class TTemporaryDirectory {
 public:
  TTemporaryDirectory();
  ~TTemporaryDirectory();
  TTemporaryDirectory(const TTemporaryDirectory&) = delete;
  TTemporaryDirectory& operator=(const TTemporaryDirectory&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A full disk for this process while the object lives: no file may grow
// beyond `bytes` (writes past it fail instead of raising a signal).
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(unsigned long bytes);
  ~TFileSizeLimit();
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

 private:
  unsigned long old_ = 0;
};

// The names in a folder, sorted.
std::vector<std::string> FolderEntries(const std::filesystem::path& folder);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// Joins lines with CR LF after every line.
std::string CrLf(const std::vector<std::string>& lines);
// A file of the project's test data (tests/data) or example data (Data).
std::string TestDataFile(const std::string& name);
std::string ExampleDataFile(const std::string& name);
