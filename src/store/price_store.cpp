#include "store/price_store.h"

#include <sqlite3.h>

#include <ctime>
#include <filesystem>
#include <stdexcept>

#include "store/paths.h"
#include "store/text.h"

namespace tavrine {

namespace {

namespace fs = std::filesystem;

// Marks the file as this program's store ("TAVP"), and the schema's version.
constexpr int kApplicationId = 0x54415650;
constexpr int kSchemaVersion = 1;

constexpr const char* kSchema =
    "CREATE TABLE prices("
    " code TEXT NOT NULL, day INTEGER NOT NULL,"
    " open REAL, high REAL, low REAL, close REAL, volume REAL, turnover REAL,"
    " ul INTEGER NOT NULL, ll INTEGER NOT NULL, adj_factor REAL NOT NULL,"
    " ex_rt REAL, adj_volume REAL, source INTEGER NOT NULL,"
    " PRIMARY KEY (code, day)) WITHOUT ROWID;";
constexpr const char* kColumns =
    "code, day, open, high, low, close, volume, turnover, ul, ll, adj_factor, ex_rt, adj_volume, "
    "source";

struct Failure {
  std::string what;
  int code = SQLITE_ERROR;  // the primary result code
};

Failure FailureOf(sqlite3* db) { return {sqlite3_errmsg(db), sqlite3_errcode(db) & 0xff}; }

void Exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    Failure f{err ? err : sqlite3_errmsg(db), sqlite3_errcode(db) & 0xff};
    sqlite3_free(err);
    throw f;
  }
}

// The first column of the first row of a query, as text.
std::string One(sqlite3* db, const char* sql) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) throw FailureOf(db);
  std::string out;
  const int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) {
    const unsigned char* t = sqlite3_column_text(st, 0);
    if (t) out = reinterpret_cast<const char*>(t);
  } else if (rc != SQLITE_DONE) {
    const Failure f = FailureOf(db);
    sqlite3_finalize(st);
    throw f;
  }
  sqlite3_finalize(st);
  return out;
}

sqlite3* OpenFile(const std::string& path, int flags) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    const Failure f = db ? FailureOf(db) : Failure{"out of memory", SQLITE_NOMEM};
    sqlite3_close(db);
    throw f;
  }
  sqlite3_busy_timeout(db, 5000);
  return db;
}

// A failure that says the file itself is no sound database; any other (a
// store another program holds locked, a disk error, no room) leaves the
// file alone.
bool Damage(const Failure& f) {
  return f.code == SQLITE_NOTADB || f.code == SQLITE_CORRUPT || f.code == SQLITE_FORMAT ||
         f.code == SQLITE_SCHEMA || f.code == SQLITE_ERROR;
}

// WAL, with a sync at each checkpoint rather than each commit: a crash or a
// power cut may lose the last run's prices (the next update brings them
// again), never the store as a whole.
void Synchronous(sqlite3* db) {
  Exec(db, "PRAGMA journal_mode=WAL");
  Exec(db, "PRAGMA synchronous=NORMAL");
}

