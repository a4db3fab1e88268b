// Main window: how the tabs grow with the window, scroll when it is smaller,
// give their labels room, and how the keyboard reaches the buttons.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "UGraphicsTab.h"
#include "UInputTab.h"
#include "UIntroPages.h"
#include "UOutputTab.h"
#include "URainForm.h"
#include "UWindowLayout.h"

namespace {
// What a window manager adds above and below a window, at most.
constexpr int kFrameAllowance = 40;

void SetMnemonic(QAbstractButton* button, char letter) {
  button->setText(WithMnemonic(button->text(), QChar::fromLatin1(letter)));
}
}  // namespace

void TRainForm::ArrangeTabs() {
  inputTab_->Arrange();
  outputTab_->Arrange();
  graphicsTab_->Arrange();

  // Intro and Figure lay themselves out; they scroll when the window is
  // small. Alt+F and Alt+E open the menus; the buttons of one tab share no
  // letter with them or with each other.
  SetMnemonic(IntroPage->FirstButton, '1');
  SetMnemonic(IntroPage->SecondButton, '2');
  SetMnemonic(IntroPage->AlphaButton, 'a');
  SetMnemonic(IntroPage->HeadButton, 'w');
  SetMnemonic(IntroPage->BackButton, 'b');
  PutInScrollArea(IntroTabSheet, IntroPage);
  PutInScrollArea(FigureTabSheet, FigurePage);
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
