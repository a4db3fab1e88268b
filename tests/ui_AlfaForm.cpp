// The drainage calculator window: field checks, Calculate, the texts it puts
// into the Input tab and the parameter file it writes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <filesystem>

#include "TestSupport.h"
#include "TextFile.h"
#include "UAlfaForm.h"
#include "UDMTevlora.h"
#include "ui_Application.h"

namespace {

// Stands in for the main window's Input tab.
class TFakeInputTab : public TInputTabFields {
 public:
  void SetDrainageFields(const QString& bCoefficient, const QString& fValue,
                         const QString& porosity) override {
    ++calls;
    a1Coeff = bCoefficient;
    b1Value = fValue;
    this->porosity = porosity;
  }
  int calls = 0;
  QString a1Coeff, b1Value, porosity;
};

class AlfaForm : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    data.Dialogs = &dialogs;
    data.FileName = dir.File("basin.inp");
    form = std::make_unique<TAlfaForm>(data, nullptr, &inputTab);
  }
  void TearDown() override {
    form.reset();
    CurrentDecimalSeparator = '.';
  }

  // Types a value and leaves the field with Return, as the user does.
  void Enter(QLineEdit* edit, const QString& text) {
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
  }
  void EnterAll(const QStringList& values) {
    QLineEdit* edits[] = {form->Edit1, form->Edit2, form->Edit3,
                          form->Edit4, form->Edit5, form->Edit6};
    for (int i = 0; i < 6; ++i) Enter(edits[i], values[i]);
  }
  std::string ParFile() const { return dir.File("basin.par"); }

  TTemporaryDirectory dir;
  TRecordingDialogs dialogs;
  TDMTevlora data;
  TFakeInputTab inputTab;
  std::unique_ptr<TAlfaForm> form;
};

TEST_F(AlfaForm, WindowAndControls) {
  namespace T = AlfaFormTexts;
  EXPECT_EQ(form->windowTitle(), "Calculator rection factors drainage systm");
  EXPECT_EQ(form->size(), QSize(497, 591));
  EXPECT_EQ(form->Label3->text(), "Depth of soil layer below drain level (D = D1-Dd in m)");
  EXPECT_EQ(form->Label5->text(), "Drainable (effective) porosity of top soil (P in %)");
  EXPECT_EQ(form->Button1->text(), "&Calculate");
  EXPECT_EQ(form->TxTLabel->text(), "Linear response fuction Alfa = B.Q + F");
  EXPECT_EQ(form->Label7->text(), "B =");
  EXPECT_EQ(form->Label8->text(), "F =");
  // The results are per day: the formulas take Ka and Kb in m/day.
  EXPECT_EQ(form->BUnitLabel->text(), "per day");
  EXPECT_EQ(form->FUnitLabel->text(), "per day");
  EXPECT_TRUE(form->Edit7->isReadOnly());
  EXPECT_TRUE(form->Edit8->isReadOnly());
  EXPECT_FALSE(form->Edit1->isReadOnly());
  // The sketch is decoded from its JPEG file.
  ASSERT_FALSE(form->Image1->pixmap().isNull());
  EXPECT_EQ(form->Image1->pixmap().size(), QSize(400, 187));
  EXPECT_TRUE(dialogs.messages.empty());
  // Creation clears the six inputs.
  EXPECT_EQ(data.Values.DrainKa, 0.0);
  EXPECT_EQ(data.Values.DrainL, 0.0);
}

TEST_F(AlfaForm, LogarithmicBranchEntersTextsAndWritesParameterFile) {
  EnterAll({"1", "1", "5", "0.5", "5", "50"});
  EXPECT_TRUE(form->InputsValid);
  ASSERT_TRUE(dialogs.messages.empty());
  QTest::mouseClick(form->Button1, Qt::LeftButton);

  EXPECT_NEAR(form->X, 0.6284, 1e-12);
  EXPECT_NEAR(form->EquivDepth, 3.15204, 5e-6);
  EXPECT_EQ(form->Edit7->text(), " 0.03200");
  EXPECT_EQ(form->Edit8->text(), " 0.20173");
  EXPECT_EQ(inputTab.calls, 1);
  EXPECT_EQ(inputTab.a1Coeff, " 0.03200");
  EXPECT_EQ(inputTab.b1Value, " 0.20173");
  EXPECT_EQ(inputTab.porosity, "  5.0");
  EXPECT_EQ(data.Porosity, 5.0);
  EXPECT_TRUE(data.Drainage);

  EXPECT_EQ(ReadFileBytes(ParFile()),
            " Hydraulic conductivity above drain level (Ka, m/day)  1.00\r\n"
            " Hydraulic conductivity below drain level (Kb, m/day)  1.00\r\n"
            " Depth of soil layer below drain level (D=D1-Dd, m)    5.00\r\n"
            " Wet perimeter of drain or ditch (U, m)                0.50\r\n"
            " Drainable (effective) porosity of top soil (P, %)     5.00\r\n"
            " Drain spacing (L, m)                                 50.00\r\n");
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0],
            "The drainage parameter calculations were done and the values are entered in the "
            "input tabsheet.\nB and F are per day, as Ka and Kb are in m/day.\n"
            "The drainage parameters are kept in the file \"" +
                ParFile() + "\".");
}

