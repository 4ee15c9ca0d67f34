// tavrine-jquants-server --data DIR --port P [--key KEY] [--wrong-key-status 401|403]
//   [--page-size N] [--rate-limit-at N] [--rate-limit-times N] [--retry-after S]
//   [--html-at N] [--truncate-at N] [--drip-at N] [--drip-ms N] [--newest YYYY-MM-DD]
//   [--split CODE:YYYY-MM-DD:FACTOR] [--nameless CODE] [--delisted CODE:YYYY-MM-DD]
//   [--suspended CODE:YYYY-MM-DD] [--holiday YYYY-MM-DD] [--null-day YYYY-MM-DD]
//   [--missing CODE:YYYY-MM-DD] [--twice CODE:YYYY-MM-DD] [--conflicting CODE:YYYY-MM-DD]
//   [--pad-bytes N] [--master-pad-bytes N] [--master-broken 1] [--endless-at N]
//   [--plan-from YYYY-MM-DD] [--plan-to YYYY-MM-DD] [--plan-open-end 1]
//   [--first-byte-ms N] [--empty-first-byte-ms N] [--server-error-at N]
//   [--server-error-times N] [--server-error-status N] [--drop-at N] [--drop-times N]
//   [--truncate-times N] [--no-data-at N] [--forbidden invalid|plan|inactive|bare]
//   [--gzip 1] [--page-bytes N] [--rights CODE:YYYY-MM-DD:FACTOR]
//   [--cert FILE --cert-key FILE]
// Serves the stand-in of the J-Quants API on 127.0.0.1 from a data folder
// (market/ and tavrine/zenncode.txt); prints "port N" once ready. The
// counted options make one request of daily bars faulty (see
// jquantssite::Options); --split, --nameless, --delisted, --suspended and
// --holiday, --null-day, --missing, --twice and --conflicting may be repeated.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "jquants_site.h"

namespace {
using tavrine::jquantssite::Options;

const std::pair<const char*, int Options::*> kNumberOptions[] = {
    {"--wrong-key-status", &Options::wrongKeyStatus},
    {"--page-size", &Options::pageSize},
    {"--rate-limit-at", &Options::rateLimitAt},
    {"--rate-limit-times", &Options::rateLimitTimes},
    {"--retry-after", &Options::retryAfter},
    {"--html-at", &Options::htmlAt},
    {"--truncate-at", &Options::truncateAt},
    {"--drip-at", &Options::dripAt},
    {"--drip-ms", &Options::dripMs},
    {"--pad-bytes", &Options::padBytes},
    {"--master-pad-bytes", &Options::masterPadBytes},
    {"--endless-at", &Options::endlessAt},
    {"--first-byte-ms", &Options::firstByteMs},
    {"--empty-first-byte-ms", &Options::emptyFirstByteMs},
    {"--server-error-at", &Options::serverErrorAt},
    {"--server-error-times", &Options::serverErrorTimes},
    {"--server-error-status", &Options::serverErrorStatus},
    {"--drop-at", &Options::dropAt},
    {"--drop-times", &Options::dropTimes},
    {"--truncate-times", &Options::truncateTimes},
    {"--no-data-at", &Options::noDataAt}};

int Usage() {
  std::fprintf(stderr,
               "usage: tavrine-jquants-server --data DIR --port P [--key KEY]\n"
               "       [--wrong-key-status 401|403] [--page-size N] [--rate-limit-at N]\n"
               "       [--rate-limit-times N] [--retry-after S] [--html-at N] [--truncate-at N]\n"
               "       [--drip-at N] [--drip-ms N] [--newest YYYY-MM-DD]\n"
               "       [--split CODE:YYYY-MM-DD:FACTOR] [--nameless CODE]\n"
               "       [--delisted CODE:YYYY-MM-DD] [--suspended CODE:YYYY-MM-DD]\n"
               "       [--holiday YYYY-MM-DD] [--null-day YYYY-MM-DD]\n"
               "       [--missing CODE:YYYY-MM-DD] [--twice CODE:YYYY-MM-DD]\n"
               "       [--conflicting CODE:YYYY-MM-DD] [--pad-bytes N]\n"
               "       [--master-pad-bytes N] [--master-broken 1] [--endless-at N]\n"
               "       [--plan-from YYYY-MM-DD] [--plan-to YYYY-MM-DD] [--plan-open-end 1]\n"
               "       [--first-byte-ms N] [--empty-first-byte-ms N] [--server-error-at N]\n"
               "       [--server-error-times N] [--server-error-status N] [--drop-at N]\n"
               "       [--drop-times N] [--truncate-times N] [--no-data-at N]\n"
               "       [--forbidden invalid|plan|inactive|bare] [--gzip 1] [--page-bytes N]\n"
               "       [--rights CODE:YYYY-MM-DD:FACTOR]\n"
               "       [--cert FILE --cert-key FILE]\n");
  return 2;
}

bool Number(const std::string& s, int& v) {
  try {
    std::size_t used = 0;
    v = std::stoi(s, &used);
    return used == s.size();
  } catch (...) {
    return false;
  }
}
}  // namespace

