// tavrine-quote-server --market DIR (the data folder, or its market folder) --port P
// [--close-at-page N] [--delay-ms N]
//   [--empty-page N] [--missing-rows-page N] [--garbage-page N]
//   [--endless-page N] [--drip-page N] [--drip-head-page N] [--drip-ms N] [--huge-length-page N]
//   [--redirect-page N]
// Serves the stand-in quote site on 127.0.0.1; prints "port N" once ready.
// The last group makes one page hostile (see quotesite::Options).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "quote_site.h"

namespace {
int Usage() {
  std::fprintf(
      stderr,
      "usage: tavrine-quote-server --market DIR --port P [--close-at-page N] [--delay-ms N]\n"
      "       [--empty-page N] [--missing-rows-page N] [--garbage-page N]\n"
      "       [--endless-page N] [--drip-page N] [--drip-head-page N] [--drip-ms N]\n"
      "       [--huge-length-page N] [--redirect-page N]\n");
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  tavrine::quotesite::Options opt;
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
    if (a == "--port")
      port = n;
    else if (a == "--close-at-page")
      opt.closeAtPage = n;
    else if (a == "--delay-ms")
      opt.delayMs = n;
    else if (a == "--empty-page")
      opt.emptyPage = n;
    else if (a == "--missing-rows-page")
      opt.missingRowsPage = n;
    else if (a == "--garbage-page")
      opt.garbagePage = n;
    else if (a == "--endless-page")
      opt.endlessPage = n;
    else if (a == "--drip-page")
      opt.dripPage = n;
    else if (a == "--drip-head-page")
      opt.dripHeadPage = n;
    else if (a == "--drip-ms")
      opt.dripMs = n;
    else if (a == "--huge-length-page")
      opt.hugeLengthPage = n;
    else if (a == "--redirect-page")
      opt.redirectPage = n;
    else
      return Usage();
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
