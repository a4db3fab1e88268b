#include "UCommentForm.h"

#include <QVBoxLayout>

namespace CommentTexts {
const char* const kCommentMemo =
    "Normally the measured runoff rises with the rainfall (recharge) at a constant or an "
    "increasing rate. The model then fits the data well.\n"
    "\n"
    "When the fit is poor, or the relation between runoff and recharge is flat or even falls, "
    "there are two usual reasons:\n"
    "\n"
    "1. The measurement interval is longer than the time of concentration of the catchment. "
    "The runoff of a shower has then largely passed before the next measurement. Use data "
    "with shorter time intervals.\n"
    "\n"
    "2. The catchment is large, so that the runoff reaches the outlet with a time lag. A "
    "version of the model that estimates the time lag may help; please contact the author.\n"
    "\n"
    "In other cases the model cannot explain the anomaly.";
}  // namespace CommentTexts

TCommentForm::TCommentForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("CommentForm");
  setWindowTitle(CommentTexts::kCaption);
  resize(402, 387);
  CommentMemo = new QPlainTextEdit(QString::fromUtf8(CommentTexts::kCommentMemo), this);
  CommentMemo->setObjectName("CommentMemo");
  CommentMemo->setReadOnly(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(CommentMemo);
}

void TCommentForm::ShowComment() {
  show();
  raise();
  activateWindow();
}
