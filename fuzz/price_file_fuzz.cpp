// Daily-price files as users download them: the first input byte picks the
// file's name (with or without a code), the rest is the file. Whatever the
// bytes, the reader either gives closes the list can hold, on days up to
// today, newest first, or refuses with a message that names the file; and
// the same file with CR LF line ends reads the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "list/price_file.h"
#include "store/codec.h"
#include "store/text.h"

using namespace tavrine;

namespace {

const int kToday = DaysFromCivil(2026, 12, 9);
const char* const kNames[] = {"7203.csv", "prices.csv", "130a_x.csv", "C:\\dl\\6758.T.csv"};
const char* const kShown[] = {"7203.csv", "prices.csv", "130a_x.csv", "6758.T.csv"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Empty, or four digits, or three digits and a capital letter.
bool IsCode(const std::string& c) {
  if (c.empty()) return true;
  return c.size() == 4 && IsDigit(c[0]) && IsDigit(c[1]) && IsDigit(c[2]) &&
         (IsDigit(c[3]) || (c[3] >= 'A' && c[3] <= 'Z'));
}

// Plain decimal text as the list keeps it: digits, at most one point with
// digits after it and no trailing zero, no leading zero but "0.x".
bool IsListClose(const std::string& s) {
  const auto dot = s.find('.');
  const std::string whole = s.substr(0, dot);
  if (whole.empty() || (whole.size() > 1 && whole[0] == '0')) return false;
  for (char c : whole)
    if (!IsDigit(c)) return false;
  if (dot == std::string::npos) return true;
  const std::string frac = s.substr(dot + 1);
  if (frac.empty() || frac.back() == '0') return false;
  for (char c : frac)
    if (!IsDigit(c)) return false;
  return true;
}

struct Outcome {
  bool taken = false;
  PriceFile file;
  std::string message;
  int line = -1;
};

Outcome Read(std::string_view bytes, const char* name) {
  Outcome o;
  try {
    o.file = ParsePriceFile(bytes, name, kToday);
    o.taken = true;
  } catch (const PriceFileError& e) {
    o.message = e.what();
    o.line = e.line();
  }
  return o;
}

bool Same(const Outcome& a, const Outcome& b) {
  if (a.taken != b.taken || a.message != b.message || a.line != b.line) return false;
  if (!a.taken) return true;
  if (a.file.code != b.file.code || a.file.name != b.file.name ||
      a.file.titleCode != b.file.titleCode || a.file.titleLine != b.file.titleLine ||
      a.file.skipped != b.file.skipped || a.file.rows.size() != b.file.rows.size())
    return false;
  for (std::size_t k = 0; k < a.file.rows.size(); ++k)
    if (a.file.rows[k].day != b.file.rows[k].day || a.file.rows[k].close != b.file.rows[k].close ||
        a.file.rows[k].line != b.file.rows[k].line)
      return false;
  return true;
}

void Check(const Outcome& o, std::size_t which) {
  if (!o.taken) {
    FUZZ_CHECK(o.message.starts_with(std::string(kShown[which]) + ": "));
    FUZZ_CHECK(o.line >= 0);
    if (o.line > 0) FUZZ_CHECK(o.message.find(IntToStr(o.line) + "行目: ") != std::string::npos);
    FUZZ_CHECK(o.message.size() < 400);
    return;
  }
  const PriceFile& f = o.file;
  FUZZ_CHECK(!f.rows.empty());
  FUZZ_CHECK(static_cast<int>(f.rows.size()) + f.skipped <= kPriceFileMaxRows);
  FUZZ_CHECK(IsCode(f.code) && IsCode(f.titleCode));
  FUZZ_CHECK((f.titleLine > 0) == !f.titleCode.empty());
  FUZZ_CHECK(Utf8ToCp932(f.name).size() <= 80);  // as the list's tools measure a name
  for (std::size_t k = 0; k < f.rows.size(); ++k) {
    const PriceRow& r = f.rows[k];
    FUZZ_CHECK(r.day <= kToday && r.day >= DaysFromCivil(1900, 1, 1));
    if (k > 0) FUZZ_CHECK(r.day < f.rows[k - 1].day);
    FUZZ_CHECK(r.line >= 1 && r.line > f.titleLine);
    FUZZ_CHECK(IsListClose(r.close));
    const long double v = StrToFloat(r.close);
    FUZZ_CHECK(v > 0 && v < kPriceFileMaxClose + 0.5L);
    FUZZ_CHECK(FloatToStr(v) == r.close);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t which = data[0] % 4;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const Outcome o = Read(bytes, kNames[which]);
  Check(o, which);
  FUZZ_CHECK(Same(o, Read(bytes, kNames[which])));

  // LF line ends made CR LF: the same rows, lines and messages.
  if (bytes.find('\r') == std::string_view::npos && bytes.size() < 4096) {
    std::string crlf;
    for (char c : bytes) {
      if (c == '\n') crlf += '\r';
      crlf += c;
    }
    if (crlf.size() <= kPriceFileMaxBytes) FUZZ_CHECK(Same(o, Read(crlf, kNames[which])));
  }
  return 0;
}