// Makes the schema of an empty database, or checks that of a kept one;
// false for a file that is not a sound store of this program. Throws the
// Failure that is no sign of damage.
bool Ready(sqlite3* db) {
  try {
    const int version = std::stoi(One(db, "PRAGMA user_version"));
    const std::string tables = One(db, "SELECT count(*) FROM sqlite_master");
    if (version == 0 && tables == "0") {
      Synchronous(db);
      Exec(db, "BEGIN");
      Exec(db, kSchema);
      Exec(db, ("PRAGMA application_id=" + std::to_string(kApplicationId)).c_str());
      Exec(db, ("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str());
      Exec(db, "COMMIT");
      return true;
    }
    if (version != kSchemaVersion ||
        One(db, "PRAGMA application_id") != std::to_string(kApplicationId))
      return false;
    // The quick check reads every page and row as the full one does but
    // leaves out matching the indexes to the rows; it is paid on every open.
    if (One(db, "PRAGMA quick_check") != "ok") return false;
    sqlite3_stmt* st = nullptr;
    const std::string probe = std::string("SELECT ") + kColumns + " FROM prices LIMIT 0";
    const bool fits = sqlite3_prepare_v2(db, probe.c_str(), -1, &st, nullptr) == SQLITE_OK;
    sqlite3_finalize(st);
    if (fits) Synchronous(db);
    return fits;
  } catch (const Failure& f) {
    if (!Damage(f)) throw;
    return false;
  } catch (const std::invalid_argument&) {
    return false;
  } catch (const std::out_of_range&) {
    return false;
  }
}

std::string Stamp() { return LocalTimeText("%Y%m%d-%H%M%S"); }

void BindOptional(sqlite3_stmt* st, int i, const std::optional<double>& v) {
  if (v)
    sqlite3_bind_double(st, i, *v);
  else
    sqlite3_bind_null(st, i);
}

std::optional<double> ColumnOptional(sqlite3_stmt* st, int i) {
  if (sqlite3_column_type(st, i) == SQLITE_NULL) return std::nullopt;
  return sqlite3_column_double(st, i);
}

std::vector<StoredBar> Select(sqlite3* db, const std::string& code) {
  std::vector<StoredBar> out;
  sqlite3_stmt* st = nullptr;
  const std::string sql =
      std::string("SELECT ") + kColumns + " FROM prices WHERE code = ?1 ORDER BY day";
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) throw FailureOf(db);
  sqlite3_bind_text(st, 1, code.data(), static_cast<int>(code.size()), SQLITE_TRANSIENT);
  int rc = 0;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    StoredBar b;
    b.code = code;
    b.day = sqlite3_column_int(st, 1);
    b.open = ColumnOptional(st, 2);
    b.high = ColumnOptional(st, 3);
    b.low = ColumnOptional(st, 4);
    b.close = ColumnOptional(st, 5);
    b.volume = ColumnOptional(st, 6);
    b.turnover = ColumnOptional(st, 7);
    b.stopHigh = sqlite3_column_int(st, 8) != 0;
    b.stopLow = sqlite3_column_int(st, 9) != 0;
    b.adjFactor = sqlite3_column_double(st, 10);
    b.exRT = ColumnOptional(st, 11);
    b.adjVolume = ColumnOptional(st, 12);
    b.source = static_cast<PriceSource>(sqlite3_column_int(st, 13));
    out.push_back(std::move(b));
  }
  const Failure f = rc == SQLITE_DONE ? Failure{} : FailureOf(db);
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) throw f;
  return out;
}

}  // namespace

std::string PriceStorePath() { return HomePath("tavrine/prices.sqlite"); }

struct PriceStore::Db {
  sqlite3* handle = nullptr;
  ~Db() { sqlite3_close(handle); }
};

PriceStore::PriceStore(const std::string& path) : db_(std::make_unique<Db>()) {
  std::error_code ec;
  const fs::path p(path);
  if (p.has_parent_path()) fs::create_directories(p.parent_path(), ec);
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  try {
    db_->handle = OpenFile(path, flags);
    if (Ready(db_->handle)) return;
  } catch (const Failure& f) {
    if (!Damage(f))
      throw FileError("株価ストア " + path + " を開けませんでした (" + f.what + ")。");
  }
  sqlite3_close(db_->handle);
  db_->handle = nullptr;

  // Set aside, never deleted nor written over: the file (with its journal)
  // may still be read by hand.
  const std::string stamp = path + ".damaged-" + Stamp();
  std::string aside = stamp;
  for (int n = 2; fs::exists(aside, ec) || fs::exists(aside + "-wal", ec); ++n)
    aside = stamp + "-" + std::to_string(n);
  fs::rename(path, aside, ec);
  if (ec) throw FileError("株価ストア " + path + " が壊れていて、別名に移せませんでした。");
  for (const char* side : {"-wal", "-shm", "-journal"})
    if (fs::exists(path + side, ec)) fs::rename(path + side, aside + side, ec);
  note_ = "株価ストア prices.sqlite が壊れていたため " + fs::path(aside).filename().string() +
          " に移し、新しく作り直しました";
  try {
    db_->handle = OpenFile(path, flags);
  } catch (const Failure& f) {
    throw FileError("株価ストア " + path + " を作れませんでした (" + f.what + ")。");
  }
  if (!Ready(db_->handle)) throw FileError("株価ストア " + path + " を作れませんでした。");
}

