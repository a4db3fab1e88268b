#include "StorageCalibration.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "FitMeasures.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "URainRun.h"

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == separator) {
      parts.emplace_back();
    } else {
      parts.back().push_back(c);
    }
  }
  return parts;
}

std::string Shown(double value) {
  return Trim(FormatFixed(value, 1, 2));
}

// Room for the rounding of FROM + k * STEP against TO.
constexpr double kRangeSlack = 1e-9;

}  // namespace

std::optional<std::string> ParseStorageRange(const std::string& text, TStorageRange& range) {
  const auto parts = Split(text, ':');
  const std::string shape = "\"" + ShownValue(text) + "\" is no range FROM:TO:STEP";
  if (parts.size() != 3) return shape;
  double values[3];
  for (int k = 0; k < 3; ++k) {
    const auto value = TryStringToFloat(Trim(parts[static_cast<std::size_t>(k)]));
    if (!value || !std::isfinite(*value)) return shape;
    values[k] = *value;
  }
  range = {values[0], values[1], values[2]};
  return std::nullopt;
}

std::optional<std::string> ParseStorageFractions(const std::string& text,
                                                 std::vector<double>& fractions) {
  std::vector<double> result;
  for (const auto& part : Split(text, ',')) {
    const auto value = ParseReal(Trim(part));
    if (!value || !std::isfinite(*value) || *value < 0) {
      return "\"" + ShownValue(text) + "\" is no list of fractions of 0 or more, such as 0,0.5,1";
    }
    result.push_back(*value);
  }
  fractions = std::move(result);
  return std::nullopt;
}

double StoredStorage(double value) {
  TTextReader in(FormatInputNumber(value, 8));
  return in.ReadReal();
}

TStorageRanges DefaultStorageRanges(const TAnalysisRun& run) {
  double rain = 0;
  for (int n = 1; n <= run.RunCount; ++n) rain = std::max(rain, run.RunRain[n]);
  return DefaultStorageRangesForRain(rain);
}

std::string StorageRangeText(const TStorageRange& range) {
  return ShortestText(range.From) + ":" + ShortestText(range.To) + ":" + ShortestText(range.Step);
}

std::string StorageFractionsText(const std::vector<double>& fractions) {
  std::string text;
  for (double fraction : fractions) {
    if (!text.empty()) text += ",";
    text += ShortestText(100 * fraction);
  }
  return text;
}

TStorageRanges DefaultStorageRangesForRain(double rain) {
  if (!(rain > 0) || !std::isfinite(rain)) rain = 0;
  // Some 30 steps up to about three times the largest rain of one record,
  // the step rounded to two significant digits (and at least 0.01 mm).
  double step = 3 * rain / 30;
  if (step > 0.01) {
    const double scale = std::pow(10.0, std::floor(std::log10(step)) - 1);
    step = std::round(step / scale) * scale;
  }
  step = std::max(0.01, std::round(step * 100) / 100);
  TStorageRanges ranges;
  ranges.MaxStorage = {step, StoredStorage(30 * step), step};
  ranges.InitialFractions = {0, 0.25, 0.5, 0.75, 1};
  return ranges;
}

std::string StorageRangesText(const TStorageRanges& ranges) {
  const auto count = [](const TStorageRange& range) {
    std::vector<double> values;
    return StorageRangeValues(range, values) ? 0 : static_cast<int>(values.size());
  };
  const auto rangeText = [&](const TStorageRange& range) {
    return Shown(range.From) + " to " + Shown(range.To) + " mm by " + Shown(range.Step) + " (" +
           std::to_string(count(range)) + " values)";
  };
  std::string text = "maximum storage " + rangeText(ranges.MaxStorage) + "; initial storage ";
  if (ranges.InitialFractions.empty()) return text + rangeText(ranges.InitialStorage);
  const auto& fractions = ranges.InitialFractions;
  for (std::size_t k = 0; k < fractions.size(); ++k) {
    if (k > 0) text += k + 1 == fractions.size() ? " and " : ", ";
    text += ShortestText(100 * fractions[k]);
  }
  return text + " % of it (" + std::to_string(fractions.size()) + " values)";
}

