// The fetch of 一括更新: what the list needs from the J-Quants API after its
// newest day, asked through a JQuantsClient.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "list/update.h"
#include "web/jquants_client.h"

namespace tavrine {

// Fetches what the list needs after its newest day up to today: the trading
// days from the calendar, then the bars by day (one request a day) or, when
// that takes fewer requests, by stock over the whole period; the master when
// a stock is held by code alone. A trading day without any record stops the
// fetch there: `undelivered` is set to it and the days before are returned.
// Only the plan's window is asked (on the free plan up to today less its
// delay from the start); the free plan's end is named in the notes.
// A day whose records all lack a price is no trading day: it is left out and
// named in `skipped`. By stock, a day without a price of the list's stocks is
// asked by day to tell which of the three it is (a delivered day without the
// list's stocks is kept, blank). A record sent twice counts once; a stock
// with two different records of one day gets no new day at all (named in the
// notes). A master that cannot be had leaves the names out (named in the notes).
// The list's newest day is asked too (one more request by day; by stock each
// period starts on it): a stock whose adjusted close that day is no longer
// its stored close times the fetched factors has moved, and its history over
// the plan's window is asked by code for the list to rebuild it (a stock
// without a price that day is left alone). Days between the list's newest
// and the window's start are named in the notes, never filled.
struct FetchPlan {
  int listNewest = 0;  // the list's newest day
  int listOldest = 0;  // the list's oldest day
  int today = 0;
  std::vector<ListedStock> stocks;
};
struct FetchProgress {
  int done = 0, total = 0;  // requests of bars done, and planned
  int day = 0;              // the day being fetched (by day), else 0
  std::string code;         // the stock being fetched (by stock), else empty
  bool byStock = false;
};
struct FetchResult {
  UpdateData data;
  int undelivered = 0;
  std::vector<int> skipped;        // days without any price, oldest first
  std::vector<std::string> notes;  // the skipped days, refused stocks, missing names
  int tradingDays = 0;             // trading days after the list's newest up to today
  // Every record of the days taken as delivered, the whole market's where
  // the days were asked by day, for the price store.
  std::vector<JQuantsBar> delivered;
  int planEnd = 0;  // the free plan: the last day it covers (0: another plan)
};
// The progress hook is called before each request of bars; false cancels
// (JQuantsCancelled). Throws JQuantsError.
FetchResult FetchNewDays(JQuantsClient& client, const FetchPlan& plan,
                         const std::function<bool(const FetchProgress&)>& progress);

}  // namespace tavrine