PriceStore::~PriceStore() = default;

void PriceStore::Put(const std::vector<StoredBar>& bars) {
  sqlite3* db = db_->handle;
  sqlite3_stmt* st = nullptr;
  // A day from the service stays unless the service gives it again.
  const std::string sql = std::string("INSERT INTO prices (") + kColumns +
                          ") VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14)"
                          " ON CONFLICT (code, day) DO UPDATE SET"
                          " open=excluded.open, high=excluded.high, low=excluded.low,"
                          " close=excluded.close, volume=excluded.volume,"
                          " turnover=excluded.turnover, ul=excluded.ul, ll=excluded.ll,"
                          " adj_factor=excluded.adj_factor, ex_rt=excluded.ex_rt,"
                          " adj_volume=excluded.adj_volume, source=excluded.source"
                          " WHERE excluded.source = 0 OR prices.source <> 0";
  try {
    Exec(db, "BEGIN IMMEDIATE");
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) throw FailureOf(db);
    for (const StoredBar& b : bars) {
      sqlite3_reset(st);
      sqlite3_bind_text(st, 1, b.code.data(), static_cast<int>(b.code.size()), SQLITE_STATIC);
      sqlite3_bind_int(st, 2, b.day);
      BindOptional(st, 3, b.open);
      BindOptional(st, 4, b.high);
      BindOptional(st, 5, b.low);
      BindOptional(st, 6, b.close);
      BindOptional(st, 7, b.volume);
      BindOptional(st, 8, b.turnover);
      sqlite3_bind_int(st, 9, b.stopHigh ? 1 : 0);
      sqlite3_bind_int(st, 10, b.stopLow ? 1 : 0);
      sqlite3_bind_double(st, 11, b.adjFactor);
      BindOptional(st, 12, b.exRT);
      BindOptional(st, 13, b.adjVolume);
      sqlite3_bind_int(st, 14, static_cast<int>(b.source));
      if (sqlite3_step(st) != SQLITE_DONE) throw FailureOf(db);
    }
    sqlite3_finalize(st);
    st = nullptr;
    Exec(db, "COMMIT");
  } catch (const Failure& f) {
    sqlite3_finalize(st);
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw FileError("株価ストア prices.sqlite に書き込めませんでした (" + f.what + ")。");
  }
}

std::vector<StoredBar> PriceStore::Bars(const std::string& code) const {
  try {
    return Select(db_->handle, code);
  } catch (const Failure& f) {
    throw FileError("株価ストア prices.sqlite を読めませんでした (" + f.what + ")。");
  }
}

std::vector<std::string> KeepPrices(const std::vector<StoredBar>& bars, const std::string& path) {
  std::vector<std::string> notes;
  if (bars.empty()) return notes;
  try {
    PriceStore store(path);
    if (!store.note().empty()) notes.push_back(store.note());
    store.Put(bars);
  } catch (const FileError& e) {
    notes.push_back(e.what());
  } catch (const std::exception& e) {
    notes.push_back(std::string("株価ストア prices.sqlite に書き込めませんでした (") + e.what() +
                    ")。");
  }
  return notes;
}

std::vector<StoredBar> ReadStoredBars(const std::string& path, const std::string& code) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return {};
  sqlite3* db = nullptr;
  try {
    db = OpenFile(path, SQLITE_OPEN_READONLY);
    std::vector<StoredBar> out = Select(db, code);
    sqlite3_close(db);
    return out;
  } catch (const Failure&) {
    sqlite3_close(db);
    return {};
  }
}

}  // namespace tavrine
