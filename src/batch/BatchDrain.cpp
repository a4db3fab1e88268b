// tevlora-batch drain: the drainage calculator without its window.
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "BatchCommands.h"
#include "TextFile.h"
#include "UAlfaCalculation.h"

int BatchDrain(const TArguments& arguments) {
  static const char* const kNames[kDrainFieldCount] = {"KA", "KB", "D", "U", "P", "L"};
  // No options: "-1" is a number.
  const auto words = TCommandLine("drain", "usage: tevlora-batch drain KA KB D U P L\n")
                         .DashedWords()
                         .Words(kDrainFieldCount, kDrainFieldCount)
                         .Parse(arguments);
  if (!words) return 2;
  TDrainageInputs inputs;
  for (int i = 0; i < kDrainFieldCount; ++i) {
    const std::optional<double> value = TryStringToFloat((*words)[i]);
    if (!value) {
      std::fprintf(stderr, "tevlora-batch drain: %s \"%s\" is not a number\n", kNames[i],
                   PrintableText((*words)[i]).c_str());
      return 2;
    }
    inputs[static_cast<TDrainField>(i)] = *value;
  }
  // The same checks, in the same order, as leaving the six fields and then
  // pressing Calculate.
  for (int i = 0; i < kDrainFieldCount; ++i) {
    const auto field = static_cast<TDrainField>(i);
    const TFieldCheck check = CheckDrainageField(field, inputs[field]);
    if (!check.Accepted) std::fprintf(stderr, "%s\n", check.Message.c_str());
    inputs[field] = check.Stored;
  }
  const TAlfaResult result = CalculateAlpha(inputs);
  if (!result.Valid) {
    std::fprintf(stderr, "%s\n", AlfaTexts::kIncorrect);
    return 1;
  }
  const std::pair<const char*, double> lines[] = {{"B  = ", result.B},
                                                  {"F  = ", result.F},
                                                  {"x  = ", result.X},
                                                  {"Fx = ", result.DepthFunction},
                                                  {"d  = ", result.EquivDepth}};
  for (const auto& [label, value] : lines) {
    WriteStandardOutput(std::string(label) + FormatAlfaResult(value) + "\n");
  }
  return 0;
}
