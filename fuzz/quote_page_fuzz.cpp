// Quote pages as they arrive: the first input byte picks the page number
// (0..76), the rest is the page (EUC-JP bytes). The byte cuts run on the page
// directly, then the collection's per-page steps run on it as the collection
// would after a download.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/workspace.h"
#include "fuzz_support.h"
#include "store/codec.h"
#include "store/paths.h"
#include "web/quote_page.h"

using namespace tavrine;
using namespace tavrine::quote;

namespace {

void Cuts(std::string_view page) {
  const std::string kept = KeptWindow(page);
  if (Pos(kRowMarker, page) == 0)
    FUZZ_CHECK(kept == page);
  else
    FUZZ_CHECK(kept.starts_with(kRowMarker) && kept.size() <= kKeptWindow &&
               page.find(kept) != page.npos);

  for (const auto& line : SplitLines(kept))
    for (const auto& row : SplitPageLine(line)) {
      // Every marker became a line break, and breaks split the pieces.
      FUZZ_CHECK(row.find(kRowMarker) == row.npos && row.find_first_of("\r\n") == row.npos);
      const std::string head = DateHead(row);
      FUZZ_CHECK(head.size() <= 9 && row.starts_with(head));
      const std::string value = ExtractValue(row);
      if (Pos(kRowEnd, row) > 0 || Pos(kCellStart, row) > 0)
        FUZZ_CHECK(value.size() <= kValueWindow);
      if (const std::size_t at = Pos(kCellStart, row); at > 0)
        FUZZ_CHECK(Copy(row, at, kCellStart.size()) == kCellStart);
      const std::string plain = RemoveCommas(value);
      FUZZ_CHECK(plain.size() <= value.size() && plain.size() + 4 >= value.size());
      (void)ProgressLabel(head);
    }
  (void)ProbeIsTradingDay(page);

  // Positions and counts beyond either end of the page.
  const long long n = static_cast<long long>(page.size());
  for (long long index : {LLONG_MIN, -1LL, 0LL, 1LL, n, n + 1, LLONG_MAX})
    for (long long count : {LLONG_MIN, 0LL, 1LL, n, LLONG_MAX}) {
      const std::string part = Copy(page, index, count);
      FUZZ_CHECK(part.size() <= page.size() && (count > 0 || part.empty()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("TAVRINE_ROOT", fuzz::ScratchDir().c_str(), 1);
  setenv("TAVRINE_HOME", fuzz::ScratchDir().c_str(), 1);
  std::filesystem::create_directories(RootPath("tavrine"));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int pageNo = data[0] % (kLastPage + 1);
  const std::string_view page(reinterpret_cast<const char*>(data) + 1, size - 1);
  Cuts(page);

  // The collection's steps after a download, as for page pageNo of a run.
  SilentPlatform platform;
  Workspace ws(platform);
  try {
    WriteBytes(RootPath("tavrine/rireki.txt"), KeptWindow(page));
    ws.SeriesTable.set(14, 4864, IntToStr(pageNo));
    ws.collection.Button91Click();
    ws.collection.Button92Click();
    ws.collection.Button93Click();
    ws.collection.Button95Click();
    ws.collection.Button96Click();
  } catch (const ConversionError&) {
  } catch (const FileError&) {
  }
  return 0;
}