std::optional<std::string> StorageRangeValues(const TStorageRange& range,
                                              std::vector<double>& values) {
  const std::string shown = Shown(range.From) + ":" + Shown(range.To) + ":" + Shown(range.Step);
  if (!(std::isfinite(range.From) && std::isfinite(range.To) && std::isfinite(range.Step))) {
    return "the range holds a value that is not a number";
  }
  if (range.Step < 0) return "the range " + shown + " has a negative step";
  if (range.To < range.From) return "the range " + shown + " is empty: TO is below FROM";
  if (range.Step == 0 && range.To != range.From) {
    return "the range " + shown + " needs a step above 0";
  }
  const double steps =
      range.Step > 0 ? std::floor((range.To - range.From) / range.Step + kRangeSlack) : 0;
  if (steps + 1 > kMaxStoragePairs) {
    return "the range " + shown + " has more than " + std::to_string(kMaxStoragePairs) + " values";
  }
  values.clear();
  for (int k = 0; k <= static_cast<int>(steps); ++k) {
    const double value = StoredStorage(range.From + k * range.Step);
    // Stored values can coincide where the step is below their precision.
    if (values.empty() || value > values.back()) values.push_back(value);
  }
  return std::nullopt;
}

std::optional<std::string> StoragePairs(const TStorageRanges& ranges,
                                        std::vector<double>& maxStorages,
                                        std::vector<double>& initialValues,
                                        std::vector<TStoragePair>& pairs) {
  if (auto complaint = StorageRangeValues(ranges.MaxStorage, maxStorages)) {
    return "Maximum storage: " + *complaint;
  }
  if (maxStorages.front() <= 0) return RainRunTexts::kMaxStorage;
  if (ranges.InitialFractions.empty()) {
    if (auto complaint = StorageRangeValues(ranges.InitialStorage, initialValues)) {
      return "Initial storage: " + *complaint;
    }
    if (initialValues.front() < 0) return "Initial storage: the storages must be 0 or more";
  } else {
    initialValues = ranges.InitialFractions;
    for (double fraction : initialValues) {
      if (!(fraction >= 0) || !std::isfinite(fraction)) {
        return "Initial storage: the fractions must be 0 or more";
      }
    }
  }
  if (maxStorages.size() * initialValues.size() > static_cast<std::size_t>(kMaxStoragePairs)) {
    return "The ranges give more than " + std::to_string(kMaxStoragePairs) + " pairs";
  }
  pairs.clear();
  for (double smax : maxStorages) {
    for (double initial : initialValues) {
      const double s0 = ranges.InitialFractions.empty() ? initial : StoredStorage(initial * smax);
      pairs.push_back({smax, s0});
    }
  }
  return std::nullopt;
}

void RouteStoragePair(TAnalysisRun& run, const TStoragePair& pair) {
  run.RunMaxStorage = pair.MaxStorage;
  run.RunInitStorage = pair.InitStorage;
  // As the analysis reads an input file: no initial storage is 10 % of the
  // maximum.
  if (run.RunInitStorage == 0) run.RunInitStorage = 0.1 * run.RunMaxStorage;
  TDMTevlora quiet;
  RouteDeadStorage(quiet, run);
}

namespace {

// The order in which the pairs are searched: a coarse pass over every
// stride-th Smax first, then the rest nearest the best of that pass first,
// so that the bound passed on is a good one early.
std::vector<int> CoarseMaxStorages(int maxCount) {
  const int stride = std::max(1, static_cast<int>(std::lround(std::sqrt(maxCount))));
  std::vector<int> coarse;
  for (int i = stride / 2; i < maxCount; i += stride) coarse.push_back(i);
  return coarse;
}

std::vector<int> OtherMaxStorages(int maxCount, const std::vector<int>& coarse, int centre) {
  std::vector<int> rest;
  for (int i = 0; i < maxCount; ++i) {
    if (!std::binary_search(coarse.begin(), coarse.end(), i)) rest.push_back(i);
  }
  std::stable_sort(rest.begin(), rest.end(),
                   [centre](int x, int y) { return std::abs(x - centre) < std::abs(y - centre); });
  return rest;
}

// The bits of a recharge series, as the key of the searches already made.
std::vector<std::uint64_t> RechargeKey(const TSearchProblem& problem) {
  std::vector<std::uint64_t> key;
  key.reserve(problem.recharge.size());
  for (double value : problem.recharge) key.push_back(std::bit_cast<std::uint64_t>(value));
  return key;
}

}  // namespace

