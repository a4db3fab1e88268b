// Search problems for checking and timing the alpha search: generated
// catchments and real records.
#pragma once

#include <string>

#include "AlphaSearch.h"

enum class TGeneratedKind {
  Catchment,  // storms on a catchment, runoff from a known alpha function plus noise
  Penalties,  // some measured values far off, so that trials hit the penalty
  Flat,       // runoff that hardly moves: many trials with alpha clamped at 0
  ZeroSteps,  // repeated times (steps of 0) among the records
};

TSearchProblem GeneratedSearchProblem(int count, unsigned seed,
                                      TGeneratedKind kind = TGeneratedKind::Catchment);

// Noisy runoff of several mm from a known alpha function well inside the
// grid: measured = runoff * (1 + noise * a standard normal deviate). With
// `slow`, daily-like records whose reservoir contracts slowly (alpha * dt of
// about 0.1 to 0.3) - the hard kinds for the search.
TSearchProblem NoisySearchProblem(int count, unsigned seed, double noise, bool slow = false);

// The first `count` records of an analysis input file, prepared and routed
// through the dead storage as the run does. count 0 on a read failure.
TSearchProblem SearchProblemFromInputFile(const std::string& fileName, int count);
