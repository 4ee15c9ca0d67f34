// tavrine-quote-server --market DIR (the data folder, or its market folder) --port P
// [--close-at-page N] [--delay-ms N]
//   [--empty-page N] [--missing-rows-page N] [--garbage-page N] [--ahead-days N]
//   [--endless-page N] [--drip-page N] [--drip-head-page N] [--drip-ms N] [--huge-length-page N]
//   [--redirect-page N]
// Serves the stand-in quote site on 127.0.0.1; prints "port N" once ready.
// The last group makes one page hostile (see quotesite::Options).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "quote_site.h"

namespace {
using tavrine::quotesite::Options;

// The options that take a number, with the field each sets.
const std::pair<const char*, int Options::*> kNumberOptions[] = {
    {"--close-at-page", &Options::closeAtPage},
    {"--delay-ms", &Options::delayMs},
    {"--empty-page", &Options::emptyPage},
    {"--missing-rows-page", &Options::missingRowsPage},
    {"--garbage-page", &Options::garbagePage},
    {"--ahead-days", &Options::aheadDays},
    {"--endless-page", &Options::endlessPage},
    {"--drip-page", &Options::dripPage},
    {"--drip-head-page", &Options::dripHeadPage},
    {"--drip-ms", &Options::dripMs},
    {"--huge-length-page", &Options::hugeLengthPage},
    {"--redirect-page", &Options::redirectPage}};

int Usage() {
  std::fprintf(
      stderr,
      "usage: tavrine-quote-server --market DIR --port P [--close-at-page N] [--delay-ms N]\n"
      "       [--empty-page N] [--missing-rows-page N] [--garbage-page N] [--ahead-days N]\n"
      "       [--endless-page N] [--drip-page N] [--drip-head-page N] [--drip-ms N]\n"
      "       [--huge-length-page N] [--redirect-page N]\n");
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  Options opt;
  int port = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) return Usage();
    const std::string v = argv[++i];
    int n = 0;
    if (a == "--market") {
      opt.market = v;
      continue;
    }
    if (!tavrine::quotesite::ParseInt(v, n)) return Usage();
    if (a == "--port") {
      port = n;
      continue;
    }
    int Options::*field = nullptr;
    for (const auto& [name, f] : kNumberOptions)
      if (a == name) field = f;
    if (!field) return Usage();
    opt.*field = n;
  }
  if (opt.market.empty() || port < 0 || port > 65535) return Usage();
  tavrine::quotesite::Site site(opt);
  const int bound = site.bind(port);
  if (bound < 0) {
    std::fprintf(stderr, "tavrine-quote-server: cannot bind 127.0.0.1:%d\n", port);
    return 1;
  }
  std::printf("port %d\n", bound);
  std::fflush(stdout);
  return site.listen() ? 0 : 1;
}
