// Comma text and the table files built on it. The input is one line for the
// line reader and a whole file for the table reader.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "store/codec.h"
#include "store/comma_text.h"
#include "store/table_file.h"

using namespace tavrine;

namespace {

constexpr int kMaxCols = 200;

// An empty field is read as " ", so a cell saved empty comes back blank.
bool SameCell(const std::string& a, const std::string& b) {
  return a == b || (IsBlank(a) && IsBlank(b));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);

  // The line: a field limit keeps the first fields, and the joined form of
  // the fields reads back as the same fields.
  const auto fields = ParseCommaText(in);
  FUZZ_CHECK(fields.size() <= static_cast<std::size_t>(kMaxCols));
  const std::size_t few = size % 5;
  const auto head = ParseCommaText(in, few);
  FUZZ_CHECK(head.size() == std::min(few, fields.size()));
  FUZZ_CHECK(std::equal(head.begin(), head.end(), fields.begin()));
  FUZZ_CHECK(ParseCommaText(ToCommaText(fields)) == fields);

  // The file: load, save over the widest row, load again.
  const std::string path = fuzz::ScratchDir() + "/list.csv";
  WriteBytes(path, in);
  WorkTable first("first", 0, 0);
  LoadTableFile(first, path, kMaxCols);
  int cols = 0;
  for (int r = 0; r < first.rowCount(); ++r)
    for (int c = kMaxCols - 1; c >= cols; --c)
      if (!first.cell(c, r).empty()) {
        cols = c + 1;
        break;
      }
  // Fields are decoded one by one as they are stored: each row holds the
  // fields of the same line of the whole decoded file, and nothing else.
  const auto lines = SplitLines(Cp932ToUtf8(in));
  FUZZ_CHECK(static_cast<int>(lines.size()) == first.rowCount());
  for (int r = 0; r < first.rowCount(); ++r) {
    const auto want = ParseCommaText(lines[static_cast<std::size_t>(r)], kMaxCols);
    for (int c = 0; c < kMaxCols; ++c)
      FUZZ_CHECK(
          first.cell(c, r) ==
          (static_cast<std::size_t>(c) < want.size() ? want[static_cast<std::size_t>(c)] : ""));
  }
  first.setColCount(cols);
  SaveTableFile(first, path);
  WorkTable second("second", 0, 0);
  LoadTableFile(second, path, kMaxCols);
  FUZZ_CHECK(second.rowCount() == first.rowCount());
  for (int r = 0; r < first.rowCount(); ++r)
    for (int c = 0; c < kMaxCols; ++c) FUZZ_CHECK(SameCell(first.cell(c, r), second.cell(c, r)));
  return 0;
}
