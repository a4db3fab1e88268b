// The drainage calculator window: derives B and F of the linear reaction
// function of a pipe or ditch drainage system from soil and drain parameters,
// enters them in the Input tab and keeps the parameters in the .par file
// beside the input file.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <array>

#include "UAlfaCalculation.h"
#include "UDMTevlora.h"
#include "UserDialogs.h"

namespace AlfaFormTexts {
inline constexpr const char* kCaption = "Calculator rection factors drainage systm";
inline constexpr const char* kLabels[kDrainFieldCount] = {
    "Hydraulic conductivity above drain level (Ka in m/day)",
    "Hydraulic conductivity below drain level (Kb in m/day)",
    "Depth of soil layer below drain level (D = D1-Dd in m)",
    "Wet perimeter of drain or ditch (U in m)",
    "Drainable (effective) porosity of top soil (P in %)",
    "Drain spacing (L in m)",
};
inline constexpr const char* kButton = "Calculate";
inline constexpr const char* kFunction = "Linear response fuction Alfa = B.Q + F";
inline constexpr const char* kBLabel = "B =";
inline constexpr const char* kFLabel = "F =";
// The formulas take the conductivities in m/day and give B and F per day;
// for data timed in hours F is converted (see InTimeUnit).
inline constexpr const char* kTimeUnitLabel = "Time unit of the data:";
inline constexpr const char* kTimeUnits[2] = {"days", "hours"};
inline constexpr const char* kPer[2] = {"per day", "per hour"};
inline constexpr const char* kUnits[2] = {
    "B and F are per day, as Ka and Kb are in m/day.",
    "B and F are per hour, the time unit of the data: F is F per day divided by 24 (Ka and "
    "Kb are in m/day)."};
extern const char* const kReference;
// The closing message: the fixed sentence, the time unit of B and F, then
// where the parameters went.
QString DoneText(const QString& parFileName, TTimeUnit unit);
// A parameter file that could not be written.
QString ParNotWrittenText(const QString& parFileName);
}  // namespace AlfaFormTexts

// The part of the Input tab that the calculator fills in. The main window
// implements it: `bCoefficient` goes to A1coeffEdit, `fValue` to B1valueEdit,
// `porosity` to PorosityEdit.
class TInputTabFields {
 public:
  virtual ~TInputTabFields() = default;
  virtual void SetDrainageFields(const QString& bCoefficient, const QString& fValue,
                                 const QString& porosity) = 0;
};

class TAlfaForm : public QWidget {
  Q_OBJECT
 public:
  // `dataModule` is the data set the results go to (its FileName names the
  // .par file); messages go to `dialogs`, or to the data module's Dialogs
  // when it is null; `inputTab` receives the texts for the Input tab (may be
  // null, and may be set later with SetInputTab).
  TAlfaForm(TDMTevlora& dataModule, TUserDialogs* dialogs, TInputTabFields* inputTab,
            QWidget* parent = nullptr);

  void SetInputTab(TInputTabFields* inputTab) { inputTab_ = inputTab; }

  // Shows the window (or brings it to the front when it is open already);
  // what AlfaButton does and what the Input tab does when ParLoaded is set.
  void ShowCalculator();
  // Forgets the six parameters and the results: the data set they belonged
  // to is gone.
  void ClearInputs();
  TTimeUnit TimeUnit() const;

  QLabel* Image1;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QLabel* Label5;
  QLabel* Label6;
  QLineEdit* Edit1;
  QLineEdit* Edit2;
  QLineEdit* Edit3;
  QLineEdit* Edit4;
  QLineEdit* Edit5;
  QLineEdit* Edit6;
  QPushButton* Button1;
  QLabel* TxTLabel;
  QLabel* Label7;
  QLineEdit* Edit7;
  QLabel* Label8;
  QLineEdit* Edit8;
  QLabel* BUnitLabel;
  QLabel* FUnitLabel;
  QLabel* TimeUnitLabel;
  QComboBox* TimeUnitComboBox;  // "days" or "hours"
  QPlainTextEdit* Memo1;

  // State of the last check and calculation.
  bool InputsValid = false;
  double B = 0;
  double F = 0;
  double EquivDepth = 0;
  double X = 0;
  double DepthFunction = 0;

 public slots:
  void FormShow();
  void Edit1Exit() { EditExit(TDrainField::Ka); }
  void Edit2Exit() { EditExit(TDrainField::Kb); }
  void Edit3Exit() { EditExit(TDrainField::D); }
  void Edit4Exit() { EditExit(TDrainField::U); }
  void Edit5Exit() { EditExit(TDrainField::P); }
  void Edit6Exit() { EditExit(TDrainField::L); }
  void Button1Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The picture, the fields, the results and the reference text, top to
  // bottom.
  void LayOutControls();
  void FormCreate();
  void EditExit(TDrainField field);
  void CheckInputs();
  void ClearResults();
  void ShowTimeUnit();
  QLineEdit* FieldEdit(TDrainField field) const;
  TUserDialogs& Dialogs() const;
  // A message to the user, after which the calculator is in front again.
  void Message(const std::string& text);

  TDMTevlora& dataModule_;
  TUserDialogs* dialogs_;
  TInputTabFields* inputTab_;
  std::array<QLineEdit*, kDrainFieldCount> edits_{};
};
