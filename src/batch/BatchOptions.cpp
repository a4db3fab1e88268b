#include "BatchOptions.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <utility>

#include "TextFile.h"

namespace {
std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// "a", "a or b", "a, b or c".
std::string Alternatives(const std::vector<std::string>& words) {
  std::string text;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) text += i + 1 == words.size() ? " or " : ", ";
    text += words[i];
  }
  return text;
}

TCommandLine::TTake TakeNumber(const std::string& name, std::function<void(double)> set,
                               TCommandLine::TCheck check) {
  return [name, set = std::move(set),
          check = std::move(check)](const std::string& text) -> std::optional<std::string> {
    const std::optional<double> value = TryStringToFloat(text);
    if (!value) return name + ": " + Quoted(text) + " is not a number";
    if (check) {
      if (auto complaint = check(*value)) return complaint;
    }
    set(*value);
    return std::nullopt;
  };
}
}  // namespace

TCommandLine::TCommandLine(std::string command, std::string usage)
    : command_(std::move(command)), usage_(std::move(usage)) {}

TCommandLine& TCommandLine::Add(TOption option) {
  options_.push_back(std::move(option));
  return *this;
}

TCommandLine& TCommandLine::Flag(std::string name, std::function<void()> action) {
  return Add({std::move(name), std::move(action), {}, {}});
}

TCommandLine& TCommandLine::Flag(std::string name, bool& target, bool value) {
  return Flag(std::move(name), [&target, value] { target = value; });
}

TCommandLine& TCommandLine::Value(std::string name, TTake take, std::string missing) {
  if (missing.empty()) missing = name + " needs a value";
  return Add({std::move(name), {}, std::move(take), std::move(missing)});
}

TCommandLine& TCommandLine::Text(std::string name, std::string& target, std::string missing) {
  return Value(
      std::move(name),
      [&target](const std::string& value) -> std::optional<std::string> {
        target = value;
        return std::nullopt;
      },
      std::move(missing));
}

TCommandLine& TCommandLine::Choice(std::string name, std::string& target,
                                   std::vector<std::string> choices) {
  const std::string complaint = name + ": " + Alternatives(choices);
  return Value(std::move(name),
               [&target, choices = std::move(choices),
                complaint](const std::string& value) -> std::optional<std::string> {
                 if (std::find(choices.begin(), choices.end(), value) == choices.end()) {
                   return complaint;
                 }
                 target = value;
                 return std::nullopt;
               });
}

TCommandLine& TCommandLine::Number(std::string name, double& target, TCheck check) {
  return Value(name, TakeNumber(
                         name, [&target](double value) { target = value; }, std::move(check)));
}

TCommandLine& TCommandLine::Number(std::string name, std::optional<double>& target, TCheck check) {
  return Value(name, TakeNumber(
                         name, [&target](double value) { target = value; }, std::move(check)));
}

TCommandLine& TCommandLine::WholeNumber(std::string name, int& target, int low, int high) {
  const std::string complaint = name + " needs a whole number from " + std::to_string(low) +
                                " to " + std::to_string(high) + ", not ";
  return Value(
      std::move(name),
      [&target, low, high, complaint](const std::string& text) -> std::optional<std::string> {
        int value = 0;
        const char* end = text.data() + text.size();
        const auto [stop, error] = std::from_chars(text.data(), end, value);
        if (error != std::errc() || stop != end || value < low || value > high) {
          return complaint + Quoted(text);
        }
        target = value;
        return std::nullopt;
      });
}

TCommandLine& TCommandLine::Words(std::size_t least, std::size_t most, std::string complaint) {
  least_ = least;
  most_ = most;
  countComplaint_ = std::move(complaint);
  return *this;
}

TCommandLine& TCommandLine::DashedWords() {
  dashedWords_ = true;
  return *this;
}

TCommandLine::TResult TCommandLine::Read(const TArguments& arguments) const {
  TResult result;
  const auto fail = [&](const std::string& complaint) {
    result.Words.clear();
    result.Error = ErrorText(complaint);
    return result;
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const auto option = std::find_if(options_.begin(), options_.end(),
                                     [&](const TOption& known) { return known.Name == argument; });
    if (option == options_.end()) {
      // A lone "-" is a word: the name some programs give standard input.
      if (!dashedWords_ && argument.size() > 1 && argument[0] == '-') {
        return fail("unknown option " + Quoted(argument));
      }
      result.Words.push_back(argument);
    } else if (option->Take) {
      if (i + 1 >= arguments.size()) return fail(option->Missing);
      if (const auto complaint = option->Take(arguments[++i])) return fail(*complaint);
    } else {
      option->Set();
    }
  }
  if (result.Words.size() < least_ || result.Words.size() > most_) return fail(countComplaint_);
  return result;
}

std::optional<TArguments> TCommandLine::Parse(const TArguments& arguments) const {
  TResult result = Read(arguments);
  if (!result.Error.empty()) {
    std::fputs(result.Error.c_str(), stderr);
    return std::nullopt;
  }
  return std::move(result.Words);
}

std::string TCommandLine::ErrorText(const std::string& complaint) const {
  if (complaint.empty()) return usage_;
  return "tevlora-batch " + command_ + ": " + PrintableText(complaint) + "\n" + usage_;
}

int TCommandLine::UsageError(const std::string& complaint) const {
  std::fputs(ErrorText(complaint).c_str(), stderr);
  return 2;
}
