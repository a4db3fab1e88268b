// What the main window shows is what it holds: nothing of an earlier file,
// a cleared tab or a field the user cannot see reaches a file or a field.
#include <QTest>

#include "TextFile.h"
#include "ui_RainFormSupport.h"

namespace {

using std::string;
using std::vector;

const char kFillRunoff[] = "Please enter the measured runoff of each record in the Runoff column.";

class RainFormLeftovers : public RainFormTest {
 protected:
  void SetUp() override {
    RainFormTest::SetUp();
    ShowTab(form->InputTabSheet);
  }
  void Switch(int item) {
    form->OptionComboBox->setCurrentIndex(item);
    Settle();
  }
  void SaveAs(const string& fileName) {
    Choose(fileName);
    form->InputSaveAction->trigger();
  }
};

TEST_F(RainFormLeftovers, AnotherFilesRunoffDoesNotComeBack) {
  OpenInput(CopyExample("spotpy_d_flood2013_12d.inp"));
  const string prediction = CopyExample("hupsel_h_dec2012_pred_runoff.inp");
  CopyExample("hupsel_h_dec2012_pred_runoff.out");
  OpenInput(prediction);
  dialogs.messages.clear();
  Switch(0);
  // The runoff column is empty of data, and the user is asked for it rather
  // than told about the prediction's results.
  EXPECT_EQ(Column(3), vector<QString>(form->StringGrid1->RowCount(), "0"));
  EXPECT_EQ(dialogs.messages, vector<string>{kFillRunoff});
}

}  // namespace
