// The in-process stand-in of the J-Quants API for the update's tests: a
// sample data folder with the list some days behind the market, and the
// client pointed at the stand-in.
#pragma once

#include <memory>
#include <string>

#include "../../tools/jquants-server/jquants_site.h"
#include "../support/data_folder.h"
#include "sample.h"
#include "store/text.h"

namespace tavrine::jquantstest {

// The key the stand-in expects; tests look for it in every output.
inline constexpr const char* kKey = "sekret-KEY-2718";

// A day of the engine as the stand-in counts days.
inline int SiteDay(int engineDay) { return jquantssite::ParseDay(DateToStr(engineDay)); }

// Writes a sample folder: `stocks` list stocks over `days` days, the list
// ending `lag` trading days before 2003/12/26, the market up to that day.
inline sample::Result SampleFolder(const testing::DataFolder& f, int stocks, int days, int lag) {
  sample::Options o;
  o.dir = f.dir().string();
  o.stocks = stocks;
  o.days = days;
  o.today = DaysFromCivil(2003, 12, 26);
  o.lag = lag;
  o.marketExtra = 3;
  return sample::Generate(o);
}

// The stand-in serving the folder on a free loopback port (HTTPS at
// localhost when a certificate is given), with the program's host and key
// pointed at it for the life of the folder. A paid plan unless `plan` says
// otherwise: the free plan's data ends 12 weeks before today.
class LiveJQuants {
 public:
  LiveJQuants(testing::DataFolder& f, jquantssite::Options o = {},
              const std::string& plan = "standard") {
    o.data = f.dir().string();
    tls_ = !o.certFile.empty();
    if (o.key == "test-key") o.key = kKey;
    site_ = std::make_unique<jquantssite::Site>(o);
    port_ = site_->bind(0);
    site_->start();
    f.set("TAVRINE_JQUANTS_HOST", host());
    f.set("TAVRINE_JQUANTS_KEY", kKey);
    f.set("TAVRINE_JQUANTS_PLAN", plan);
  }
  ~LiveJQuants() { site_->stop(); }
  std::string host() const {
    return (tls_ ? "https://localhost:" : "127.0.0.1:") + std::to_string(port_);
  }
  jquantssite::Site& site() { return *site_; }
  int port() const { return port_; }

 private:
  std::unique_ptr<jquantssite::Site> site_;
  int port_ = -1;
  bool tls_ = false;
};

}  // namespace tavrine::jquantstest
