// Main window: how the tabs grow with the window, scroll when it is smaller,
// give their labels room, and how the keyboard reaches the buttons.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "UIntroPages.h"
#include "URainForm.h"
#include "UWindowLayout.h"

namespace {
// The room the designed positions of each tab need.
constexpr QSize kInputDesign(665, 536);
constexpr QSize kOutputDesign(665, 520);
constexpr QSize kGraphicsDesign(665, 506);
constexpr int kLabelGap = 6;
// What a window manager adds above and below a window, at most.
constexpr int kFrameAllowance = 40;

constexpr int kAll = TAnchorPanel::AnchorLeft | TAnchorPanel::AnchorTop |
                     TAnchorPanel::AnchorRight | TAnchorPanel::AnchorBottom;
constexpr int kWide =
    TAnchorPanel::AnchorLeft | TAnchorPanel::AnchorTop | TAnchorPanel::AnchorRight;
constexpr int kTall =
    TAnchorPanel::AnchorLeft | TAnchorPanel::AnchorTop | TAnchorPanel::AnchorBottom;
constexpr int kBottom = TAnchorPanel::AnchorLeft | TAnchorPanel::AnchorBottom;

void SetMnemonic(QAbstractButton* button, char letter) {
  button->setText(WithMnemonic(button->text(), QChar::fromLatin1(letter)));
}
}  // namespace

void TRainForm::ArrangeTabs() {
  AssignMnemonics();

  // The fields of the top block start right of the widest of their labels.
  int fieldLeft = FileNameEdit->x();
  for (QLabel* label : {FileNameLabel, Title1Label, Title2Label, OptionLabel, NrOfDataLabel}) {
    label->adjustSize();
    fieldLeft = std::max(fieldLeft, label->x() + label->width() + kLabelGap);
  }
  for (QWidget* field :
       {static_cast<QWidget*>(FileNameEdit), static_cast<QWidget*>(Title1Edit),
        static_cast<QWidget*>(Title2Edit), static_cast<QWidget*>(OptionComboBox)}) {
    const int right = field->geometry().right();
    field->setGeometry(fieldLeft, field->y(), right - fieldLeft + 1, field->height());
  }
  NrOfDataEdit->move(fieldLeft, NrOfDataEdit->y());

  // Input tab: the titles widen, the grid shows more rows.
  TAnchorPanel* input = MoveIntoAnchorPanel(InputTabSheet, kInputDesign);
  for (QWidget* field :
       {static_cast<QWidget*>(FileNameEdit), static_cast<QWidget*>(Title1Edit),
        static_cast<QWidget*>(Title2Edit), static_cast<QWidget*>(OptionComboBox)}) {
    input->Anchor(field, kWide);
  }
  input->Anchor(StringGrid1, kTall);

  // Output tab: the results text takes the room, the buttons stay under it.
  TAnchorPanel* output = MoveIntoAnchorPanel(OutputTabSheet, kOutputDesign);
  output->Anchor(OutputMemo, kAll);
  output->Anchor(FitMeasuresPanel, TAnchorPanel::AnchorTop | TAnchorPanel::AnchorRight);
  output->Anchor(ExportTableButton, TAnchorPanel::AnchorRight | TAnchorPanel::AnchorBottom);
  output->Anchor(SeeOutputButton, kBottom);
  output->Anchor(ViewGraphButton, kBottom);

  // Graphics tab: the buttons in one row, each as wide as its caption needs;
  // the graph grows, the buttons stay under it.
  int left = SeeGraphButton->x();
  for (QPushButton* button : {SeeGraphButton, MakeGraphButton, SaveGraphButton, BlWhButton,
                              SelectButton, CommentButton}) {
    button->setGeometry(left, button->y(), std::max(button->width(), button->sizeHint().width()),
                        button->height());
    left = button->geometry().right() + 1 + kLabelGap;
  }
  TAnchorPanel* graphics = MoveIntoAnchorPanel(GraphicsTabSheet, kGraphicsDesign);
  graphics->Anchor(GraphImage, kAll);
  graphics->Anchor(GraphicsTabSheet->findChild<QScrollArea*>("PictureBox"), kAll);
  for (QWidget* button : {SeeGraphButton, MakeGraphButton, SaveGraphButton, BlWhButton,
                          SelectButton, CommentButton}) {
    graphics->Anchor(button, kBottom);
  }
  FitPictureToLabel(GraphImage);

  // Intro and Figure lay themselves out; they scroll when the window is small.
  PutInScrollArea(IntroTabSheet, IntroPage);
  PutInScrollArea(FigureTabSheet, FigurePage);
}

void TRainForm::AssignMnemonics() {
  // Alt+F and Alt+E open the menus; the buttons of one tab share no letter
  // with them or with each other.
  SetMnemonic(HelpButton, 'h');
  SetMnemonic(ClearButton, 'c');
  SetMnemonic(InputOpenButton, 'i');
  SetMnemonic(InputSaveButton, 's');
  SetMnemonic(AlfaButton, 'a');

  SetMnemonic(ViewGraphButton, 'v');
  SetMnemonic(ExportTableButton, 'x');

  SetMnemonic(SeeGraphButton, 'o');
  SetMnemonic(MakeGraphButton, 'm');
  SetMnemonic(SaveGraphButton, 'c');
  SetMnemonic(BlWhButton, 'b');
  SetMnemonic(SelectButton, 's');
  SetMnemonic(CommentButton, 'n');
  SetMnemonic(GoButton1, 'g');
  SetMnemonic(GoButton3, 'g');

  SetMnemonic(IntroPage->FirstButton, '1');
  SetMnemonic(IntroPage->SecondButton, '2');
  SetMnemonic(IntroPage->AlphaButton, 'a');
  SetMnemonic(IntroPage->HeadButton, 'w');
  SetMnemonic(IntroPage->BackButton, 'b');
}

void TRainForm::FitIntoScreen() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect available = screen->availableGeometry();
  QRect g = geometry();
  const int bottom = available.bottom() + 1 - kFrameAllowance;
  if (g.bottom() + 1 <= bottom) return;
  // Up first, then smaller: the tabs scroll.
  g.moveTop(std::max(available.top() + kFrameAllowance / 2, bottom - g.height()));
  if (g.bottom() + 1 > bottom) g.setBottom(bottom - 1);
  setGeometry(g);
}

void TRainForm::PaintNow() {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
