// The engine's surroundings in the window: message boxes, successes on the
// status bar, the error report,
// the splash progress line, the collection status line, the help browser,
// the printer, the event pump and the wait cursor.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

#include "store/platform.h"

namespace tavrine::gui {

class SplashWindow;
class HelpWindow;

class QtPlatform : public Platform {
 public:
  void message(const std::string& text) override;
  // A success that asks nothing of the user (取込 or 銘柄追加 done): one
  // line goes to onSuccess (the main window's status bar) when set; a longer
  // one names what was left out and stays a box.
  void success(const std::string& text);
  void error(const std::string& text) override;
  void progress(const std::string& text) override;
  void status(const std::string& text) override;
  void navigate(const std::string& url) override;
  std::string printChart() override;
  void processEvents() override;
  void beginWait() override;
  void endWait() override;

  QPointer<QWidget> parent;       // owner of the message boxes
  QPointer<SplashWindow> splash;  // where progress texts go
  QPointer<HelpWindow> help;      // where navigate goes

  // When set, message boxes are handed here instead of shown (tests).
  std::function<void(const std::string& text, bool isError)> messageHook;
  std::function<void(const std::string&)> onStatus;
  std::function<void(const std::string&)> onSuccess;
  std::function<std::string()> onPrint;
  std::function<void()> onPump;

  std::string lastUrl;
  // Error reports so far: a chain of events played for the user stops after one.
  int errors = 0;

 private:
  void box(const std::string& text, bool isError);
  int waits_ = 0;
};

// A success said by the window's platform as above; any other platform
// (the driver's, a test's) shows it as its message.
void SaySuccess(Platform& platform, const std::string& text);

}  // namespace tavrine::gui
