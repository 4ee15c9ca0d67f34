// A window of its own beside the main window (一括検証, 本日の信号, 検証図):
// a heading strip on top, the window's own font, Escape closes it, and its
// message boxes can be caught (tests).
#pragma once

#include <QBoxLayout>
#include <QSize>
#include <QString>
#include <QWidget>
#include <atomic>
#include <exception>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

QT_BEGIN_NAMESPACE
class QLabel;
class QAbstractItemModel;
class QProgressBar;
class QTableView;
class QPushButton;
class QTimer;
QT_END_NAMESPACE

namespace tavrine::gui {

// One long piece of work of a tool window on a worker thread: started and
// collected on the window's thread, which polls done(). The result and the
// error (the exception's text) are handed over once.
template <class Result>
class WorkerRun {
 public:
  WorkerRun() = default;
  WorkerRun(const WorkerRun&) = delete;
  WorkerRun& operator=(const WorkerRun&) = delete;
  ~WorkerRun() { join(); }

  bool running() const { return thread_.joinable(); }
  bool done() const { return done_; }
  void start(std::function<Result()> work) {
    join();
    done_ = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      result_ = Result();
      error_.clear();
    }
    thread_ = std::thread([this, work = std::move(work)] {
      Result out{};
      std::string error;
      try {
        out = work();
      } catch (const std::exception& e) {
        error = e.what();
      } catch (...) {
        error = "検証中に不明なエラーが起きました。";
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        result_ = std::move(out);
        error_ = std::move(error);
      }
      done_ = true;
    });
  }
  // Waits for the thread; its result goes to out, its error is returned
  // (empty when none).
  std::string take(Result& out) {
    join();
    std::lock_guard<std::mutex> lock(mutex_);
    out = std::move(result_);
    return std::move(error_);
  }
  void join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
  std::atomic<bool> done_{false};
  std::mutex mutex_;
  Result result_{};
  std::string error_;
};

class ToolWindow : public QWidget {
 public:
  // name is the object name; title goes in the title bar and the heading.
  ToolWindow(const QString& name, const QString& title, const QString& heading, QSize size,
             QWidget* parent);

  // Message boxes go here instead of on screen when set (tests).
  std::function<void(const std::string& text, bool isError)> messageHook;

  // The line saying what the window did last and its "CSV保存" button;
  // null in a window without them.
  QLabel* statusLabel() const { return status_; }
  QPushButton* csvButton() const { return csv_; }

 protected:
  // A message box, or messageHook when set.
  void box(const QString& text, bool isError);
  // A strip under the heading in the colours of the control panel, added
  // to root(), with a layout of the direction given; the strip is its
  // parentWidget().
  QBoxLayout* addControlStrip(QBoxLayout::Direction direction, int sideMargin = 8, int spacing = 6);
  // Saves through save; a failure is shown in a box. False on failure.
  bool saveOrSay(const std::function<void()>& save);
  // "CSV保存": asks for a file under the suggested name, then saves it.
  void askCsv(const QString& suggested, const std::function<bool(const QString&)>& save);
  // A button of the control strip, of a fixed size.
  QPushButton* stripButton(QWidget* strip, const QString& caption, const char* name, int width);
  // The "CSV保存" button: askCsv under the suggested name when pressed.
  QPushButton* addCsvButton(QWidget* strip, const char* name, const QString& suggested,
                            std::function<bool(const QString&)> save);
  // A line of a progress bar (at 0 of 1) and the status label (status_,
  // named statusName) added to the strip's layout; the bar takes the room
  // to spare when wideBar, else the label does.
  QProgressBar* addProgressLine(QBoxLayout* strip, const char* statusName, bool wideBar);
  // A timer of the window calling poll every 50 ms while started.
  QTimer* pollTimer(std::function<void()> poll);
  QVBoxLayout* root() const { return root_; }
  QLabel* headingLabel() const { return heading_; }
  void keyPressEvent(QKeyEvent* e) override;
  // Opens inside the screen: centred over the main window the first time,
  // never larger than the screen's free area.
  void showEvent(QShowEvent* e) override;

  QLabel* status_ = nullptr;    // made by the window that has one
  QPushButton* csv_ = nullptr;  // made by addCsvButton

 private:
  QVBoxLayout* root_ = nullptr;
  QLabel* heading_ = nullptr;
};

// A tool window over a list of rows (一括検証, 本日の信号): a double click on a
// row makes its stock and rule current in the main window, and "CSV保存"
// saves the rows in the order shown.
class RowsToolWindow : public ToolWindow {
 public:
  using ToolWindow::ToolWindow;

  // Saves the rows in the order shown; false (after a message) on failure.
  virtual bool saveCsv(const QString& path) = 0;
  // Makes the stock and rule of a shown row current in the main window.
  virtual void pickRow(int viewRow) = 0;
  QTableView* table() const { return table_; }

 protected:
  // The list (table_) under the strip, taking the room to spare: the rows
  // of model in columns of the widths given, stretchColumn taking what
  // the window has to spare.
  QTableView* addRowList(const QString& name, QAbstractItemModel* model,
                         std::initializer_list<int> widths, int stretchColumn);

  QTableView* table_ = nullptr;
};

}  // namespace tavrine::gui
