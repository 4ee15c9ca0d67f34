// The engine's surroundings in the window: message boxes, the error report,
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
  std::function<std::string()> onPrint;
  std::function<void()> onPump;

  std::string lastUrl;
  // Error reports so far: a chain of events played for the user stops after one.
  int errors = 0;

 private:
  void box(const std::string& text, bool isError);
  int waits_ = 0;
};

}  // namespace tavrine::gui
