// tavrine-script [FILE]: runs the engine without a window and plays a script
// of user actions (standard input when FILE is absent).
#include <fstream>
#include <iostream>

#include "app/script.h"
#include "store/paths.h"

int main(int argc, char** argv) {
  tavrine::SetExecutablePath(argv[0]);
  std::ios::sync_with_stdio(false);
  if (argc > 2) {
    std::cerr << "usage: tavrine-script [FILE]\n";
    return 2;
  }
  if (argc == 2) {
    std::ifstream in(argv[1]);
    if (!in) {
      std::cerr << "tavrine-script: cannot open " << argv[1] << '\n';
      return 2;
    }
    return tavrine::RunScript(in, std::cout, std::cerr);
  }
  return tavrine::RunScript(std::cin, std::cout, std::cerr);
}
