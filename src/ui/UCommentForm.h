// The comment window: why a measured curve may fit the model poorly. The
// graphics tab shows it, not modal, for the graph kinds it concerns.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

namespace CommentTexts {
inline constexpr const char* kCaption = "Comment on shape of the curve";
extern const char* const kCommentMemo;
}  // namespace CommentTexts

class TCommentForm : public QWidget {
  Q_OBJECT
 public:
  explicit TCommentForm(QWidget* parent = nullptr);

  QPlainTextEdit* CommentMemo;

 public slots:
  void ShowComment();
};
