// The window's import of daily-price files ("取込"): the file dialog, the
// code asked for a file that names none, the progress bar over many files,
// one summary box, and the stock made current afterwards. Also the panel a
// first start without data shows over the empty chart.
#pragma once

#include <QFrame>
#include <QStringList>
#include <functional>
#include <string>
#include <utility>

QT_BEGIN_NAMESPACE
class QPushButton;
QT_END_NAMESPACE

namespace tavrine {
class Workspace;
}

namespace tavrine::gui {

// Above this many files a progress bar with a cancel button is shown.
inline constexpr int kImportAtOnce = 3;

class PriceFileImport {
 public:
  // parent owns the dialogs; changed shows the tables as they now are;
  // select charts a stock by its code.
  PriceFileImport(QWidget* parent, Workspace& ws, std::function<void()> changed,
                  std::function<void(const std::string& code)> select)
      : parent_(parent), ws_(ws), changed_(std::move(changed)), select_(std::move(select)) {}

  // Asks for files in the data folder; none when the user cancels.
  QStringList askPaths();
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

  QWidget* parent_;
  Workspace& ws_;
  std::function<void()> changed_;
  std::function<void(const std::string& code)> select_;
};

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
