#include "UHelpForm.h"

#include <QShortcut>
#include <QVBoxLayout>

namespace HelpTexts {
const char* const kHelpMemo =
    " START HELP\n"
    "\n"
    "TIME\n"
    "Enter the time as sequential numbers in a unit of your choice, for example hours or "
    "days: 1, 2, 3, ... A table with dates comes in through File > Import table…, which turns "
    "the dates into such times. The intervals between successive times may vary. "
    "Runoff of small catchments reacts quickly: for catchments of less than 10000 ha use time "
    "steps of at most 1 hour.\n"
    "\n"
    "RAINFALL AND RUNOFF\n"
    "Enter the rainfall in mm per time interval and the runoff in mm per time unit, using the "
    "same time unit as the time column. A discharge measured as a volume must be converted "
    "into a depth over the catchment area. Two examples, for runoff in mm per day:\n"
    "- A discharge of Q m3 per hour from a catchment of A ha gives\n"
    "    runoff = Q * 24 * 1000 / (A * 10000) = 2.4 * Q / A  mm/day;\n"
    "  for example 50 m3/hour from 200 ha gives 0.6 mm/day.\n"
    "- A discharge of q litres per second from a catchment of A ha gives\n"
    "    runoff = q * 86400 / (A * 10000) = 8.64 * q / A  mm/day;\n"
    "  for example 20 l/s from 150 ha gives 1.152 mm/day.\n"
    "\n"
    "STORAGE AND ESCAPE\n"
    "The maximum storage (MST), the initial storage (IST) and the maximum escape rate (MER) "
    "of the first reservoir share the units of the rainfall: MST and IST in mm, MER in mm per "
    "time unit. The escape rate is entered for every record in the third column of the grid.\n"
    "\n"
    "PASTING DATA\n"
    "Data can be copied from a spreadsheet: select the columns (time, rain, escape rate and, "
    "for an analysis, runoff) in the spreadsheet and copy them, then right-click the first "
    "data cell of the grid and choose Paste.\n"
    "\n"
    "CALIBRATION\n"
    "Start from one of the example input files under \"Data\" to get to know the program. "
    "Then adjust MST, IST and MER of your own data set and watch R square in the graphs after "
    "each run:\n"
    "- When the level of the calculated runoff is too high throughout, the escape rate MER is "
    "too low.\n"
    "- When the calculated runoff at the start of the record is too low compared with the "
    "measured runoff, the initial storage IST is too small, and the other way round.\n"
    "- When the tail of the calculated runoff is too high, the maximum storage MST is too "
    "small.\n"
    "When the runoff reacts to the rain with a delay, shift the runoff column one or more time "
    "steps back (upwards) and run the analysis again.\n"
    "\n"
    "NOTE 1: Irrigation water is added to the rain. Surface drainage water is subtracted from "
    "it.\n"
    "\n"
    "NOTE 2: The maximum escape rate is normally the potential evapotranspiration. It may "
    "include natural subsurface drainage. Upward seepage reduces it, and it may even become "
    "negative: a negative escape rate is added to the rain as extra water.";
}  // namespace HelpTexts

THelpForm::THelpForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("HelpForm");
  setWindowTitle(HelpTexts::kCaption);
  resize(550, 560);
  HelpMemo = new QPlainTextEdit(QString::fromUtf8(HelpTexts::kHelpMemo), this);
  HelpMemo->setObjectName("HelpMemo");
  HelpMemo->setReadOnly(true);
  HelpMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(HelpMemo);
  // Escape closes the help, as it closes a dialog.
  auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(close, &QShortcut::activated, this, &QWidget::close);
}

void THelpForm::ShowHelp() {
  show();
  raise();
  activateWindow();
}
