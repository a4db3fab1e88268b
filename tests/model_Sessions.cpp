// Sessions side by side: each run lives in its own session, so two analyses
// of different files, stepped alternately or run on two threads at once, each
// write exactly the files they write alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "TestSupport.h"
#include "TextFile.h"
#include "USession.h"

namespace {

const char* const kFiles[] = {"spotpy_d_flood2013_12d", "hupsel_h_jan2011_storms"};

// The analysis in the steps RunAnalysis takes, with a trial routing between
// the reading and the search.
const std::vector<std::function<void(TSession&)>> kSteps = {
    [](TSession& s) { ASSERT_TRUE(s.Data.ReadInputFile()); },
    [](TSession& s) {
      s.Run.RegressionOff = true;
      ReadAndCheck(s.Data, s.Run);
      ASSERT_TRUE(s.Run.VariationOk && s.Run.StorageOk);
    },
    [](TSession& s) {
      s.Run.RegressionOff = false;
      ReadAndCheck(s.Data, s.Run);
    },
    [](TSession& s) {
      s.Run.CalcRunoff[1] = s.Run.MeasRunoff[1];
      RouteMainReservoir(s.Run, 0.05, 0.01);
    },
    [](TSession& s) {
      OptimiseAlpha(s.Data, s.Run);
      ASSERT_TRUE(s.Run.AlphaFitFound);
    },
    [](TSession& s) { ASSERT_TRUE(WriteAnalysisResults(s.Data, s.Run)); },
};

class Sessions : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 2; ++i) {
      WriteFileBytes(Input(i), ReadFileBytes(ExampleDataFile(std::string(kFiles[i]) + ".inp")));
      Fresh(i);
      for (const auto& step : kSteps) step(sessions[i]);
      alone[i] = Results(i);
      Fresh(i);
    }
  }

  std::string Input(int i) const { return dir.File(std::string(kFiles[i]) + ".inp"); }
  // The results and trend files of file i, then removed.
  std::string Results(int i) const {
    std::string bytes;
    for (const char* extension : {".out", ".dat"}) {
      const std::string name = ChangeFileExt(Input(i), extension);
      bytes += ReadFileBytes(name) + "|";
      std::filesystem::remove(name);
    }
    return bytes;
  }
  void Fresh(int i) {
    sessions[i] = TSession{};
    sessions[i].Data.Dialogs = &dialogs[i];
    sessions[i].Data.FileName = Input(i);
    sessions[i].Run.SearchThreadCount = 1;
  }

  TTemporaryDirectory dir;
  TRecordingDialogs dialogs[2];
  TSession sessions[2];
  std::string alone[2];
};

TEST_F(Sessions, TwoAnalysesSteppedAlternately) {
  ASSERT_NE(alone[0], alone[1]);
  for (const auto& step : kSteps) {
    step(sessions[0]);
    step(sessions[1]);
  }
  for (int i = 0; i < 2; ++i) EXPECT_EQ(Results(i), alone[i]) << kFiles[i];
}

TEST_F(Sessions, TwoAnalysesOnTwoThreadsAtOnce) {
  std::thread other([this] {
    for (const auto& step : kSteps) step(sessions[1]);
  });
  for (const auto& step : kSteps) step(sessions[0]);
  other.join();
  for (int i = 0; i < 2; ++i) EXPECT_EQ(Results(i), alone[i]) << kFiles[i];
}

// The window keeps one session from run to run: a run after one of another
// file, longer or shorter, writes what a fresh session writes.
TEST_F(Sessions, ARunAfterAnotherOfAnotherFile) {
  for (const int first : {0, 1}) {
    const int second = 1 - first;
    TSession& session = sessions[0];
    for (const int i : {first, second}) {
      session.Data.FileName = Input(i);
      for (const auto& step : kSteps) step(session);
    }
    Results(first);
    EXPECT_EQ(Results(second), alone[second]) << kFiles[second] << " after " << kFiles[first];
  }
}

// A copy of a session's data set outlives its original and still has a
// dialogs object of its own to talk to.
TEST(SessionCopies, ACopyKeepsNoPointerIntoItsOriginal) {
  auto original = std::make_unique<TSession>();
  const TDMTevlora copy = original->Data;
  original.reset();
  EXPECT_EQ(copy.Dialogs, TSession().Data.Dialogs);
}

}  // namespace
