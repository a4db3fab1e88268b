#include "ui_Application.h"

#include <gtest/gtest.h>

QApplication& TestApplication() {
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) {
    return *existing;
  }
  static int argc = 1;
  static char name[] = "ui_tests";
  static char* argv[] = {name, nullptr};
  return *new QApplication(argc, argv);
}

namespace {
class TApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { TestApplication(); }
};
[[maybe_unused]] ::testing::Environment* const applicationEnvironment =
    ::testing::AddGlobalTestEnvironment(new TApplicationEnvironment);
}  // namespace