TEST_F(AlfaForm, SeriesBranch) {
  EnterAll({"0.5", "2", "20", "0.6", "10", "40"});
  form->Button1Click();
  EXPECT_NEAR(form->X, 3.142, 1e-12);
  EXPECT_NEAR(form->EquivDepth, 3.73409, 5e-6);
  EXPECT_EQ(form->Edit7->text(), " 0.01250");
  EXPECT_EQ(form->Edit8->text(), " 0.37341");
  EXPECT_EQ(inputTab.porosity, " 10.0");
}

// The example parameter file of the drainage prediction: the calculator
// gives its documented values and writes the very same file.
TEST_F(AlfaForm, ExampleParameterFile) {
  EnterAll({"1.2", "0.8", "4", "0.6", "6", "40"});
  form->Button1Click();
  EXPECT_NEAR(form->X, 0.6284, 1e-12);
  EXPECT_NEAR(form->EquivDepth, 2.6972, 5e-5);
  EXPECT_NEAR(form->F, 0.17981, 5e-6);
  EXPECT_EQ(form->Edit7->text(), " 0.05000");
  EXPECT_EQ(form->Edit8->text(), " 0.17981");
  EXPECT_EQ(ReadFileBytes(ParFile()),
            ReadFileBytes(ExampleDataFile("hupsel_h_dec2012_pred_drain.par")));
}

TEST_F(AlfaForm, FieldChecksShowTheirMessageAndEmptyTheField) {
  namespace T = AlfaTexts;
  Enter(form->Edit1, "-1");
  Enter(form->Edit3, "0");
  Enter(form->Edit5, "0.5");
  Enter(form->Edit6, "-4");
  ASSERT_EQ(dialogs.messages.size(), 4u);
  EXPECT_EQ(dialogs.messages[0], T::kKaMessage);
  EXPECT_EQ(dialogs.messages[1], T::kDMessage);
  EXPECT_EQ(dialogs.messages[2], T::kPLowMessage);
  EXPECT_EQ(dialogs.messages[3], T::kLMessage);
  for (QLineEdit* edit : {form->Edit1, form->Edit3, form->Edit5, form->Edit6}) {
    EXPECT_TRUE(edit->text().isEmpty()) << edit->objectName().toStdString();
  }
  // Conductivities and depths fall back to 0; porosity and spacing keep
  // what was read.
  EXPECT_EQ(data.Values.DrainKa, 0.0);
  EXPECT_EQ(data.Values.DrainD, 0.0);
  EXPECT_EQ(data.Values.DrainP, 0.5);
  EXPECT_EQ(data.Values.DrainL, -4.0);

  dialogs.messages.clear();
  Enter(form->Edit5, "0");
  Enter(form->Edit5, "31");
  Enter(form->Edit4, "0");
  Enter(form->Edit2, "-2");
  EXPECT_EQ(dialogs.messages, (std::vector<std::string>{T::kPZeroMessage, T::kPHighMessage,
                                                        T::kUMessage, T::kKbMessage}));
  // Accepted values are stored at once; Ka = 0 and P = 1 or 30 pass here.
  dialogs.messages.clear();
  Enter(form->Edit1, "0");
  Enter(form->Edit5, "30");
  Enter(form->Edit2, "1,5");
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(data.Values.DrainP, 30.0);
  EXPECT_EQ(data.Values.DrainKb, 1.5);
  EXPECT_EQ(form->Edit5->text(), "30");
}

TEST_F(AlfaForm, TextThatIsNoNumber) {
  Enter(form->Edit1, "2");
  Enter(form->Edit1, "2x");
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0], "'2x' is not a valid floating point value");
  EXPECT_EQ(data.Values.DrainKa, 2.0);
  EXPECT_EQ(form->Edit1->text(), "2x");
}

