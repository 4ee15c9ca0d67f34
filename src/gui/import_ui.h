// The window's import of daily-price files ("取込"): the file dialog, the
// code asked for a file that names none, the progress bar over many files,
// one summary box, and the stock made current afterwards. Also the panel a
// first start without data shows over the empty chart.
#pragma once

#include <QFrame>
#include <QStringList>
#include <functional>

QT_BEGIN_NAMESPACE
class QPushButton;
QT_END_NAMESPACE

namespace tavrine {
class Workspace;
}

namespace tavrine::gui {

class MainWindow;

// Above this many files a progress bar with a cancel button is shown.
inline constexpr int kImportAtOnce = 3;

class PriceFileImport {
 public:
  explicit PriceFileImport(MainWindow& window) : win_(window) {}

  // Asks for files in the data folder, then imports them.
  void choose();
  // Imports the files as the user would have chosen them: a code asked for
  // each file that names none (skipped when none is given), the files taken,
  // one summary box, then the last stock taken typed into Edit1 with Enter.
  // Refused as a whole while a handler waits for a page. True when a stock
  // was taken.
  bool run(const QStringList& paths);

  // Asks for the code of a file that names none; an empty answer skips the
  // file. An input box unless set (tests).
  std::function<QString(const QString& fileName)> askCode;

 private:
  QString ask(const QString& fileName);

  MainWindow& win_;
};

// True while there is nothing to chart: no stock in the list and no price
// line on the chart. The first-start panel is shown then.
bool NothingToChart(const Workspace& ws);

// The panel over the empty chart of a first start: what to do, and a button
// that opens the import.
class FirstStartPanel : public QFrame {
 public:
  FirstStartPanel(QWidget* parent, std::function<void()> onImport);
  QPushButton* button() const { return button_; }

 private:
  QPushButton* button_ = nullptr;
};

}  // namespace tavrine::gui
