// Long work off the window's thread: a job runs on a thread of its own while
// the window stays alive (it paints, its tabs can be read, its help opened),
// with a progress bar and a Cancel button. The job is a function given a
// TJobControl; what it says to the user goes through TWindowThreadDialogs,
// which carries each message and question over to the window's thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "UserDialogs.h"

// What a running job may ask of its worker: whether it is to stop, and how
// far it has come.
class TJobControl {
 public:
  virtual ~TJobControl() = default;
  // True once the user pressed Cancel; the job then ends as soon as it can
  // without leaving anything half done. Safe from any thread.
  virtual bool Cancelled() const = 0;
  // The share of the job done, 0 .. 1; the bar follows. Safe from any thread.
  virtual void Progress(double share) = 0;
};

using TJob = std::function<void(TJobControl&)>;

class TWorker : public QObject, public TJobControl {
  Q_OBJECT
 public:
  // `panel` (holding `bar` and `cancel`) shows while a job runs; `cancel`
  // stops it.
  TWorker(QWidget* panel, QProgressBar* bar, QPushButton* cancel, QObject* parent = nullptr);
  ~TWorker() override;

  // Runs `job` on a thread of its own and returns when it has ended; the
  // window's event loop runs meanwhile, the `locked` widgets and actions
  // disabled. False when the job was cancelled. An exception of the job is
  // thrown here again, on the window's thread.
  bool Run(const TJob& job, const std::vector<QObject*>& locked);
  bool Busy() const { return busy_; }
  // Asks the running job to stop.
  void Cancel();

  bool Cancelled() const override { return cancelled_; }
  void Progress(double share) override;

 private:
  QPointer<QWidget> panel_;
  QPointer<QProgressBar> bar_;
  QPointer<QPushButton> cancel_;
  std::atomic<bool> cancelled_{false};
  bool busy_ = false;
};

// The dialogs of a job: messages, questions and progress lines are handed to
// `target` on the thread of `window` (the job waits for the answer); after
// Cancel no pause is made. A progress line naming a percentage ("Progress
// 12.5% ....") moves the bar as well.
class TWindowThreadDialogs : public TUserDialogs {
 public:
  TWindowThreadDialogs(TUserDialogs& target, QObject* window, TJobControl& control)
      : target_(target), window_(window), control_(control) {}
  void Message(const std::string& text) override;
  bool ConfirmYesNo(const std::string& question) override;
  void Progress(const std::string& line) override;
  void Pause(int milliseconds) override;
  std::optional<double> AskNumber(const std::string& question, double initial) override;

 private:
  TUserDialogs& target_;
  QObject* window_;
  TJobControl& control_;
};

// The share a progress line names ("Progress 12.5% ...." gives 0.125); a
// negative value for a line without one.
double ProgressShareOfLine(const std::string& line);