TEST_F(AlfaForm, CalculateRefusesInputsOutsideItsBounds) {
  namespace T = AlfaTexts;
  const auto calculate = [&](const QStringList& values) {
    dialogs.messages.clear();
    EnterAll(values);
    form->Button1Click();
    return dialogs.messages;
  };
  // P = 1 and P = 30 pass the field but not Calculate; so does Ka = 0.
  for (const QStringList& values :
       {QStringList{"1", "1", "5", "0.5", "1", "50"}, QStringList{"1", "1", "5", "0.5", "30", "50"},
        QStringList{"0", "1", "5", "0.5", "5", "50"}}) {
    EXPECT_EQ(calculate(values), std::vector<std::string>{T::kIncorrect});
    EXPECT_TRUE(form->Edit7->text().isEmpty());
  }
  EXPECT_EQ(inputTab.calls, 0);
  EXPECT_FALSE(data.Drainage);
  EXPECT_FALSE(std::filesystem::exists(ParFile()));

  // A wet perimeter wider than the spacing gives no equivalent depth.
  EXPECT_EQ(calculate({"1", "1", "5", "100", "5", "1"}), std::vector<std::string>{T::kIncorrect});
  EXPECT_EQ(inputTab.calls, 0);

  // Just inside the bounds, and Kb = 0, calculate.
  EXPECT_EQ(calculate({"1", "1", "5", "0.5", "1.5", "50"}).size(), 1u);
  EXPECT_EQ(calculate({"1", "1", "5", "0.5", "29.9", "50"}).size(), 1u);
  calculate({"1", "0", "5", "0.5", "5", "50"});
  EXPECT_EQ(form->Edit8->text(), " 0.00000");
  EXPECT_EQ(inputTab.calls, 3);
}

TEST_F(AlfaForm, ChangingAFieldClearsTheResults) {
  EnterAll({"1", "1", "5", "0.5", "5", "50"});
  form->Button1Click();
  ASSERT_FALSE(form->Edit7->text().isEmpty());
  QTest::keyClicks(form->Edit6, "0");
  EXPECT_TRUE(form->Edit7->text().isEmpty());
  EXPECT_TRUE(form->Edit8->text().isEmpty());
  EXPECT_EQ(form->B, 0.0);
  EXPECT_EQ(form->F, 0.0);
}

TEST_F(AlfaForm, WithoutInputFileTheStartDirectoryNamesTheParameterFile) {
  std::filesystem::create_directory(dir.File("start"));
  data.FileName = dir.File("start");
  EnterAll({"1", "1", "5", "0.5", "5", "50"});
  form->Button1Click();
  const std::string par = dir.File("start.par");
  EXPECT_TRUE(std::filesystem::exists(par));
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].find("\"" + par + "\""), std::string::npos);
}

TEST_F(AlfaForm, ParameterFileThatCannotBeWritten) {
  data.FileName = dir.File("no such folder/basin.inp");
  EnterAll({"1", "1", "5", "0.5", "5", "50"});
  form->Button1Click();
  const std::string par = dir.File("no such folder/basin.par");
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0], "The file \"" + par + "\" could not be written");
  // The Input tab and the data set were updated before the write.
  EXPECT_EQ(inputTab.calls, 1);
  EXPECT_TRUE(data.Drainage);
}

TEST_F(AlfaForm, ShowingFillsFieldsOnlyWhenAParameterFileExists) {
  form->Edit1->setText("7");
  data.Values.DrainKa = 1.2;
  data.Values.DrainKb = 0.8;
  data.Values.DrainD = 4;
  data.Values.DrainU = 0.6;
  data.Values.DrainP = 6;
  data.Values.DrainL = 40;
  form->show();
  EXPECT_EQ(form->Edit1->text(), "7");
  form->hide();

  ASSERT_TRUE(WriteDrainageParameters(ParFile(), data.Values));
  CurrentDecimalSeparator = ',';
  form->show();
  EXPECT_EQ(form->Edit1->text(), "1,2");
  EXPECT_EQ(form->Edit3->text(), "4");
  EXPECT_EQ(form->Edit6->text(), "40");
  // Calculating under a comma locale still writes points.
  form->Button1Click();
  EXPECT_EQ(form->Edit7->text(), " 0.05000");
  EXPECT_EQ(ReadFileBytes(ParFile()),
            ReadFileBytes(ExampleDataFile("hupsel_h_dec2012_pred_drain.par")));
}

