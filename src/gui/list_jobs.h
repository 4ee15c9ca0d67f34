// The window's jobs that change the stock list (import, 一括更新, the
// collection and its storing, add, rename, remove, undo, a price added by
// hand) run one at a time. A job that arrives while another runs, or while a
// handler waits for a page, waits here and runs once that has ended, on the
// list as it left it; the status line says that it waits. So no job saves a
// copy of the list older than the one another job has saved meanwhile.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>

namespace tavrine::gui {

class ListJobs : public QObject {
 public:
  // busy: a handler waits for a page (Workspace::busy()); note: says what
  // waits behind what (the status line).
  ListJobs(std::function<bool()> busy, std::function<void(const QString&)> note,
           QObject* parent = nullptr);

  // Runs the job `what` ("取込", "一括更新") now when nothing runs; else
  // keeps it for later and says so. True when it ran now.
  bool run(const QString& what, std::function<void()> job);

  bool running() const { return running_; }
  // The jobs waiting, in the order they run.
  int waiting() const { return static_cast<int>(queue_.size()); }

  // The note a waiting job gives.
  static QString WaitNote(const QString& what, const QString& behind);

 private:
  struct Job {
    QString what;
    std::function<void()> run;
  };
  // Runs the waiting jobs while nothing else runs.
  void drain();

  std::function<bool()> busy_;
  std::function<void(const QString&)> note_;
  std::deque<Job> queue_;
  bool running_ = false;
  QString current_;
  // Looks again while a handler that waits for a page is on the stack.
  QTimer retry_;
};

}  // namespace tavrine::gui
