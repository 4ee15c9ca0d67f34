// A data folder of generated sample data (tools/sample) for a window test
// program that links tavrine_sample: the list, the calendar, the sibling
// tools' files and the market folder, with the settings kept in it and the
// quote site unreachable.
#pragma once

#include <memory>
#include <string>

#include "../../tools/sample/sample.h"
#include "window_fixture.h"

namespace tavrine::testing {

inline std::unique_ptr<DataFolder> SampleFolder(const std::string& today, int stocks, int days) {
  auto folder = std::make_unique<DataFolder>(today);
  KeepSettingsIn(PathOf(*folder) + "/config");
  sample::Options o;
  o.dir = folder->dir().string();
  o.stocks = stocks;
  o.days = days;
  sample::Generate(o);
  // Nothing listens there: the calendar refresh fails at once.
  folder->set("TAVRINE_QUOTE_HOST", "127.0.0.1:1");
  return folder;
}

}  // namespace tavrine::testing