TEST_F(AlfaForm, CalculateUsesWhatTheFieldsShow) {
  namespace T = AlfaTexts;
  struct Case {
    const char* what;
    int field;
    const char* text;
    bool leave;  // the field was left, so its own check ran before
    std::vector<std::string> messages;
    const char* b;  // B shown after Calculate
  };
  const Case cases[] = {
      {"no number", 0, "abc", true, {"Ka: 'abc' is not a valid floating point value"}, ""},
      {"emptied field", 1, "", false, {"Kb: '' is not a valid floating point value"}, ""},
      {"rejected value", 1, "-2", false, {T::kKbMessage}, ""},
      {"new spacing", 5, "100", false, {}, " 0.00800"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(ParFile());
    EnterAll({"1", "1", "5", "0.5", "5", "50"});
    QLineEdit* edits[] = {form->Edit1, form->Edit2, form->Edit3,
                          form->Edit4, form->Edit5, form->Edit6};
    if (c.leave) {
      Enter(edits[c.field], c.text);
    } else {
      edits[c.field]->setText(c.text);
    }
    dialogs.messages.clear();
    const int calls = inputTab.calls;
    form->Button1Click();
    EXPECT_EQ(form->Edit7->text(), c.b);
    if (c.messages.empty()) {
      EXPECT_EQ(dialogs.messages.size(), 1u);  // the closing message
      EXPECT_EQ(inputTab.calls, calls + 1);
    } else {
      EXPECT_EQ(dialogs.messages, c.messages);
      EXPECT_EQ(inputTab.calls, calls);
      EXPECT_FALSE(std::filesystem::exists(ParFile()));
    }
  }
}

}  // namespace

namespace {

// B and F are for the time unit of the data: the hourly example gets the F
// of its input file (per day / 24), and the choice is the user's to change.
TEST_F(AlfaForm, TimeUnitOfTheDataSetsF) {
  const std::string example = "hupsel_h_dec2012_pred_drain";
  for (const char* extension : {".inp", ".par"}) {
    WriteFileBytes(dir.File(std::string("basin") + extension),
                   ReadFileBytes(ExampleDataFile(example + extension)));
  }
  ASSERT_TRUE(data.ReadInputFile());
  const struct {
    const char* title2;
    int chosen;  // -1: as suggested
    const char* unit;
    const char* f;
  } cases[] = {
      {nullptr, -1, "hours", " 0.00749"},  // "... time in hours ..." of the example
      {"Rain and runoff in mm/day; time in days", -1, "days", " 0.17981"},
      {"Rain and runoff in mm/day; time in days", 1, "hours", " 0.00749"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title2 ? c.title2 : "example");
    if (c.title2) data.Title2 = c.title2;
    dialogs.messages.clear();
    form->hide();
    form->show();
    if (c.chosen >= 0) form->TimeUnitComboBox->setCurrentIndex(c.chosen);
    EXPECT_EQ(form->TimeUnitComboBox->currentText(), c.unit);
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(form->Edit7->text(), " 0.05000");  // B does not depend on the unit
    EXPECT_EQ(form->Edit8->text(), c.f);
    EXPECT_EQ(inputTab.b1Value, c.f);
    const bool hours = std::string(c.unit) == "hours";
    EXPECT_EQ(form->FUnitLabel->text(), hours ? "per hour" : "per day");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].find(AlfaFormTexts::kUnits[hours ? 1 : 0]), std::string::npos);
    // The parameter file keeps its layout and its m/day.
    EXPECT_EQ(ReadFileBytes(ParFile()), ReadFileBytes(ExampleDataFile(example + ".par")));
  }
  // Another choice is another F: it waits for Calculate.
  form->TimeUnitComboBox->setCurrentIndex(0);
  EXPECT_TRUE(form->Edit8->text().isEmpty());
}

}  // namespace

// The message box belongs to the main window, which is active when the box
// closes; the calculator is in front again after its message.
TEST_F(AlfaForm, ActiveAgainAfterItsMessage) {
  QWidget mainWindow;
  mainWindow.show();
  class TBoxOfMainWindow : public TRecordingDialogs {
   public:
    explicit TBoxOfMainWindow(QWidget& owner) : owner_(owner) {}
    void Message(const std::string& text) override {
      TRecordingDialogs::Message(text);
      owner_.activateWindow();
      QTest::qWaitForWindowActive(&owner_);
    }

   private:
    QWidget& owner_;
  } boxes(mainWindow);
  form = std::make_unique<TAlfaForm>(data, &boxes, &inputTab);
  form->ShowCalculator();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  form->Button1Click();  // empty fields: a message
  ASSERT_EQ(boxes.messages.size(), 1u);
  EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
}
