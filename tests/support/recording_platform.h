// The platform of the unit tests: it records what a window would show
// (message boxes, error reports, progress and status lines, the help
// browser's addresses), counts print requests, event pumps and wait cursors,
// and can play the user's actions while a download waits.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "store/platform.h"

namespace tavrine::testing {

class RecordingPlatform : public Platform {
 public:
  void message(const std::string& text) override { messages.push_back(text); }
  void error(const std::string& text) override { errors.push_back(text); }
  void progress(const std::string& text) override { progresses.push_back(text); }
  void status(const std::string& text) override { statuses.push_back(text); }
  void navigate(const std::string& url) override { urls.push_back(url); }
  // Answers with printFailure: empty means printed.
  std::string printChart() override {
    ++prints;
    return printFailure;
  }
  // Runs duringWait once, at the first pump after it was set.
  void processEvents() override {
    ++pumps;
    if (auto f = std::exchange(duringWait, nullptr)) f();
  }
  void beginWait() override {
    ++waitDepth;
    ++waitsBegun;
  }
  void endWait() override {
    --waitDepth;
    ++waitsEnded;
  }

  std::vector<std::string> messages, errors, progresses, statuses, urls;
  int prints = 0;
  std::string printFailure;
  int pumps = 0;
  std::function<void()> duringWait;
  int waitDepth = 0;  // wait cursors begun and not yet ended
  int waitsBegun = 0, waitsEnded = 0;
};

// A platform whose event pump runs duringWait once: a test's way into the
// moment a handler waits for a page (and so the workspace is busy).
class WaitingPlatform : public RecordingPlatform {
 public:
  std::function<void()> duringWait;
  void processEvents() override {
    if (auto f = std::exchange(duringWait, nullptr)) f();
  }
};

}  // namespace tavrine::testing
