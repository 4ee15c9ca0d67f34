#include "web/jquants_client.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "list/settings_file.h"
#include "store/text.h"
#include "web/http_client.h"

namespace tavrine {

namespace {

using Json = nlohmann::json;

constexpr const char* kSite = "J-Quants API";
// Pages a single question may take before its answers count as endless.
constexpr int kMaxPages = 1000;
// Bytes of a pagination key the service may hand back.
constexpr std::size_t kMaxPaginationKey = 4096;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// A key fit for a header: printable ASCII without blanks.
bool KeyFits(const std::string& key) {
  if (key.empty() || key.size() > 1024) return false;
  for (char c : key)
    if (c < 0x21 || c > 0x7E) return false;
  return true;
}

std::string DayParam(int day) {
  int y = 0, m = 0, d = 0;
  CivilFromDays(day, y, m, d);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
  return buf;
}

// "YYYY-MM-DD" as a day; false for any other text.
bool ParseIsoDay(const std::string& s, int& day) {
  if (s.size() != 10 || s[4] != '-' || s[7] != '-') return false;
  for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (s[static_cast<std::size_t>(i)] < '0' || s[static_cast<std::size_t>(i)] > '9') return false;
  const int y = std::stoi(s.substr(0, 4)), m = std::stoi(s.substr(5, 2)),
            d = std::stoi(s.substr(8, 2));
  if (m < 1 || m > 12 || d < 1 || d > 31) return false;
  day = DaysFromCivil(y, m, d);
  int y2 = 0, m2 = 0, d2 = 0;
  CivilFromDays(day, y2, m2, d2);
  return y2 == y && m2 == m && d2 == d;
}

std::string PercentEncoded(const std::string& s) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

// The service's "message" of an error answer, made safe to show: one line,
// at most 200 bytes.
std::string ApiMessage(const std::string& body) {
  const Json j = Json::parse(body, nullptr, false);
  if (!j.is_object() || !j.contains("message") || !j["message"].is_string()) return {};
  std::string m = j["message"].get<std::string>();
  for (char& c : m)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return LeftBytes(m, 200);
}

JQuantsError FormError(const std::string& what) {
  return JQuantsError(std::string(kSite) + " の答えが正しい形ではありません (" + what +
                      ")。データは取り込みません。");
}

// The answer's JSON object with its "data" array, or the form error.
Json ParseAnswer(const std::string& body) {
  // The whole tree: a filter of the fields read costs more than it saves
  // (a page is at most maxPageBytes).
  Json j = Json::parse(body, nullptr, false);
  if (j.is_discarded()) {
    const bool html = body.find('<') != std::string::npos;
    throw FormError(html ? "JSON ではなく HTML のページです" : "JSON として読めません");
  }
  if (!j.is_object() || !j.contains("data") || !j["data"].is_array())
    throw FormError("data の一覧がありません");
  if (j.contains("pagination_key") && !j["pagination_key"].is_string() &&
      !j["pagination_key"].is_null())
    throw FormError("pagination_key が文字列ではありません");
  return j;
}

std::string StringField(const Json& record, const char* name) {
  if (!record.is_object() || !record.contains(name) || !record[name].is_string())
    throw FormError(std::string(name) + " がありません");
  return record[name].get<std::string>();
}

JQuantsBar ReadBar(const Json& r) {
  JQuantsBar b;
  const std::string date = StringField(r, "Date");
  if (!ParseIsoDay(date, b.day)) throw FormError("日付 " + LeftBytes(date, 20) + " を読めません");
  b.code = StringField(r, "Code");
  if (b.code.size() < 4 || b.code.size() > 5 ||
      !std::all_of(b.code.begin(), b.code.end(),
                   [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'); }))
    throw FormError("銘柄コード " + LeftBytes(b.code, 20) + " を読めません");
  if (!r.contains("AdjC")) throw FormError("AdjC がありません");
  const Json& c = r["AdjC"];
  if (c.is_number()) {
    const double v = c.get<double>();
    if (!(v > 0) || !std::isfinite(v)) throw FormError(b.code + " の AdjC が正ではありません");
    b.adjClose = FloatToStr(static_cast<long double>(v));
  } else if (!c.is_null()) {
    throw FormError(b.code + " の AdjC が数ではありません");
  }
  if (!r.contains("AdjFactor")) throw FormError("AdjFactor がありません");
  const Json& f = r["AdjFactor"];
  if (f.is_number()) {
    // A factor the list cannot follow (zero, negative, past 1000) refuses
    // that stock in the update, not the whole answer.
    b.adjFactor = f.get<double>();
  } else if (!f.is_null()) {
    throw FormError(b.code + " の AdjFactor が数ではありません");
  }
  // The other prices and volumes: a number, null or absent; a price is
  // never negative.
  const auto number = [&](const char* name, std::optional<double>& to) {
    const auto it = r.find(name);
    if (it == r.end() || it->is_null()) return;
    if (!it->is_number()) throw FormError(b.code + " の " + name + " が数ではありません");
    const double v = it->get<double>();
    if (!(v >= 0) || !std::isfinite(v)) throw FormError(b.code + " の " + name + " が負です");
    to = v;
  };
  number("O", b.open), number("H", b.high), number("L", b.low), number("C", b.close);
  number("Vo", b.volume), number("Va", b.turnover);
  number("AdjO", b.adjOpen), number("AdjH", b.adjHigh), number("AdjL", b.adjLow);
  number("AdjVo", b.adjVolume);
  // The kind of an adjustment ("3": a rights issue), a number or its text.
  if (const auto it = r.find("ExRT"); it != r.end() && it->is_string()) {
    long double v = 0;
    if (!TryStrToFloat(it->get<std::string>(), v))
      throw FormError(b.code + " の ExRT が数ではありません");
    b.exRT = static_cast<double>(v);
  } else {
    number("ExRT", b.exRT);
  }
  // UL and LL come as "1" / "0" (a number or a truth value read alike).
  const auto flag = [&](const char* name) {
    const auto it = r.find(name);
    if (it == r.end() || it->is_null()) return false;
    const Json& v = *it;
    if (v.is_string()) return v.get_ref<const std::string&>() == "1";
    if (v.is_boolean()) return v.get<bool>();
    if (v.is_number()) return v.get<double>() != 0;
    throw FormError(b.code + " の " + name + " を読めません");
  };
  b.stopHigh = flag("UL"), b.stopLow = flag("LL");
  return b;
}

// A 400 answer that names the plan's window of dates.
struct WindowRefusal {
  PlanWindow window;
  std::string message;
};

// The window of "Your subscription covers the following dates: A ~ B." (B
// may be blank: an open end); false for any other message.
bool ReadWindow(const std::string& message, PlanWindow& w) {
  static const std::string kLead = "covers the following dates:";
  auto at = message.find(kLead);
  if (at == std::string::npos) return false;
  at += kLead.size();
  const auto skip = [&] {
    while (at < message.size() && message[at] == ' ') ++at;
  };
  skip();
  if (!ParseIsoDay(message.substr(at, 10), w.from)) return false;
  at += 10;
  skip();
  if (at >= message.size() || message[at] != '~') return false;
  ++at;
  skip();
  w.openEnd = !ParseIsoDay(message.substr(at, 10), w.to);
  if (w.openEnd) {
    // Only a blank end is open: ". If you want more data" or nothing.
    if (at < message.size() && message[at] != '.') return false;
    w.to = 0;
  } else if (w.to < w.from) {
    return false;
  }
  w.known = true;
  return true;
}

// The 403's likely cause from the service's text (the service names three;
// a body may name none).
std::string ForbiddenText(int status, const std::string& message) {
  const std::string detail =
      " (HTTP " + IntToStr(status) + (message.empty() ? "" : ": " + message) + ")";
  if (message.find("invalid or expired") != std::string::npos)
    return "J-Quants API がキーを受け付けませんでした" + detail +
           "。キーが正しいか、期限が切れていないか確かめて下さい。";
  if (message.find("not available on your subscription") != std::string::npos)
    return "J-Quants API のこのデータはご契約のプランでは使えません" + detail +
           "。契約のプランと設定のプラン (free, light, standard, premium) を確かめて下さい。";
  if (message.find("no active subscription") != std::string::npos)
    return "J-Quants API の契約が有効ではありません" + detail +
           "。契約が続いているか確かめて下さい。";
  return "J-Quants API がキーを受け付けませんでした" + detail +
         "。キーとプランが正しいか確かめて下さい。";
}

// The host of a base address, lower case, without scheme, port or brackets.
std::string HostOf(const std::string& base) {
  std::string h = base;
  const auto scheme = h.find("://");
  if (scheme != std::string::npos) h = h.substr(scheme + 3);
  h = h.substr(0, h.find('/'));
  if (!h.empty() && h.front() == '[') return Lower(h.substr(1, h.find(']') - 1));
  return Lower(h.substr(0, h.find(':')));
}

// NO_PROXY / no_proxy: hosts reached without the proxy, comma-separated;
// an entry names the host or a domain above it ("example.com",
// ".example.com"); "*" names every host.
bool ProxyBypassed(const std::string& host) {
  std::string list = Env("NO_PROXY");
  if (list.empty()) list = Env("no_proxy");
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    std::string e = list.substr(start, end - start);
    start = end + 1;
    while (!e.empty() && (e.front() == ' ' || e.front() == '\t')) e.erase(0, 1);
    while (!e.empty() && (e.back() == ' ' || e.back() == '\t')) e.pop_back();
    if (e == "*") return true;
    if (e.rfind("*.", 0) == 0) e.erase(0, 1);
    if (!e.empty() && e.front() == '.') e.erase(0, 1);
    if (!e.empty() && e.front() == '[')
      e = e.substr(1, e.find(']') - 1);
    else
      e = e.substr(0, e.find(':'));
    e = Lower(e);
    if (e.empty()) continue;
    if (host == e) return true;
    if (host.size() > e.size() && host.compare(host.size() - e.size(), e.size(), e) == 0 &&
        host[host.size() - e.size() - 1] == '.')
      return true;
  }
  return false;
}

// HTTPS_PROXY / https_proxy: [scheme://][user[:password]@]host[:port][/].
void ApplyProxy(HttpRequest& req) {
  if (ProxyBypassed(HostOf(req.base))) return;
  std::string p = Env("HTTPS_PROXY");
  if (p.empty()) p = Env("https_proxy");
  if (p.empty()) return;
  const auto scheme = p.find("://");
  if (scheme != std::string::npos) p = p.substr(scheme + 3);
  p = p.substr(0, p.find('/'));
  const auto at = p.rfind('@');
  if (at != std::string::npos) {
    const std::string user = p.substr(0, at);
    p = p.substr(at + 1);
    const auto colon = user.find(':');
    req.proxyUser = user.substr(0, colon);
    if (colon != std::string::npos) req.proxyPassword = user.substr(colon + 1);
  }
  req.proxyPort = 80;
  const auto colon = p.rfind(':');
  const auto bracket = p.rfind(']');
  if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
    try {
      req.proxyPort = std::stoi(p.substr(colon + 1));
    } catch (...) {
      req.proxyPort = 80;
    }
    p = p.substr(0, colon);
  }
  if (p.size() >= 2 && p.front() == '[' && p.back() == ']') p = p.substr(1, p.size() - 2);
  req.proxyHost = p;
}

}  // namespace

std::string ListCode(const std::string& delivered) {
  if (delivered.size() == 4) return delivered;
  if (delivered.size() == 5 && delivered[4] == '0') return delivered.substr(0, 4);
  return {};
}

int JapanToday() {
  int days = 0;
  const std::string t = Env("TAVRINE_TODAY");
  if (!t.empty() && TryParseDate(t, days)) return days;
  const std::time_t now = std::time(nullptr) + 9 * 3600;
  std::tm japan{};
  gmtime_r(&now, &japan);
  return DaysFromCivil(japan.tm_year + 1900, japan.tm_mon + 1, japan.tm_mday);
}

std::string FreePlanNote(int end) {
  return "無料プランのデータは " + DateToStr(end) + " までです（12週間遅れ）";
}

JQuantsSettings LoadJQuantsSettings() {
  JQuantsSettings s;
  // A key written into the file by hand is kept from other users as well.
  KeepKeyPrivate();
  s.key = Env("TAVRINE_JQUANTS_KEY");
  if (s.key.empty()) s.key = ReadSetting("update", "key");
  std::string plan = Env("TAVRINE_JQUANTS_PLAN");
  if (plan.empty()) plan = ReadSetting("update", "plan");
  if (!plan.empty()) s.plan = Lower(plan);
  const std::string host = Env("TAVRINE_JQUANTS_HOST");
  if (!host.empty()) s.host = host;
  return s;
}

void SaveJQuantsSettings(const std::string& key, const std::string& plan) {
  if (!KeyFits(key))
    throw std::invalid_argument("APIキーは空白を含まない英数字と記号で入力して下さい。");
  if (PlanRequestsPerMinute(plan) == 0)
    throw std::invalid_argument("プランは free, light, standard, premium のどれかです。");
  WriteSettings("update", {{"key", key}, {"plan", Lower(plan)}}, true);
}

int PlanRequestsPerMinute(const std::string& plan) {
  const std::string p = Lower(plan);
  if (p == "free") return 5;
  if (p == "light") return 60;
  if (p == "standard") return 120;
  if (p == "premium") return 500;
  return 0;
}

bool IsLoopbackHost(const std::string& hostIn) {
  std::string h = hostIn;
  const auto scheme = h.find("://");
  if (scheme != std::string::npos) h = h.substr(scheme + 3);
  h = h.substr(0, h.find('/'));
  if (!h.empty() && h.front() == '[') {
    const auto close = h.find(']');
    return close != std::string::npos && h.substr(1, close - 1) == "::1";
  }
  h = h.substr(0, h.find(':'));
  if (Lower(h) == "localhost") return true;
  // 127.x.x.x written as an address, not a name that starts so.
  int dots = 0;
  for (char c : h)
    if (c == '.')
      ++dots;
    else if (c < '0' || c > '9')
      return false;
  return dots == 3 && h.rfind("127.", 0) == 0;
}

JQuantsClient::JQuantsClient(Platform& platform, JQuantsSettings settings, Options options)
    : platform_(platform), settings_(std::move(settings)), options_(std::move(options)) {
  std::string host = settings_.host;
  loopback_ = IsLoopbackHost(host);
  if (host.rfind("https://", 0) == 0 || host.rfind("http://", 0) == 0)
    base_ = host;
  else
    base_ = (loopback_ ? "http://" : "https://") + host;
  while (!base_.empty() && base_.back() == '/') base_.pop_back();
}

std::string JQuantsClient::Scrub(std::string text) const {
  const std::string& key = settings_.key;
  if (key.empty()) return text;
  // A run of 8 or more of the key's characters in a row (a server that
  // echoes part of the key, or a near copy of it) is masked like the key;
  // a shorter key only as a whole.
  const std::size_t least = std::min<std::size_t>(8, key.size());
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t longest = 0;
    for (std::size_t k = 0; k < key.size(); ++k) {
      std::size_t n = 0;
      while (i + n < text.size() && k + n < key.size() && text[i + n] == key[k + n]) ++n;
      longest = std::max(longest, n);
    }
    if (longest >= least) {
      out += kHiddenKey;
      i += longest;
    } else {
      out += text[i++];
    }
  }
  return out;
}

void JQuantsClient::CheckRunLimit(std::chrono::milliseconds ahead) const {
  if (std::chrono::steady_clock::now() + ahead < start_ + options_.runLimit) return;
  const long long ms = options_.runLimit.count();
  const std::string limit =
      ms >= 60000 ? IntToStr(static_cast<int>(ms / 60000)) + "分" : FloatToStr(ms / 1000.0) + "秒";
  throw JQuantsError("J-Quants API からの取得が " + limit +
                     " の制限時間内に終わりませんでした。データは取り込みません。");
}

bool JQuantsClient::Wait(std::chrono::milliseconds ms) {
  CheckRunLimit(ms);
  if (options_.wait) return options_.wait(ms);
  const auto end = std::chrono::steady_clock::now() + ms;
  while (std::chrono::steady_clock::now() < end) {
    platform_.processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::string JQuantsClient::Get(const std::string& path, const std::string& query) {
  if (settings_.key.empty())
    throw JQuantsError(
        "J-Quants API のキーが設定されていません。設定 (tavrine.ini の [update] key=) か環境変数 "
        "TAVRINE_JQUANTS_KEY でキーを指定して下さい。");
  if (!KeyFits(settings_.key))
    throw JQuantsError("J-Quants API のキーに使えない文字 (空白や全角文字) が入っています。");
  if (base_.rfind("http://", 0) == 0 && !loopback_)
    throw JQuantsError("J-Quants API には https でしか接続しません (" + Scrub(settings_.host) +
                       ")。");
  HttpRequest req;
  req.base = base_;
  req.pathAndQuery = path + (query.empty() ? "" : "?" + query);
  req.headers = {{"x-api-key", settings_.key}, {"Accept", "application/json"}};
  req.site = kSite;
  req.caFile = options_.caFile;
  req.maxBody = options_.maxPageBytes;
  req.stop = options_.stop;
  req.gzip = true;
  req.readTimeout = options_.readTimeout;
  if (!loopback_) ApplyProxy(req);
  HttpClient http(platform_, [](const std::string&) {});

  int retried = 0;
  // One more try of this request after a pause that doubles each time; false
  // once the retries are spent.
  const auto again = [&] {
    if (retried >= options_.retries) return false;
    const auto pause = options_.retryPause * (1 << retried);
    ++retried;
    if (!Wait(std::chrono::duration_cast<std::chrono::milliseconds>(pause)))
      throw JQuantsCancelled{};
    return true;
  };
  for (;;) {
    // Spaced to the plan's limit, with a little room; a loopback stand-in never waits.
    if (!loopback_ && requests_ > 0) {
      const int perMinute = std::max(PlanRequestsPerMinute(settings_.plan), 1);
      const auto gap = std::chrono::milliseconds(60000 * 21 / 20 / perMinute);
      const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - last_);
      if (since < gap && !Wait(gap - since)) throw JQuantsCancelled{};
    }
    CheckRunLimit();
    last_ = std::chrono::steady_clock::now();
    // No request outlasts the run's limit. Rounded up, so a request cut at its
    // deadline is past the limit and fails with the limit's message.
    req.deadline =
        std::max(std::chrono::ceil<std::chrono::milliseconds>(start_ + options_.runLimit - last_),
                 std::chrono::milliseconds(1));
    ++requests_;
    HttpResponse r;
    try {
      r = http.Fetch(req);
    } catch (const HttpStopped&) {
      throw JQuantsCancelled{};
    } catch (const HttpDropped& e) {
      CheckRunLimit();
      if (again()) continue;
      throw JQuantsError(Scrub(e.what()));
    } catch (const HttpError& e) {
      CheckRunLimit();
      throw JQuantsError(Scrub(e.what()));
    }
    if (r.status == 429) {
      // The service sends no Retry-After and asks for a pause of a minute or
      // more, two to be sure; going on can lock the key out for minutes.
      if (++rateLimited_ > options_.maxRateLimited)
        throw JQuantsError(
            "J-Quants API の利用回数の上限を超えました (HTTP 429)。しばらく待ってからやり直して"
            "下さい。");
      std::chrono::seconds wait = options_.defaultRetryAfter;
      const std::string& ra = r.retryAfter;
      if (!ra.empty() && ra.size() <= 6 &&
          std::all_of(ra.begin(), ra.end(), [](char c) { return c >= '0' && c <= '9'; }))
        wait = std::chrono::seconds(std::stol(ra));
      wait = std::min(wait, options_.maxRetryAfter);
      if (!Wait(wait)) throw JQuantsCancelled{};
      continue;
    }
    const std::string message = Scrub(ApiMessage(r.body));
    const std::string detail = message.empty() ? "" : ": " + message;
    // A server error passes: asked again (500 502 503 504).
    if (r.status >= 500 && r.status <= 599 && again()) continue;
    // 210: no data for what was asked (outside the hours or no such issue).
    if (r.status == 210) return "{\"data\":[]}";
    if (r.status == 400) {
      WindowRefusal refusal;
      if (ReadWindow(message, refusal.window)) {
        refusal.message = "J-Quants API がエラーを返しました (HTTP 400" + detail + ")。";
        throw refusal;
      }
    }
    if (r.status == 401 || r.status == 403) throw JQuantsError(ForbiddenText(r.status, message));
    if (r.status != 200)
      throw JQuantsError("J-Quants API がエラーを返しました (HTTP " + IntToStr(r.status) + detail +
                         ")。");
    return r.body;
  }
}

bool JQuantsClient::FreePlan() const { return Lower(settings_.plan) == "free"; }

int JQuantsClient::LastDay(int today) const {
  if (window_.known && !window_.openEnd) return std::min(today, window_.to);
  return FreePlan() ? today - kFreePlanDelayDays : today;
}

void JQuantsClient::InWindow(int from, int to, const std::function<void(int, int)>& ask) {
  for (bool learned = false;;) {
    if (window_.known) {
      from = std::max(from, window_.from);
      if (!window_.openEnd) to = std::min(to, window_.to);
    }
    if (from > to) return;
    try {
      ask(from, to);
      return;
    } catch (const WindowRefusal& r) {
      // Refused again inside the window it named: no window to keep to.
      if (learned) throw JQuantsError(r.message);
      learned = true;
      window_ = r.window;
    }
  }
}

namespace {

// Every page of one question, each parsed and handed record by record to
// `take`, which returns the bytes it kept; the page is dropped before the
// next is asked. More than `maxKept` bytes kept fails the question.
template <typename Fetch, typename Take>
void AllPages(Fetch fetch, const std::string& query, std::size_t maxKept, Take take) {
  std::set<std::string> seen;
  std::string key;
  std::size_t kept = 0;
  for (int page = 0;; ++page) {
    if (page == kMaxPages) throw FormError("ページが終わりません");
    const std::string q = key.empty() ? query : query + "&pagination_key=" + PercentEncoded(key);
    const Json j = ParseAnswer(fetch(q));
    for (const Json& r : j["data"]) {
      kept += take(r);
      if (kept > maxKept)
        throw JQuantsError(std::string(kSite) + " からのデータが多すぎます (" +
                           IntToStr(static_cast<int>(maxKept >> 20)) +
                           " MB を超えました)。データは取り込みません。");
    }
    if (!j.contains("pagination_key") || j["pagination_key"].is_null()) break;
    // The key goes back in the next request and is remembered: a short text.
    if (!j["pagination_key"].is_string()) throw FormError("pagination_key が文字列ではありません");
    key = j["pagination_key"].get<std::string>();
    if (key.size() > kMaxPaginationKey) throw FormError("pagination_key が長すぎます");
    if (key.empty()) break;
    if (!seen.insert(key).second) throw FormError("同じページが繰り返されます");
  }
}

// What a kept bar costs, roughly.
std::size_t BarBytes(const JQuantsBar& b) {
  return sizeof(JQuantsBar) + b.code.capacity() + b.adjClose.capacity();
}

}  // namespace

std::vector<int> JQuantsClient::TradingDays(int from, int to) {
  std::vector<int> days;
  InWindow(from, to, [&](int lo, int hi) {
    days.clear();
    AllPages([&](const std::string& q) { return Get("/v2/markets/calendar", q); },
             "from=" + DayParam(lo) + "&to=" + DayParam(hi), options_.maxKeptBytes,
             [&](const Json& r) -> std::size_t {
               int day = 0;
               const std::string date = StringField(r, "Date");
               if (!ParseIsoDay(date, day))
                 throw FormError("日付 " + LeftBytes(date, 20) + " を読めません");
               const std::string div = StringField(r, "HolDiv");
               if ((div == "1" || div == "2") && day >= lo && day <= hi) days.push_back(day);
               return sizeof(int);
             });
  });
  std::sort(days.begin(), days.end());
  days.erase(std::unique(days.begin(), days.end()), days.end());
  return days;
}

std::vector<JQuantsBar> JQuantsClient::BarsOfDay(int day) {
  std::vector<JQuantsBar> bars;
  // A day outside the plan's window has no bars to give.
  InWindow(day, day, [&](int, int) {
    bars.clear();
    AllPages([&](const std::string& q) { return Get("/v2/equities/bars/daily", q); },
             "date=" + DayParam(day), options_.maxKeptBytes,
             [&](const Json& r) {
               bars.push_back(ReadBar(r));
               if (bars.back().day != day)
                 throw FormError(DateToStr(day) + " を尋ねて " + DateToStr(bars.back().day) +
                                 " の株価が返りました");
               return BarBytes(bars.back());
             });
  });
  return bars;
}

std::vector<JQuantsBar> JQuantsClient::BarsOfStock(const std::string& code, int from, int to) {
  std::vector<JQuantsBar> bars;
  InWindow(from, to, [&](int lo, int hi) {
    bars.clear();
    AllPages([&](const std::string& q) { return Get("/v2/equities/bars/daily", q); },
             "code=" + PercentEncoded(code) + "&from=" + DayParam(lo) + "&to=" + DayParam(hi),
             options_.maxKeptBytes,
             [&](const Json& r) {
               bars.push_back(ReadBar(r));
               if (bars.back().code.substr(0, 4) != code)
                 throw FormError(code + " を尋ねて " + bars.back().code + " の株価が返りました");
               return BarBytes(bars.back());
             });
  });
  return bars;
}

std::vector<JQuantsBar> ParseBarsPage(const std::string& body) {
  std::vector<JQuantsBar> bars;
  const Json j = ParseAnswer(body);
  bars.reserve(j["data"].size());
  for (const Json& r : j["data"]) bars.push_back(ReadBar(r));
  return bars;
}

std::map<std::string, std::string> JQuantsClient::Names() {
  std::map<std::string, std::string> names;
  AllPages([&](const std::string& q) { return Get("/v2/equities/master", q); }, "",
           options_.maxKeptBytes,
           [&](const Json& r) -> std::size_t {
             const std::string code = ListCode(StringField(r, "Code"));
             if (code.empty() || !r.contains("CoName") || !r["CoName"].is_string()) return 0;
             const std::string& name = r["CoName"].get_ref<const std::string&>();
             names[code] = name;
             return 64 + name.size();
           });
  return names;
}

std::vector<MasterStock> JQuantsClient::MasterStocks() {
  std::map<std::string, MasterStock> stocks;
  AllPages([&](const std::string& q) { return Get("/v2/equities/master", q); }, "",
           options_.maxKeptBytes,
           [&](const Json& r) -> std::size_t {
             const std::string code = ListCode(StringField(r, "Code"));
             if (code.empty()) return 0;
             const auto text = [&](const char* field) {
               return r.contains(field) && r[field].is_string() ? r[field].get<std::string>()
                                                                : std::string();
             };
             MasterStock& m = stocks[code];
             m.code = code;
             m.name = text("CoName");
             m.market = text("MktNm");
             return 96 + m.name.size() + m.market.size();
           });
  std::vector<MasterStock> out;
  out.reserve(stocks.size());
  for (auto& kv : stocks) out.push_back(std::move(kv.second));
  return out;
}

}  // namespace tavrine
