// What the engine needs from its surroundings. The Qt window, the script
// driver and the tests each provide one.
#pragma once

#include <string>

namespace tavrine {

class Platform {
 public:
  virtual ~Platform() = default;

  // A message box with the system's text (CR shown as a line break).
  virtual void message(const std::string& text) = 0;
  // The standard error report of a conversion or file error that ended a chain.
  virtual void error(const std::string& text) = 0;
  // The splash window's progress line, repainted at once.
  virtual void progress(const std::string& text) = 0;
  // The collection panel's status line changed (StatusBar1's text is in the Form).
  virtual void status(const std::string& text) = 0;
  // The help window's browser is sent to a URL.
  virtual void navigate(const std::string& url) = 0;
  // Prints the chart as one page on the default printer. Returns an error
  // text when printing failed, empty on success.
  virtual std::string printChart() = 0;

  // Lets the window handle pending events while a download waits.
  virtual void processEvents() {}
  // Wait cursor; calls nest.
  virtual void beginWait() {}
  virtual void endWait() {}
};

// A platform that shows nothing: for engines that run unseen (the rule
// scan's workers, benchmarks, fuzzing) and report in their own way.
class SilentPlatform : public Platform {
 public:
  void message(const std::string&) override {}
  void error(const std::string&) override {}
  void progress(const std::string&) override {}
  void status(const std::string&) override {}
  void navigate(const std::string&) override {}
  std::string printChart() override { return {}; }
};

// The wait cursor for the length of a scope, restored on every way out.
class WaitCursor {
 public:
  explicit WaitCursor(Platform& p) : p_(p) { p_.beginWait(); }
  ~WaitCursor() { p_.endWait(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  Platform& p_;
};

}  // namespace tavrine