TStorageCalibration CalibrateStorages(const TAnalysisRun& run, const TStorageRanges& ranges,
                                      const TStorageCalibrationOptions& options) {
  TStorageCalibration result;
  std::vector<TStoragePair> pairs;
  if (auto complaint = StoragePairs(ranges, result.MaxStorages, result.InitialValues, pairs)) {
    throw std::invalid_argument(*complaint);
  }
  result.InitialAsFractions = !ranges.InitialFractions.empty();
  const int fitted = CalibrationRecordCount(run);
  if (fitted == 0 && run.CalibrateUntil) {
    throw std::invalid_argument(CalibrateUntilText(
        *run.CalibrateUntil, run.RunTime[std::min(2, run.RunCount)], run.RunTime[run.RunCount]));
  }
  result.Profile.resize(pairs.size());
  for (std::size_t k = 0; k < pairs.size(); ++k) result.Profile[k].Pair = pairs[k];

  // Pairs go to the workers one at a time, each searched on one thread:
  // far better use of the cores than threads inside a search that ends
  // early. The result does not depend on which worker gets which pair: a
  // pair searched with a bound either gives its own exact optimum or cannot
  // beat that bound, and the best is the least (sum, pair) in pair order.
  const int cores = options.Threads > 0
                        ? options.Threads
                        : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const int initialCount = static_cast<int>(result.InitialValues.size());
  // Every pair's own optimum needs a search of its own; otherwise the pairs
  // of one Smax are searched together.
  const bool grouped = !options.FullProfile && initialCount > 1;
  const int workers =
      std::min<int>(cores, static_cast<int>(grouped ? result.MaxStorages.size() : pairs.size()));
  const int searchThreads = workers > 1 ? 1 : options.Threads;
  std::mutex lock;
  std::condition_variable done;
  // The searches made and being made (empty until done).
  std::map<std::vector<std::uint64_t>, std::optional<TSearchResult>> searched;
  TStorageProgress progress;
  progress.Total = static_cast<int>(pairs.size());
  std::atomic<bool> cancelled(false);

  // A search under way stops too when the user cancels: a long record's
  // search may take seconds.
  TSearchCancel searchCancel;
  if (options.Cancelled) {
    searchCancel = [&] {
      if (cancelled) return true;
      std::lock_guard<std::mutex> guard(lock);
      if (options.Cancelled()) cancelled = true;
      return cancelled.load();
    };
  }

  // The measures of the reconstruction with a pair's optimum; `work` holds
  // the pair's recharge.
  const auto measuresOf = [&](TAnalysisRun& work, const TSearchResult& found) {
    RouteMainReservoir(work, TrialAOf(found.outer), TrialCOf(found.inner));
    const std::vector<double> measured(work.MeasRunoff.begin() + 1,
                                       work.MeasRunoff.begin() + fitted + 1);
    const std::vector<double> calculated(work.CalcRunoff.begin() + 1,
                                         work.CalcRunoff.begin() + fitted + 1);
    return ComputeFitMeasures(measured, calculated);
  };
  // A pair's optimum, and the best so far (under the lock).
  const auto record = [&](int k, const TSearchResult& found, const TFitMeasures& fit) {
    TStorageProfileEntry& entry = result.Profile[static_cast<std::size_t>(k)];
    entry.Known = true;
    entry.A = TrialAOf(found.outer);
    entry.C = TrialCOf(found.inner);
    entry.SumSq = found.sum;
    entry.RSquare = fit.RSquare;
    entry.NSE = fit.NSE;
    entry.KGE = fit.KGE;
    if (!result.Found || found.sum < result.SumSq ||
        (found.sum == result.SumSq && k < result.Best)) {
      result.Found = true;
      result.Best = k;
      result.A = entry.A;
      result.C = entry.C;
      result.SumSq = found.sum;
    }
  };
  // A pair done (under the lock).
  const auto pairDone = [&]() {
    ++progress.Done;
    progress.Found = result.Found;
    if (result.Found) {
      progress.Best = result.BestPair();
      progress.BestSumSq = result.SumSq;
    }
    if (options.Progress) options.Progress(progress);
  };

  const auto searchPair = [&](TAnalysisRun& work, int k) {
    TStorageProfileEntry& entry = result.Profile[static_cast<std::size_t>(k)];
    RouteStoragePair(work, entry.Pair);
    const TSearchProblem problem = SearchProblemOfRecords(work, fitted);
    auto key = RechargeKey(problem);
    TSearchResult found;
    bool known = false;
    double bound = kNoTrialYet;
    {
      // A recharge another thread is searching is waited for.
      std::unique_lock<std::mutex> guard(lock);
      auto at = searched.find(key);
      while (at != searched.end() && !at->second && !cancelled) {
        done.wait(guard);
        at = searched.find(key);
      }
      if (cancelled) return;
      if (at != searched.end()) {
        found = *at->second;
        known = true;
      } else {
        searched.emplace(key, std::nullopt);
      }
      if (!options.FullProfile && result.Found) bound = result.SumSq;
    }
    if (!known) {
      try {
        found = FastSearch(problem, searchThreads, nullptr, bound, searchCancel);
      } catch (const TSearchCancelled&) {
        // Those waiting for this recharge stop waiting.
        std::lock_guard<std::mutex> guard(lock);
        cancelled = true;
        searched.erase(key);
        done.notify_all();
        return;
      }
    }
    const TFitMeasures fit = found.Found() ? measuresOf(work, found) : TFitMeasures{};
    std::lock_guard<std::mutex> guard(lock);
    if (!known) {
      searched[key] = found;
      ++result.Searches;
      done.notify_all();
    }
    if (found.Found()) record(k, found, fit);
    pairDone();
  };

  // A group: the pairs of one Smax, searched together. Their recharge
  // differs only until their dead storages first fill, so most trials are
  // walked once for all of them. Pairs of the same recharge are one problem.
  const auto searchGroup = [&](TAnalysisRun& work, int group) {
    const int first = group * initialCount;
    std::vector<TSearchProblem> problems;
    std::vector<std::vector<std::uint64_t>> keys;
    std::vector<int> memberOf;
    for (int p = 0; p < initialCount; ++p) {
      RouteStoragePair(work, result.Profile[static_cast<std::size_t>(first + p)].Pair);
      TSearchProblem problem = SearchProblemOfRecords(work, fitted);
      auto key = RechargeKey(problem);
      const auto same = std::find(keys.begin(), keys.end(), key);
      if (same != keys.end()) {
        memberOf.push_back(static_cast<int>(same - keys.begin()));
        continue;
      }
      memberOf.push_back(static_cast<int>(problems.size()));
      problems.push_back(std::move(problem));
      keys.push_back(std::move(key));
    }
    double bound = kNoTrialYet;
    {
      std::lock_guard<std::mutex> guard(lock);
      if (result.Found) bound = result.SumSq;
    }
    TGroupSearchResult found;
    try {
      found = FastSearchGroup(problems, searchThreads, bound, searchCancel);
    } catch (const TSearchCancelled&) {
      std::lock_guard<std::mutex> guard(lock);
      cancelled = true;
      return;
    }
    // The first pair of the winning problem: the others of that recharge
    // have the same optimum.
    const int winner =
        found.Found() ? static_cast<int>(std::find(memberOf.begin(), memberOf.end(), found.member) -
                                         memberOf.begin())
                      : -1;
    TFitMeasures fit;
    if (winner >= 0) {
      RouteStoragePair(work, result.Profile[static_cast<std::size_t>(first + winner)].Pair);
      fit = measuresOf(work, found);
    }
    std::lock_guard<std::mutex> guard(lock);
    result.Searches += static_cast<int>(problems.size());
    for (int p = 0; p < initialCount; ++p) {
      if (winner >= 0 && memberOf[static_cast<std::size_t>(p)] == found.member) {
        record(first + p, found, fit);
      }
      pairDone();
    }
  };

  // Searches the pairs of the maximum storages `list` (indices), in order.
  const auto searchAll = [&](const std::vector<int>& list) {
    std::atomic<std::size_t> next(0);
    const std::size_t count = list.size() * static_cast<std::size_t>(grouped ? 1 : initialCount);
    const auto worker = [&]() {
      TAnalysisRun work = run;
      work.CalcRunoff[1] = work.MeasRunoff[1];
      for (std::size_t at; (at = next.fetch_add(1)) < count;) {
        if (cancelled) return;
        if (options.Cancelled) {
          std::unique_lock<std::mutex> guard(lock);
          if (options.Cancelled()) {
            cancelled = true;
            return;
          }
        }
        if (grouped) {
          searchGroup(work, list[at]);
        } else {
          searchPair(work,
                     list[at / initialCount] * initialCount + static_cast<int>(at % initialCount));
        }
      }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < workers; ++t) pool.emplace_back(worker);
    worker();
    for (auto& thread : pool) thread.join();
  };
  const int maxCount = static_cast<int>(result.MaxStorages.size());
  const std::vector<int> coarse = CoarseMaxStorages(maxCount);
  searchAll(coarse);
  searchAll(OtherMaxStorages(maxCount, coarse, result.Found ? result.Best / initialCount : 0));
  result.Cancelled = cancelled;
  if (result.Cancelled) result.Found = false;
  return result;
}

std::string StorageRangeEdgeText(const TStorageCalibration& calibration) {
  if (!calibration.Found || calibration.MaxStorages.size() < 2 ||
      calibration.BestPair().MaxStorage != calibration.MaxStorages.back()) {
    return {};
  }
  return "The best maximum storage is the largest of its range: a wider range may fit better.";
}