int main(int argc, char** argv) {
  namespace js = tavrine::jquantssite;
  Options opt;
  int port = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) return Usage();
    const std::string v = argv[++i];
    int n = 0;
    if (a == "--data") {
      opt.data = v;
    } else if (a == "--key") {
      opt.key = v;
    } else if (a == "--cert") {
      opt.certFile = v;
    } else if (a == "--cert-key") {
      opt.keyFile = v;
    } else if (a == "--port") {
      if (!Number(v, port)) return Usage();
    } else if (a == "--newest") {
      if ((opt.newest = js::ParseDay(v)) < 0) return Usage();
    } else if (a == "--holiday") {
      const int d = js::ParseDay(v);
      if (d < 0) return Usage();
      opt.holidays.insert(d);
    } else if (a == "--null-day") {
      const int d = js::ParseDay(v);
      if (d < 0) return Usage();
      opt.nullDays.insert(d);
    } else if (a == "--plan-from" || a == "--plan-to") {
      const int d = js::ParseDay(v);
      if (d < 0) return Usage();
      (a == "--plan-from" ? opt.planFrom : opt.planTo) = d;
    } else if (a == "--plan-open-end") {
      opt.planOpenEnd = v == "1";
    } else if (a == "--gzip") {
      opt.gzip = v == "1";
    } else if (a == "--forbidden") {
      opt.forbidden = v;
    } else if (a == "--page-bytes") {
      if (!Number(v, n) || n < 0) return Usage();
      opt.pageBytes = static_cast<std::size_t>(n);
    } else if (a == "--master-broken") {
      opt.masterBroken = v == "1";
    } else if (a == "--missing" || a == "--twice" || a == "--conflicting") {
      const int d = v.size() > 5 ? js::ParseDay(v.substr(5)) : -1;
      if (v.size() < 6 || v[4] != ':' || d < 0) return Usage();
      auto& days = a == "--missing" ? opt.missing : a == "--twice" ? opt.twice : opt.conflicting;
      days[v.substr(0, 4)].insert(d);
    } else if (a == "--nameless") {
      opt.nameless.insert(v);
    } else if (a == "--delisted") {
      const int d = v.size() > 5 ? js::ParseDay(v.substr(5)) : -1;
      if (v.size() < 6 || v[4] != ':' || d < 0) return Usage();
      opt.delisted[v.substr(0, 4)] = d;
    } else if (a == "--suspended") {
      const int d = v.size() > 5 ? js::ParseDay(v.substr(5)) : -1;
      if (v.size() < 6 || v[4] != ':' || d < 0) return Usage();
      opt.suspended[v.substr(0, 4)].insert(d);
    } else if (a == "--split" || a == "--rights") {
      const auto second = v.find(':', 5);
      if (v.size() < 6 || v[4] != ':' || second == std::string::npos) return Usage();
      js::Split s;
      s.code = v.substr(0, 4);
      s.day = js::ParseDay(v.substr(5, second - 5));
      s.factor = std::atof(v.c_str() + second + 1);
      if (s.day < 0 || !(s.factor > 0)) return Usage();
      if (a == "--rights") s.exrt = "3";
      opt.splits.push_back(s);
    } else {
      int Options::*field = nullptr;
      for (const auto& [name, f] : kNumberOptions)
        if (a == name) field = f;
      if (!field || !Number(v, n)) return Usage();
      opt.*field = n;
    }
  }
  if (opt.data.empty() || port < 0 || port > 65535) return Usage();
  js::Site site(opt);
  const int bound = site.bind(port);
  if (bound < 0) {
    std::fprintf(stderr, "tavrine-jquants-server: cannot serve on 127.0.0.1:%d\n", port);
    return 1;
  }
  std::printf("port %d\n", bound);
  std::fflush(stdout);
  return site.listen() ? 0 : 1;
}
