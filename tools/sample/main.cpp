// tavrine-sample DIR [options]: writes a sample data folder (see README.md).
#include <cstdio>
#include <exception>

#include "sample.h"

int main(int argc, char** argv) {
  tavrine::sample::Options opt;
  const std::string problem = tavrine::sample::ParseArgs(argc, argv, opt);
  if (!problem.empty()) {
    std::fprintf(stderr, "tavrine-sample: %s\n%s", problem.c_str(), tavrine::sample::Usage());
    return 2;
  }
  try {
    tavrine::sample::Generate(opt);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavrine-sample: %s\n", e.what());
    return 1;
  }
  return 0;
}
