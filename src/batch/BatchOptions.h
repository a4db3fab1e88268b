// The command line of one tevlora-batch command: its options, declared once
// with what they set, and the words left over (files, a graph kind, numbers)
// in their order.
//
// An option is a whole word ("--bw", "-o"); its value, if it takes one, is
// always the next word, even when that starts with a dash (a negative
// number). There is no "--name=value", no grouping of short options and no
// "--": a word that starts with a dash and is no option of the command is
// refused as an unknown option, unless the command takes such words as its
// own (file names for run, negative numbers for drain). The same option given
// twice counts as given last.
#pragma once

#include <cstddef>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

using TArguments = std::vector<std::string>;

class TCommandLine {
 public:
  // Returns the complaint when the value does not do; nothing when it was taken.
  using TTake = std::function<std::optional<std::string>(const std::string& value)>;
  using TCheck = std::function<std::optional<std::string>(double value)>;

  // `usage` is shown after every complaint, as it stands.
  TCommandLine(std::string command, std::string usage);

  // An option on its own.
  TCommandLine& Flag(std::string name, std::function<void()> action);
  TCommandLine& Flag(std::string name, bool& target, bool value = true);
  // An option and its value. `missing` is the complaint when no word follows
  // (by default "NAME needs a value").
  TCommandLine& Value(std::string name, TTake take, std::string missing = {});
  TCommandLine& Text(std::string name, std::string& target, std::string missing = {});
  // One of the words of `choices`: "NAME: a, b or c" otherwise.
  TCommandLine& Choice(std::string name, std::string& target, std::vector<std::string> choices);
  // A number as the program reads numbers (a decimal point or comma):
  // "NAME: "TEXT" is not a number" otherwise; `check` may refuse it still.
  TCommandLine& Number(std::string name, double& target, TCheck check = {});
  TCommandLine& Number(std::string name, std::optional<double>& target, TCheck check = {});
  // Digits only, from `low` to `high`:
  // "NAME needs a whole number from LOW to HIGH, not "TEXT"" otherwise.
  TCommandLine& WholeNumber(std::string name, int& target, int low, int high);

  // How many words the command takes besides its options, and the complaint
  // when it is given another number of them (none: the usage alone).
  TCommandLine& Words(std::size_t least, std::size_t most = kAny, std::string complaint = {});
  // Words that start with a dash and are no option are words like any other.
  TCommandLine& DashedWords();

  struct TResult {
    TArguments Words;
    // Empty when the command line was read; otherwise all that is shown on
    // stderr: the complaint and the usage.
    std::string Error;
  };
  // Sets what the options given set and returns the other words.
  TResult Read(const TArguments& arguments) const;
  // Read; on a fault it shows the error on stderr and returns nothing.
  std::optional<TArguments> Parse(const TArguments& arguments) const;

  // "tevlora-batch COMMAND: COMPLAINT" on one line (its control characters
  // shown escaped), then the usage; the usage alone for an empty complaint.
  std::string ErrorText(const std::string& complaint) const;
  // Shows ErrorText on stderr; returns the exit status of bad usage, 2.
  int UsageError(const std::string& complaint) const;

  static constexpr std::size_t kAny = std::numeric_limits<std::size_t>::max();

 private:
  struct TOption {
    std::string Name;
    std::function<void()> Set;  // an option on its own
    TTake Take;                 // an option with a value
    std::string Missing;
  };
  TCommandLine& Add(TOption option);

  std::string command_, usage_;
  std::vector<TOption> options_;
  std::size_t least_ = 0, most_ = kAny;
  std::string countComplaint_;
  bool dashedWords_ = false;
};
