// The stock list file as the start-up reads it: a file is either refused
// with a reason its bytes show, or read into the same cells as the plain
// comma-text reader gives, and never holds a byte a save would lose.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "store/codec.h"
#include "store/comma_text.h"
#include "store/stock_list_file.h"

using namespace tavrine;

namespace {

constexpr int kCols = 200;

bool HasHighByte(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  WorkTable t("StockList", 0, 0);
  StockListReading reading;
  try {
    reading = ReadStockList(t, in, "list.csv");
  } catch (const FileError&) {
    // Only a NUL, another separator or text past ASCII (UTF-8) refuses a file.
    FUZZ_CHECK(in.find('\0') != std::string_view::npos ||
               in.find_first_of("\t;") != std::string_view::npos || HasHighByte(in));
    return 0;
  }
  FUZZ_CHECK(in.find('\0') == std::string_view::npos);
  const auto lines = SplitLines(Cp932ToUtf8(in));
  FUZZ_CHECK(static_cast<int>(lines.size()) == t.rowCount());
  // Every line but a heading read at its commas holds its comma-text fields.
  for (int r = reading.headingAtCommas ? 1 : 0; r < t.rowCount(); ++r) {
    const auto want = ParseCommaText(lines[static_cast<std::size_t>(r)], kCols);
    for (int c = 0; c < kCols; ++c)
      FUZZ_CHECK(
          t.cell(c, r) ==
          (static_cast<std::size_t>(c) < want.size() ? want[static_cast<std::size_t>(c)] : ""));
  }
  return 0;
}
