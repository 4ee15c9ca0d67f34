// The price store: every price the data service, an imported file or a
// collection gave, per stock and day, in tavrine/prices.sqlite beside the
// list (SQLite, WAL). The list stays the only source of closes for the
// rules; the store adds the open, high, low, volume and the service's
// factors that the list cannot hold. Prices are kept raw (as traded that
// day) with the day's split factor, so any basis can be had from them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavrine {

// Where a stored day came from. A service day is never replaced by an
// imported or collected one.
enum class PriceSource { Service = 0, Import = 1, Collection = 2 };

struct StoredBar {
  std::string code;  // four characters, as the list keeps it
  int day = 0;       // DaysFromCivil
  // Raw prices of the day; empty where the source gave none.
  std::optional<double> open, high, low, close, volume, turnover;
  bool stopHigh = false, stopLow = false;  // ended at the day's limit (UL, LL)
  double adjFactor = 1;                    // split factor taking effect that day (0.5 for 1:2)
  std::optional<double> exRT;              // the service's ExRT, where given
  std::optional<double> adjVolume;         // the service's adjusted volume (AdjVo)
  PriceSource source = PriceSource::Service;
};

// HomePath("tavrine/prices.sqlite").
std::string PriceStorePath();

class PriceStore {
 public:
  // Opens the store at path, creating it (and its folder) when missing. A
  // file that is no database, holds another schema or fails the integrity
  // check is renamed aside as PATH.damaged-YYYYMMDD-HHMMSS and an empty
  // store is made in its place; note() then says so (Japanese). Throws
  // FileError when no store can be had at all.
  explicit PriceStore(const std::string& path);
  ~PriceStore();
  PriceStore(const PriceStore&) = delete;
  PriceStore& operator=(const PriceStore&) = delete;

  // Empty, or the line the update's or import's summary shows about a store
  // set aside.
  const std::string& note() const { return note_; }

  // Writes the bars in one transaction (all or none); a bar replaces the
  // stored one of its code and day unless that came from the service and
  // this one does not. Throws FileError, the store then as it was.
  void Put(const std::vector<StoredBar>& bars);

  // One stock's stored days, oldest first.
  std::vector<StoredBar> Bars(const std::string& code) const;

 private:
  struct Db;
  std::unique_ptr<Db> db_;
  std::string note_;
};

// Opens the store at path and writes the bars in one transaction. Never
// throws: the lines returned (Japanese) say that a damaged store was set
// aside, or that the prices could not be kept; empty when all went well.
std::vector<std::string> KeepPrices(const std::vector<StoredBar>& bars,
                                    const std::string& path = PriceStorePath());

// Reads one stock's days from the store at path without creating,
// checking or repairing anything: empty when there is no store or it
// cannot be read.
std::vector<StoredBar> ReadStoredBars(const std::string& path, const std::string& code);

}  // namespace tavrine
