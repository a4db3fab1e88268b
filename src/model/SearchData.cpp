#include "SearchData.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "URainRun.h"

TSearchProblem GeneratedSearchProblem(int count, unsigned seed, TGeneratedKind kind) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  TSearchProblem problem;
  problem.count = count;
  problem.timeStep.assign(count + 1, 0.0);
  problem.recharge.assign(count + 1, 0.0);
  problem.measured.assign(count + 1, 0.0);

  // The "true" alpha function of this catchment.
  const double trueA = 0.002 + 0.3 * uniform(random);
  const double trueC = 0.005 + 0.2 * uniform(random);
  double q = 0.05 + uniform(random);
  problem.measured[1] = q;
  problem.recharge[1] = 0;
  int stormLeft = 0;
  double stormRate = 0;
  for (int n = 2; n <= count; ++n) {
    double dt = uniform(random) < 0.9 ? 1.0 : 0.5 + 2 * uniform(random);
    if (kind == TGeneratedKind::ZeroSteps && uniform(random) < 0.1) dt = 0;
    problem.timeStep[n] = dt;
    if (stormLeft == 0 && uniform(random) < 0.04) {
      stormLeft = 1 + static_cast<int>(12 * uniform(random));
      stormRate = 8 * uniform(random);
    }
    double recharge = 0;
    if (stormLeft > 0) {
      --stormLeft;
      recharge = stormRate * (0.3 + uniform(random));
    }
    if (kind == TGeneratedKind::Flat) recharge = 0;
    problem.recharge[n] = recharge;
    const double alpha = std::max(0.0, trueA * q + trueC);
    const double f = std::exp(-alpha * dt);
    q = q * f + recharge * (1 - f);
    double measured = q * (1 + 0.15 * (uniform(random) - 0.5)) + 0.01 * uniform(random);
    if (kind == TGeneratedKind::Flat) measured = problem.measured[1] + 0.0004 * uniform(random);
    if (kind == TGeneratedKind::Penalties && uniform(random) < 0.01)
      measured = 1500 + 500 * uniform(random);
    problem.measured[n] = std::max(0.001, measured);
  }
  problem.firstRunoff = problem.measured[1];
  return problem;
}

TSearchProblem NoisySearchProblem(int count, unsigned seed, double noise, bool slow) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::normal_distribution<double> normal(0.0, 1.0);
  TSearchProblem problem;
  problem.count = count;
  problem.timeStep.assign(count + 1, 0.0);
  problem.recharge.assign(count + 1, 0.0);
  problem.measured.assign(count + 1, 0.0);
  const double trueA = slow ? 0.01 + 0.03 * uniform(random) : 0.05 + 0.4 * uniform(random);
  const double trueC = slow ? 0.05 + 0.1 * uniform(random) : -0.2 + 0.6 * uniform(random);
  double q = 2 + 3 * uniform(random);
  problem.measured[1] = q;
  int stormLeft = 0;
  double stormRate = 0;
  for (int n = 2; n <= count; ++n) {
    const double dt = 1.0;
    problem.timeStep[n] = dt;
    if (stormLeft == 0 && uniform(random) < (slow ? 0.15 : 0.06)) {
      stormLeft = 1 + static_cast<int>((slow ? 3 : 10) * uniform(random));
      stormRate = 4 + 12 * uniform(random);
    }
    double recharge = 0.5 * uniform(random);
    if (stormLeft > 0) {
      --stormLeft;
      recharge += stormRate * (0.3 + uniform(random));
    }
    problem.recharge[n] = recharge;
    const double alpha = std::max(0.0, trueA * q + trueC);
    const double f = std::exp(-alpha * dt);
    q = q * f + recharge * (1 - f);
    problem.measured[n] = std::max(0.001, q * (1 + noise * normal(random)));
  }
  problem.firstRunoff = problem.measured[1];
  return problem;
}

TSearchProblem SearchProblemFromInputFile(const std::string& fileName, int count) {
  TDMTevlora data;
  data.FileName = fileName;
  TAnalysisRun run;
  run.RegressionOff = true;
  try {
    ReadAndCheck(data, run);
  } catch (const std::exception&) {
    return {};
  }
  if (!run.VariationOk || run.TimeSequenceError || !run.StorageOk) return {};
  run.RunCount = std::min(run.RunCount, count);
  run.CalcRunoff[1] = run.MeasRunoff[1];
  return SearchProblemOfRun(run);
}
