#include "UWorker.h"

#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QRegularExpression>
#include <QThread>
#include <QWidget>
#include <algorithm>
#include <exception>

#include "AlphaSearch.h"

namespace {
constexpr int kBarSteps = 1000;

// Runs `function` on the thread of `window` and waits for it; at once when
// this is that thread.
template <class Function>
void OnWindowThread(QObject* window, Function function) {
  if (QThread::currentThread() == window->thread()) {
    function();
  } else {
    QMetaObject::invokeMethod(window, function, Qt::BlockingQueuedConnection);
  }
}

void SetEnabled(QObject* object, bool enabled) {
  if (auto* widget = qobject_cast<QWidget*>(object)) widget->setEnabled(enabled);
  if (auto* action = qobject_cast<QAction*>(object)) action->setEnabled(enabled);
}

bool IsEnabled(QObject* object) {
  if (auto* widget = qobject_cast<QWidget*>(object)) return widget->isEnabled();
  if (auto* action = qobject_cast<QAction*>(object)) return action->isEnabled();
  return false;
}
}  // namespace

TWorker::TWorker(QWidget* panel, QProgressBar* bar, QPushButton* cancel, QObject* parent)
    : QObject(parent), panel_(panel), bar_(bar), cancel_(cancel) {
  bar_->setRange(0, kBarSteps);
  panel_->hide();
  connect(cancel_, &QPushButton::clicked, this, &TWorker::Cancel);
}

TWorker::~TWorker() = default;

void TWorker::Cancel() {
  cancelled_ = true;
  if (cancel_) cancel_->setEnabled(false);
}

void TWorker::Progress(double share) {
  const int value = static_cast<int>(std::clamp(share, 0.0, 1.0) * kBarSteps);
  QMetaObject::invokeMethod(
      this,
      [this, value] {
        if (!bar_) return;
        bar_->setRange(0, kBarSteps);
        bar_->setValue(value);
      },
      Qt::QueuedConnection);
}

bool TWorker::Run(const TJob& job, const std::vector<QObject*>& locked) {
  busy_ = true;
  cancelled_ = false;
  // What was enabled is enabled again afterwards, nothing else.
  std::vector<QPointer<QObject>> relock;
  for (QObject* object : locked) {
    if (object && IsEnabled(object)) {
      relock.emplace_back(object);
      SetEnabled(object, false);
    }
  }
  // Busy until the job tells how far it has come.
  bar_->setRange(0, 0);
  cancel_->setEnabled(true);
  panel_->show();

  std::exception_ptr failure;
  QThread* thread = QThread::create([&] {
    try {
      job(*this);
    } catch (...) {
      failure = std::current_exception();
    }
  });
  QEventLoop loop;
  connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
  thread->start();
  loop.exec();
  // The loop may be ended early (the program quits): the job is stopped, and
  // its questions are still answered while it ends.
  if (!thread->isFinished()) {
    cancelled_ = true;
    while (!thread->wait(10)) QCoreApplication::processEvents();
  }
  delete thread;

  if (panel_) panel_->hide();
  for (const QPointer<QObject>& object : relock) {
    if (object) SetEnabled(object, true);
  }
  busy_ = false;
  const bool cancelled = cancelled_;
  cancelled_ = false;
  if (failure) {
    try {
      std::rethrow_exception(failure);
    } catch (const TSearchCancelled&) {
      return false;
    }
  }
  return !cancelled;
}

void TWindowThreadDialogs::Message(const std::string& text) {
  OnWindowThread(window_, [&] { target_.Message(text); });
}

bool TWindowThreadDialogs::ConfirmYesNo(const std::string& question) {
  bool answer = false;
  OnWindowThread(window_, [&] { answer = target_.ConfirmYesNo(question); });
  return answer;
}

void TWindowThreadDialogs::Progress(const std::string& line) {
  if (const double share = ProgressShareOfLine(line); share >= 0) control_.Progress(share);
  OnWindowThread(window_, [&] { target_.Progress(line); });
}

void TWindowThreadDialogs::Pause(int milliseconds) {
  // The pauses are short (a second at most); after Cancel there are none.
  if (!control_.Cancelled()) target_.Pause(milliseconds);
}

std::optional<double> TWindowThreadDialogs::AskNumber(const std::string& question, double initial) {
  std::optional<double> answer;
  OnWindowThread(window_, [&] { answer = target_.AskNumber(question, initial); });
  return answer;
}

double ProgressShareOfLine(const std::string& line) {
  static const QRegularExpression percent(QStringLiteral("(\\d+(?:\\.\\d+)?)%"));
  const QRegularExpressionMatch match = percent.match(QString::fromStdString(line));
  return match.hasMatch() ? match.captured(1).toDouble() / 100 : -1;
}
