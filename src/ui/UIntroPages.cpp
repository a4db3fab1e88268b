#include "UIntroPages.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QImage>
#include <QImageReader>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

// ---------------------------------------------------------------------------
// Texts of the Intro and Figure tabs

namespace IntroTexts {

const char* const kIntroMemo =
    "INTRODUCTION TO THE TevloraT PROGRAM\n"
    "The Details buttons explain the model step by step; the Figure tab shows it.\n"
    "\n"
    "TevloraT calculates the runoff of rainfall on watersheds over which the rainfall is "
    "spread regularly. It serves equally for the discharge of a field drained by pipes or "
    "ditches.\n"
    "\n"
    "The rainfall is first converted into recharge. To this end it is routed through a first "
    "reservoir, the pre-reservoir or dead storage, from which water escapes. The pre-reservoir "
    "is described by three values: its storage capacity (maximum storage), its initial storage, "
    "and its maximum escape rate, which stands for evaporation or natural subsurface drainage. "
    "Rain that finds no more room in the pre-reservoir overflows; this overflow is the "
    "recharge.\n"
    "\n"
    "The recharge is routed through a second, non-linear reservoir. Its reaction factor "
    "(alpha) is not a constant: it depends on the storage level in the reservoir and hence on "
    "the outflow. The outflow of the second reservoir is the runoff.\n"
    "\n"
    "The reaction factor is found by trial and error from recorded rainfall and runoff data. "
    "Unlike a recession analysis, this method needs no periods without recharge, but the "
    "calculation takes longer: about four million combinations are tried. Patience is needed.\n"
    "\n"
    "Alternatively, you give the reservoir function together with a rainfall series, and the "
    "program calculates the runoff, or for a drainage system the drain discharge and the water "
    "level.\n"
    "\n"
    "The buttons under \"Details\" explain the first reservoir, the second reservoir, the alpha "
    "function and the water level; the Figure tab shows a picture of the two reservoirs. Go to "
    "the Input tab to enter your data or to open one of the examples.\n"
    "\n"
    "Questions and remarks are welcome: please contact the author at the address given with "
    "your copy of the program.";

const char* const kFirstMemo =
    "CONVERSION OF RAINFALL INTO RECHARGE THROUGH THE\n"
    "FIRST RESERVOIR\n"
    "\n"
    "The first reservoir (pre-reservoir) can hold at most MaxSto (mm). Its actual storage is "
    "ActSto (mm). Water escapes from it by evaporation or natural subsurface drainage at a rate "
    "that is largest when the reservoir is full, the maximum escape rate MaxEsc (mm per time "
    "unit). When the reservoir is only partly filled, less water escapes:\n"
    "\n"
    "    ActEsc = R * MaxEsc,   with   R = ActSto / MaxSto\n"
    "\n"
    "The storage deficit is the room in the reservoir that the rain of the next time step can "
    "fill, after a time t of escape:\n"
    "\n"
    "    StoDef = MaxSto + ActEsc * t - ActSto\n"
    "\n"
    "Rain that does not fit into the deficit overflows. The recharge in a time step of length "
    "Delta is\n"
    "\n"
    "    Rech = Rain - StoDef / Delta\n"
    "\n"
    "and it is set to 0 when this is negative: all rain is then stored. The storage at the end "
    "of the step follows from the water balance:\n"
    "\n"
    "    ActSto2 = ActSto1 + (Rain - Rech - ActEsc) * Delta\n"
    "\n"
    "The initial storage deficit, MaxSto minus the initial storage, compares with the initial "
    "abstraction of the US-SCS curve number method: rain first fills this deficit before any "
    "recharge occurs.\n"
    "\n"
    "See the Figure tab for a picture of the reservoirs.";

const char* const kSecondMemo =
    "CALCULATING RUNOFF FROM THE SECOND RESERVOIR\n"
    "USING THE RECHARGE COMING FROM THE FIRST\n"
    "\n"
    "The recharge leaving the first reservoir flows into the second (main) reservoir. From the "
    "runoff Run1 at the start of a time step of length Delta2 and the recharge Rech2 during "
    "that step, the runoff at its end is\n"
    "\n"
    "    Run2 = Run1 * Exp(-Alpha * Delta2) + Rech2 * [1 - Exp(-Alpha * Delta2)]\n"
    "\n"
    "The calculation starts from the initial runoff and is repeated step by step, each result "
    "being the starting value of the next step.\n"
    "\n"
    "The reaction factor Alpha of the second reservoir is not constant but depends on the "
    "runoff:\n"
    "\n"
    "    Alpha = B * Run1 + C\n"
    "\n"
    "In an analysis, B and C are chosen from ranges of values such that the sum of the squared "
    "differences between the observed and the simulated runoff is as small as possible.\n"
    "\n"
    "Note: the time step must not be longer than the time of concentration of the watershed. "
    "For example, when the time of concentration is 2 hours, use time steps of 1 hour.";

const char* const kAlphaMemo =
    "DETERMINING THE ALPHA FUNCTION FROM RAINFALL-RUNOFF DATA\n"
    "\n"
    "Between two moments T1 and T2 the runoff changes from Q1 to Q2 according to\n"
    "\n"
    "    Q2 = Q1 * exp[-A (T2 - T1)] + R * [1 - exp[-A (T2 - T1)]]\n"
    "\n"
    "where R is the recharge in the interval and A the reaction factor of the second "
    "reservoir. The reaction factor grows with the runoff:\n"
    "\n"
    "    A = B * Q1 + C\n"
    "\n"
    "The program tries about four million combinations of B and C. For each combination it "
    "reconstructs the runoff of the whole record and sums the squared differences between the "
    "measured and the calculated runoff. The combination with the smallest sum is the alpha "
    "function; the output shows it together with the coefficient of explanation R square.\n"
    "\n"
    "See the Figure tab for a picture of the reservoirs.";

const char* const kHeadMemo =
    "DETERMINING THE WATER LEVEL (HYDRAULIC HEAD)\n"
    "\n"
    "For a field drained by pipes or ditches the program also calculates the height H of the "
    "water table above drain level, midway between the drains. Over a time step from T1 to T2 "
    "the head changes from H1 to H2 following the de Zeeuw-Hellinga equation:\n"
    "\n"
    "    H2 = H1 * exp[-A (T2 - T1)] + R * [1 - exp[-A (T2 - T1)]] / (0.8 * P * A)\n"
    "\n"
    "with R the recharge, P the drainable porosity (as a fraction) and A the reaction factor. "
    "The calculation starts from the initial water level given with the input.\n"
    "\n"
    "After Hooghoudt, the reaction factor of a drainage system is\n"
    "\n"
    "    A = (4 Ka H1 + 8 Kb d) / (P L^2)\n"
    "\n"
    "with Ka the hydraulic conductivity above and Kb below drain level, d the equivalent depth "
    "of the layer below drain level and L the drain spacing. This is a linear function of the "
    "head, and so of the discharge. The AlfaCalc button of the Input tab derives B and F of "
    "this function from the soil and drain parameters.\n"
    "\n"
    "Alternatively, A = B * H1 + C can be fitted to observed heads, in the same way as the "
    "alpha function is found from runoff data.";

const char* const kRefMemo =
    "The equations of the two reservoirs are explained under the Details buttons of the Intro\n"
    "tab; the README that comes with the program describes the model and its files.";

}  // namespace IntroTexts

