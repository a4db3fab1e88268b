#include "UAlfaCalculation.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>

#include "TextFile.h"
#include "UDMTevlora.h"

namespace {
// The calculator has always used pi rounded to three decimals; B, F and the
// parameter files users keep depend on it, so it stays.
constexpr double kPi = 3.142;
constexpr double kTwoPi = 6.284;
constexpr double kPiSquared = 9.872164;

template <typename Inputs>
auto& Member(Inputs& inputs, TDrainField field) {
  switch (field) {
    case TDrainField::Ka:
      return inputs.Ka;
    case TDrainField::Kb:
      return inputs.Kb;
    case TDrainField::D:
      return inputs.D;
    case TDrainField::U:
      return inputs.U;
    case TDrainField::P:
      return inputs.P;
    case TDrainField::L:
      break;
  }
  return inputs.L;
}
}  // namespace

double& TDrainageInputs::operator[](TDrainField field) {
  return Member(*this, field);
}

double TDrainageInputs::operator[](TDrainField field) const {
  return Member(*this, field);
}

TDrainageInputs CurrentDrainageInputs(const TProgramValues& v) {
  return {v.DrainKa, v.DrainKb, v.DrainD, v.DrainU, v.DrainP, v.DrainL};
}

void StoreDrainageInputs(const TDrainageInputs& inputs, TProgramValues& v) {
  v.DrainKa = inputs.Ka;
  v.DrainKb = inputs.Kb;
  v.DrainD = inputs.D;
  v.DrainU = inputs.U;
  v.DrainP = inputs.P;
  v.DrainL = inputs.L;
}

TFieldCheck CheckDrainageField(TDrainField field, double value) {
  namespace T = AlfaTexts;
  // Rejected conductivities and depths fall back to 0; a rejected porosity
  // or spacing keeps the value read (Calculate refuses it anyway).
  auto reject = [](const char* message, double stored) {
    return TFieldCheck{false, message, stored};
  };
  switch (field) {
    case TDrainField::Ka:
      if (!(value >= 0)) return reject(T::kKaMessage, 0);
      break;
    case TDrainField::Kb:
      if (!(value >= 0)) return reject(T::kKbMessage, 0);
      break;
    case TDrainField::D:
      if (!(value > 0)) return reject(T::kDMessage, 0);
      break;
    case TDrainField::U:
      if (!(value > 0)) return reject(T::kUMessage, 0);
      break;
    case TDrainField::P:
      if (value <= 0) return reject(T::kPZeroMessage, value);
      if (value < 1) return reject(T::kPLowMessage, value);
      if (value > 30) return reject(T::kPHighMessage, value);
      break;
    case TDrainField::L:
      if (!(value > 0)) return reject(T::kLMessage, value);
      break;
  }
  return TFieldCheck{true, {}, value};
}

bool CheckInputs(const TDrainageInputs& in) {
  return in.Ka > 0 && in.Kb >= 0 && in.D > 0 && in.U > 0 && in.P > 1 && in.P < 30 && in.L > 0;
}

double DepthFunction(double x) {
  if (x > 1) {
    double sum = 0;
    for (int n = 1; n <= 5; n += 2) {
      const double e = std::exp(-2.0 * n * x);
      sum += 4 * e / (n * (1 - e));
    }
    return sum;
  }
  return std::log(0.5 * x / kPi) + kPiSquared / (4 * x);
}

TAlfaResult CalculateAlpha(const TDrainageInputs& in) {
  TAlfaResult result;
  if (!CheckInputs(in)) return result;
  const double p = in.P / 100;
  const double spacingSquared = in.L * in.L;
  result.B = 4 * in.Ka / (p * spacingSquared);
  result.X = kTwoPi * in.D / in.L;
  result.DepthFunction = DepthFunction(result.X);
  const double denominator = std::log(in.L / in.U) + result.DepthFunction;
  if (!(denominator > 0)) return result;
  result.EquivDepth = (kPi * in.L / 8) / denominator;
  result.F = 8 * in.Kb * result.EquivDepth / (p * spacingSquared);
  result.Valid = std::isfinite(result.B) && std::isfinite(result.F) &&
                 std::isfinite(result.EquivDepth) && result.EquivDepth > 0;
  return result;
}

TAlfaResult InTimeUnit(const TAlfaResult& perDay, TTimeUnit unit) {
  TAlfaResult result = perDay;
  if (unit == TTimeUnit::Hours) result.F = perDay.F / kHoursPerDay;
  return result;
}

namespace {
std::string Lowered(const std::string& text) {
  std::string lowered = text;
  std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lowered;
}

// Hours or days as a title names them; nothing when it names neither or both
// without saying which the time is in.
std::optional<TTimeUnit> UnitOfTitle(const std::string& title) {
  const std::string text = Lowered(title);
  if (text.find("time in hour") != std::string::npos) return TTimeUnit::Hours;
  if (text.find("time in day") != std::string::npos) return TTimeUnit::Days;
  const bool hours =
      text.find("hour") != std::string::npos || text.find("mm/h") != std::string::npos;
  const bool days = text.find("day") != std::string::npos ||
                    text.find("daily") != std::string::npos ||
                    text.find("mm/d") != std::string::npos;
  if (hours && !days) return TTimeUnit::Hours;
  if (days && !hours) return TTimeUnit::Days;
  return std::nullopt;
}
}  // namespace

TTimeUnit SuggestedTimeUnit(const std::string& title2, const std::string& title1,
                            const std::vector<double>& times) {
  if (const auto unit = UnitOfTitle(title2)) return *unit;
  if (const auto unit = UnitOfTitle(title1)) return *unit;
  // Whole hours and whole days look alike; records a whole number of days
  // apart counted in hours (24, 48, ...) do not.
  bool anyStep = false;
  for (std::size_t i = 1; i < times.size(); ++i) {
    const double step = times[i] - times[i - 1];
    if (!(step > 0)) continue;
    const double days = step / kHoursPerDay;
    if (days < 1 || std::abs(days - std::nearbyint(days)) > 1e-9 * days) return TTimeUnit::Days;
    anyStep = true;
  }
  return anyStep ? TTimeUnit::Hours : TTimeUnit::Days;
}

std::string FormatAlfaResult(double value) {
  return FormatFixed(value, 8, 5);
}

std::string FormatPorosityText(double percent) {
  return FormatFixed(percent, 5, 1);
}
