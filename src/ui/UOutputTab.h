// The Output tab of the main window: the lines of a results file in a
// fixed-pitch memo, the fit measures beside them, and the buttons Open
// output, View graph and Export table.
#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "URainFormTab.h"

struct TFitMeasures;

class TOutputTab : public TRainFormTab {
  Q_OBJECT
 public:
  // The buttons run the window's Open output and Export table.
  TOutputTab(TRainFormHost& host, QAction* outputOpen, QAction* tableExport);
  void Arrange() override;

  // The results lines of the session's data set.
  void ShowOutputLines();
  // The panel shows with two records or more and takes its room from the
  // right of the results text.
  // `fromTable`: recomputed from the rounded table of a results file, and
  // marked so.
  void ShowFitMeasures(const TFitMeasures& fit, bool fromTable = false);
  // Under them, the measures of the calibration and the validation records
  // of a run with a calibration period.
  void ShowPeriodMeasures(const TFitMeasures& calibration, const TFitMeasures& validation);
  void ShowResults();
  void SetViewGraphVisible(bool visible);

 signals:
  void ViewGraphClicked();

 private:
  void CreateFitMeasuresPanel();

  QPlainTextEdit* OutputMemo;
  QPushButton* SeeOutputButton;
  QPushButton* ViewGraphButton;
  QLabel* FitMeasuresPanel;
  QPushButton* ExportTableButton;
};