// ---------------------------------------------------------------------------
// Pictures

// Generated from resources/resources.qrc. The resources live in a static
// library; registering them explicitly keeps the linker from dropping them.
int qInitResources_resources();

namespace {
void RegisterResources() {
  static const bool registered = (qInitResources_resources(), true);
  (void)registered;
}

QString PicturePath(const QString& name) {
  if (name.startsWith(':') || QFileInfo(name).isAbsolute()) return name;
  return QStringLiteral(":/pictures/") + name;
}
}  // namespace

QString PictureNotShownText(const QString& name, const QString& reason) {
  return QStringLiteral(
             "The picture \"%1\" could not be shown (%2). The program goes on "
             "without it.")
      .arg(name, reason);
}

QPixmap LoadPicture(const QString& name, TUserDialogs& dialogs) {
  RegisterResources();
  QImageReader reader(PicturePath(name), "jpeg");
  const QImage image = reader.read();
  if (image.isNull()) {
    dialogs.Message(PictureNotShownText(name, reader.errorString()).toStdString());
    return {};
  }
  return QPixmap::fromImage(image);
}

// ---------------------------------------------------------------------------
// Intro tab

namespace {
QPlainTextEdit* NewMemo(const char* name, const char* text, QWidget* parent) {
  auto* memo = new QPlainTextEdit(QString::fromUtf8(text), parent);
  memo->setObjectName(name);
  memo->setReadOnly(true);
  return memo;
}

QPushButton* NewButton(const char* name, const char* caption, QWidget* parent) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(name);
  return button;
}
}  // namespace

