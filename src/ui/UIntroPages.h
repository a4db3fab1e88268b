// The first two tab pages of the main window: the introduction with its four
// detail texts, and the figure of the two reservoirs. The pictures of the
// program are JPEG files compiled into the program and decoded when shown.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "UserDialogs.h"

namespace IntroTexts {
inline constexpr const char* kIntroCaption = "  Intro  ";
inline constexpr const char* kFigureCaption = " Figure ";
inline constexpr const char* kHelpGroup = "Details";
inline constexpr const char* kFirstButton = "1st (pre) reservoir";
inline constexpr const char* kSecondButton = "2nd (main) reservoir";
inline constexpr const char* kAlphaButton = "Alpha (response) function";
inline constexpr const char* kHeadButton = "Water level (head)";
inline constexpr const char* kBackButton = "Back";
// The memo texts (defined beside the pages).
extern const char* const kIntroMemo;
extern const char* const kFirstMemo;
extern const char* const kSecondMemo;
extern const char* const kAlphaMemo;
extern const char* const kHeadMemo;
extern const char* const kRefMemo;
}  // namespace IntroTexts

// The program's pictures, by the names LoadPicture knows them.
namespace Pictures {
inline constexpr const char* kReservoir = "Reservoir.jpg";  // Figure tab, 527 x 435
inline constexpr const char* kInput = "InputImage.jpg";     // Input tab, 137 x 168
inline constexpr const char* kDrainage = "Drainage.jpg";    // calculator, 400 x 187
}  // namespace Pictures

// Decodes one of the program's pictures (a name of the Pictures namespace) or
// any JPEG file given by its path. When it cannot be decoded the user is told
// which picture is missing and why, and a null pixmap is returned: the window
// then simply shows no picture and stays usable.
QPixmap LoadPicture(const QString& name, TUserDialogs& dialogs);

// The text of that message.
QString PictureNotShownText(const QString& name, const QString& reason);

class TIntroPage : public QWidget {
  Q_OBJECT
 public:
  explicit TIntroPage(QWidget* parent = nullptr);

  QPlainTextEdit* IntroMemo;
  QGroupBox* HelpGroupBox;
  QPushButton* FirstButton;
  QPushButton* SecondButton;
  QPushButton* AlphaButton;
  QPushButton* HeadButton;
  QPlainTextEdit* FirstMemo;
  QPlainTextEdit* SecondMemo;
  QPlainTextEdit* AlphaMemo;
  QPlainTextEdit* HeadMemo;
  QPushButton* BackButton;

 public slots:
  void FirstButtonClick();
  void SecondButtonClick();
  void AlphaButtonClick();
  void HeadButtonClick();
  // Also what the main window does when the Intro tab is shown.
  void BackButtonClick();

 private:
  void ShowOnly(QPlainTextEdit* memo);
};

class TFigurePage : public QWidget {
  Q_OBJECT
 public:
  // `dialogs` tells the user when the picture cannot be shown.
  explicit TFigurePage(TUserDialogs& dialogs, QWidget* parent = nullptr);

  QLabel* Reservoir_Image;
  QPlainTextEdit* RefMemo;
};
