// Long work of the window (Save/Run's run, the fit map) on a worker thread:
// the bar with its progress and Cancel, and what is locked meanwhile.
#include <QProgressBar>
#include <QToolBar>

#include "UGraphicsTab.h"
#include "UInputTab.h"
#include "URainForm.h"
#include "UWorker.h"

namespace T = RainFormTexts;

void TRainForm::CreateWorkBar() {
  WorkBar = new QToolBar(this);
  WorkBar->setObjectName("WorkBar");
  WorkBar->setMovable(false);
  WorkBar->setFloatable(false);
  WorkBar->toggleViewAction()->setVisible(false);
  WorkProgress = new QProgressBar(WorkBar);
  WorkProgress->setObjectName("WorkProgress");
  CancelButton = new QPushButton(T::kCancelButton, WorkBar);
  CancelButton->setObjectName("CancelButton");
  WorkBar->addWidget(WorkProgress);
  WorkBar->addWidget(CancelButton);
  addToolBar(Qt::BottomToolBarArea, WorkBar);
  worker_ = new TWorker(WorkBar, WorkProgress, CancelButton, this);
}

std::vector<QObject*> TRainForm::LockedWhileWorking() const {
  std::vector<QObject*> locked;
  // Every command of the menus but Exit, which cancels instead.
  for (const QMenu* menu : {FileMenu, EditMenu}) {
    for (QAction* action : menu->actions()) {
      if (action != FileExit1 && !action->isSeparator()) locked.push_back(action);
    }
  }
  // What takes typed data on the Input tab (the wait memo and the help stay
  // usable), and the buttons of the Graphics tab, which would start more work.
  for (QWidget* control : inputTab_->findChildren<QWidget*>()) {
    if (control->objectName() == "HelpButton") continue;
    if (control->inherits("QLineEdit") || control->inherits("QComboBox") ||
        control->inherits("QAbstractButton") || control->inherits("QAbstractItemView")) {
      locked.push_back(control);
    }
  }
  for (QWidget* control : graphicsTab_->findChildren<QWidget*>()) {
    if (control->inherits("QAbstractButton") || control->inherits("QGroupBox")) {
      locked.push_back(control);
    }
  }
  return locked;
}

bool TRainForm::RunJob(const TWindowJob& job) {
  if (worker_->Busy()) return false;
  TWindowThreadDialogs dialogs(formDialogs_, this, *worker_);
  return worker_->Run([&](TJobControl& control) { job(dialogs, control); }, LockedWhileWorking());
}
