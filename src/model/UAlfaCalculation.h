// The drainage calculator's arithmetic: B and F of the linear reaction
// function alpha = B * Q + F of a pipe or ditch drainage system, from the
// conductivities, the depth of the layer below drain level, the wet
// perimeter, the drainable porosity and the drain spacing, with the closed
// form and the series solution of the equivalent depth in the drain spacing
// formula. The window (TAlfaForm) and tevlora-batch both use it.
#pragma once

#include <string>
#include <vector>

// Texts of the calculator, kept together so they are easy to check.
namespace AlfaTexts {
inline constexpr const char* kKaMessage = "Ka should be greater than zero";
inline constexpr const char* kKbMessage = "Kb should be greater than zero";
inline constexpr const char* kDMessage = "D should be greater than zero";
inline constexpr const char* kUMessage = "U should be greater than zero";
inline constexpr const char* kPZeroMessage = "P should be greater than zero";
inline constexpr const char* kPLowMessage = "P should be greater than 1%";
inline constexpr const char* kPHighMessage = "P should be less than 30%";
inline constexpr const char* kLMessage = "L should be greater than zero";
inline constexpr const char* kIncorrect = "One or more data values are incorrect";
inline constexpr const char* kDone =
    "The drainage parameter calculations were done and the values are entered in the input "
    "tabsheet.";
}  // namespace AlfaTexts

// The six inputs, in the order of the fields and of the parameter file.
enum class TDrainField { Ka = 0, Kb, D, U, P, L };
inline constexpr int kDrainFieldCount = 6;

struct TDrainageInputs {
  double Ka = 0;  // hydraulic conductivity above drain level, m/day
  double Kb = 0;  // hydraulic conductivity below drain level, m/day
  double D = 0;   // depth of the soil layer below drain level, m
  double U = 0;   // wet perimeter of the drain or ditch, m
  double P = 0;   // drainable porosity of the top soil, percent
  double L = 0;   // drain spacing, m

  double& operator[](TDrainField field);
  double operator[](TDrainField field) const;
};

// DrainKa ... DrainL of the program values, and back.
struct TProgramValues;
TDrainageInputs CurrentDrainageInputs(const TProgramValues& values);
void StoreDrainageInputs(const TDrainageInputs& inputs, TProgramValues& values);

// Outcome of the check that runs when the user leaves a field.
struct TFieldCheck {
  bool Accepted = true;
  std::string Message;  // empty when accepted
  double Stored = 0;    // the value the input keeps
};
TFieldCheck CheckDrainageField(TDrainField field, double value);

// The bounds that Calculate insists on. They are stricter than the field
// checks: Ka must be positive, and P must lie strictly between 1 and 30.
bool CheckInputs(const TDrainageInputs& inputs);

// The depth function of the equivalent depth for x = 2 pi D / L: three terms
// of the series when x > 1, the logarithmic closed form otherwise.
double DepthFunction(double x);

struct TAlfaResult {
  bool Valid = false;  // false: inputs out of bounds, or no usable depth
  double B = 0;
  double F = 0;
  double X = 0;
  double DepthFunction = 0;
  double EquivDepth = 0;  // d, m
};

// Valid is false when CheckInputs fails, and also when the inputs give no
// positive, finite equivalent depth (a wet perimeter wider than the spacing
// makes ln(L / U) so negative that d would be negative or infinite).
TAlfaResult CalculateAlpha(const TDrainageInputs& inputs);

// The time unit of the data set the alpha function is for. The formulas give
// B and F per day (the conductivities are in m/day); with Q in mm per time
// unit, alpha per hour is alpha per day / 24, so B stays and F is divided by 24.
enum class TTimeUnit { Days, Hours };
inline constexpr double kHoursPerDay = 24;
TAlfaResult InTimeUnit(const TAlfaResult& perDay, TTimeUnit unit);

// The time unit the data set suggests: its second title (then its first)
// when it speaks of hours or days ("time in hours", "hourly", "mm/day");
// otherwise hours when the records lie whole multiples of 24 apart, and days.
TTimeUnit SuggestedTimeUnit(const std::string& title2, const std::string& title1,
                            const std::vector<double>& times);

// The texts the calculator shows: "%8.5f" for B and F, "%5.1f" for P.
std::string FormatAlfaResult(double value);
std::string FormatPorosityText(double percent);
