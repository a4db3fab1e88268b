// How the core talks to the user. The core never opens a window: every modal
// message, Yes/No question, progress line of the wait memo and blocking wait
// goes through this interface. The windows answer with message boxes and the
// memo, the batch tool with stderr, the tests with a script.
#pragma once

#include <optional>
#include <string>

class TUserDialogs {
 public:
  virtual ~TUserDialogs() = default;
  // A modal message with an OK button.
  virtual void Message(const std::string& text) = 0;
  // A Yes/No question; true exactly when the user answered Yes.
  virtual bool ConfirmYesNo(const std::string& question) = 0;
  // One line appended to the wait memo of the input tab.
  virtual void Progress(const std::string& line) = 0;
  // A short blocking wait between progress lines.
  virtual void Pause(int milliseconds) = 0;
  // A number the user types (an escape rate, a catchment area), offered
  // with `initial`; nothing when the user cancels. Where nobody can answer
  // (the batch tool takes its numbers as options) it is never given.
  virtual std::optional<double> AskNumber(const std::string& /*question*/, double /*initial*/) {
    return std::nullopt;
  }
  // Save, discard or go back, for unsaved changes: true to save them, false
  // to discard them, nothing to go back. Where nobody can answer, nothing.
  virtual std::optional<bool> AskSaveChanges(const std::string& /*question*/) {
    return std::nullopt;
  }
};

// Says nothing and answers No; the data module uses it until a window or the
// batch tool installs its own.
class TSilentDialogs : public TUserDialogs {
 public:
  void Message(const std::string&) override {}
  bool ConfirmYesNo(const std::string&) override { return false; }
  void Progress(const std::string&) override {}
  void Pause(int) override {}
};

// The one silent answerer every data module starts with; it holds no state, so
// all may share it, and a copied data module never points into its original.
inline TUserDialogs& SilentDialogs() {
  static TSilentDialogs dialogs;
  return dialogs;
}
