// The splash window shown while the start-up runs: a borderless, always-on-top
// panel whose progress line repaints at once.
#pragma once

#include <QLabel>
#include <QWidget>

namespace tavrine::gui {

class SplashWindow : public QWidget {
  Q_OBJECT
 public:
  explicit SplashWindow(QWidget* parent = nullptr);

  // Replaces the progress line and paints it now: the start-up does not
  // return to the event loop until it is done.
  void setProgress(const QString& text);
  QString progress() const { return prog_->text(); }

 private:
  QLabel* prog_;
};

}  // namespace tavrine::gui
