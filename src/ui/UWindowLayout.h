// Layout helpers of the windows. The tab pages keep the designed positions of
// their controls; a few chosen controls follow the page's right or bottom
// edge when the window grows, and a page smaller than its design scrolls
// instead of cutting controls off.
#pragma once

#include <QHash>
#include <QLabel>
#include <QScrollArea>
#include <QSize>
#include <QString>
#include <QWidget>

class TAnchorPanel : public QWidget {
  Q_OBJECT
 public:
  enum : int { AnchorLeft = 1, AnchorTop = 2, AnchorRight = 4, AnchorBottom = 8 };

  // `designSize` is the room the designed positions need; the panel never
  // gets smaller (the scroll area around it scrolls instead).
  explicit TAnchorPanel(QSize designSize, QWidget* parent = nullptr);

  // From now on the widget keeps its distance to the edges in `anchors`: an
  // edge anchored on both sides stretches, one anchored on the far side only
  // moves. The distances are taken from its geometry in the designed panel.
  // Geometry that the program sets later (a layout switch) is followed too.
  void Anchor(QWidget* widget, int anchors);

  // Changes the designed distance of an anchored widget to the right edge
  // (a panel shown beside it takes the room) and applies it at once.
  void SetRightMargin(QWidget* widget, int margin);

  QSize DesignSize() const { return designSize_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct TAnchor {
    int Anchors = 0;
    int RightMargin = 0;
    int BottomMargin = 0;
    QSize DesignSize;
  };
  // True when the widget had to be moved or resized.
  bool Apply(QWidget* widget);

  QSize designSize_;
  QHash<QWidget*, TAnchor> anchors_;
  bool applying_ = false;
};

// Puts `content` into a frameless scroll area that fills `page`; the content
// grows with the page and scrolls when the page is smaller than its minimum.
QScrollArea* PutInScrollArea(QWidget* page, QWidget* content);

// Moves the direct children of `page` into a new anchor panel of the given
// design size inside a scroll area, keeping their positions and visibility.
TAnchorPanel* MoveIntoAnchorPanel(QWidget* page, QSize designSize);

// `caption` with an Alt mnemonic on the first `letter` (either case); the
// caption is returned unchanged when it has no such letter or has one already.
QString WithMnemonic(const QString& caption, QChar letter);

// Sizes and places a top-level window centred on `owner`'s frame, inside the
// available area of the owner's screen; a window larger than that area is
// made smaller. The window manager's frame is taken to be the owner's.
void CentreOnOwner(QWidget* window, const QWidget* owner);

// A message box's caption is shown whole: the box is made at least as wide
// as its title bar needs.
class QMessageBox;
void WidenForCaption(QMessageBox& box);