TIntroPage::TIntroPage(QWidget* parent) : QWidget(parent) {
  namespace T = IntroTexts;
  setObjectName("IntroPage");
  IntroMemo = NewMemo("IntroMemo", T::kIntroMemo, this);
  FirstMemo = NewMemo("FirstMemo", T::kFirstMemo, this);
  SecondMemo = NewMemo("SecondMemo", T::kSecondMemo, this);
  AlphaMemo = NewMemo("AlphaMemo", T::kAlphaMemo, this);
  HeadMemo = NewMemo("HeadMemo", T::kHeadMemo, this);

  HelpGroupBox = new QGroupBox(T::kHelpGroup, this);
  HelpGroupBox->setObjectName("HelpGroupBox");
  FirstButton = NewButton("FirstButton", T::kFirstButton, HelpGroupBox);
  SecondButton = NewButton("SecondButton", T::kSecondButton, HelpGroupBox);
  AlphaButton = NewButton("AlphaButton", T::kAlphaButton, HelpGroupBox);
  HeadButton = NewButton("HeadButton", T::kHeadButton, HelpGroupBox);
  auto* buttons = new QVBoxLayout(HelpGroupBox);
  for (QPushButton* button : {FirstButton, SecondButton, AlphaButton, HeadButton}) {
    button->setMinimumHeight(34);
    buttons->addWidget(button);
  }
  BackButton = NewButton("BackButton", T::kBackButton, this);

  // The five memos share one place; only one of them is visible at a time.
  auto* layout = new QGridLayout(this);
  for (QPlainTextEdit* memo : {IntroMemo, FirstMemo, SecondMemo, AlphaMemo, HeadMemo}) {
    layout->addWidget(memo, 0, 0, 3, 1);
  }
  layout->addWidget(HelpGroupBox, 0, 1);
  layout->addWidget(BackButton, 1, 1);
  layout->setRowStretch(2, 1);
  layout->setColumnStretch(0, 1);
  HelpGroupBox->setMinimumWidth(170);

  connect(FirstButton, &QPushButton::clicked, this, &TIntroPage::FirstButtonClick);
  connect(SecondButton, &QPushButton::clicked, this, &TIntroPage::SecondButtonClick);
  connect(AlphaButton, &QPushButton::clicked, this, &TIntroPage::AlphaButtonClick);
  connect(HeadButton, &QPushButton::clicked, this, &TIntroPage::HeadButtonClick);
  connect(BackButton, &QPushButton::clicked, this, &TIntroPage::BackButtonClick);
  BackButtonClick();
}

void TIntroPage::ShowOnly(QPlainTextEdit* shown) {
  for (QPlainTextEdit* memo : {IntroMemo, FirstMemo, SecondMemo, AlphaMemo, HeadMemo}) {
    memo->setVisible(memo == shown);
  }
}

void TIntroPage::FirstButtonClick() {
  ShowOnly(FirstMemo);
}
void TIntroPage::SecondButtonClick() {
  ShowOnly(SecondMemo);
}
void TIntroPage::AlphaButtonClick() {
  ShowOnly(AlphaMemo);
}
void TIntroPage::HeadButtonClick() {
  ShowOnly(HeadMemo);
}
void TIntroPage::BackButtonClick() {
  ShowOnly(IntroMemo);
}

// ---------------------------------------------------------------------------
// Figure tab

TFigurePage::TFigurePage(TUserDialogs& dialogs, QWidget* parent) : QWidget(parent) {
  setObjectName("FigurePage");
  Reservoir_Image = new QLabel(this);
  Reservoir_Image->setObjectName("Reservoir_Image");
  Reservoir_Image->setFixedSize(513, 425);
  Reservoir_Image->setScaledContents(true);
  Reservoir_Image->setPixmap(LoadPicture(Pictures::kReservoir, dialogs));

  RefMemo = NewMemo("RefMemo", IntroTexts::kRefMemo, this);
  RefMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  RefMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // The note's two lines read whole: the note is as wide as the picture or
  // as its longer line, whichever is wider.
  const int margins = 2 * (RefMemo->frameWidth() + int(RefMemo->document()->documentMargin())) + 4;
  int widest = 0;
  for (const QString& line : RefMemo->toPlainText().split('\n')) {
    widest = std::max(widest, RefMemo->fontMetrics().horizontalAdvance(line));
  }
  RefMemo->setFixedSize(std::max(513, widest + margins + 4),
                        2 * RefMemo->fontMetrics().lineSpacing() + margins);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Reservoir_Image, 0, Qt::AlignHCenter);
  layout->addWidget(RefMemo, 0, Qt::AlignHCenter);
  layout->addStretch(1);
}
