// The codec keeps every byte of a file: any bytes read as Shift-JIS (or as
// EUC-JP) and written back the same way are the bytes read, stray bytes and
// the duplicate codes of the NEC and IBM extensions included.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "store/codec.h"

using namespace tavrine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  FUZZ_CHECK(Utf8ToCp932(Cp932ToUtf8(in)) == in);
#ifdef TAVRINE_HAS_UTF8_TO_EUCJP
  FUZZ_CHECK(Utf8ToEucJp(EucJpToUtf8(in)) == in);
#else
  (void)EucJpToUtf8(in);  // no writer yet: the reader must at least not fail
#endif
  return 0;
}
