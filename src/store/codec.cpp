#include "store/codec.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <random>

#include "store/save_guard.h"
#include "store/text.h"

namespace tavrine {

namespace {

// ---- character tables ------------------------------------------------------
//
// Both file encodings are decoded and encoded through tables built once from
// glibc's converters. Every byte sequence decodes to text that encodes back to
// the same bytes:
//   - a character whose usual code is the sequence decodes to the character;
//   - a "duplicate", a code whose character the encoder writes with another
//     code (NEC and IBM extensions that repeat each other), decodes to a
//     private-use character that records the code;
//   - a byte that starts no character decodes to U+F780+byte.

constexpr char32_t kRawBase = 0xF780;  // U+F780..U+F87F: a byte that is no character
constexpr char32_t kBad = 0xFFFFFFFF;  // a UTF-8 step that is no character either file can hold

// Shift-JIS duplicates: U+F000 + lead index * 0xC0 + (trail - 0x40),
// U+F000..U+F47F, clear of U+E000..U+E757 (the user area F040..F9FC).
constexpr char32_t kSjisDupBase = 0xF000;
constexpr unsigned char kSjisDupLeads[] = {0x87, 0xED, 0xEE, 0xFA, 0xFB, 0xFC};
constexpr std::size_t kSjisDupSlots = sizeof kSjisDupLeads * 0xC0;

// EUC-JP duplicates: U+F500 + row index * 0x60 + (last byte - 0xA0),
// U+F500..U+F67F; a row is a lead byte or 0x8F with the second byte.
constexpr char32_t kEucDupBase = 0xF500;
constexpr unsigned kEucDupRows[] = {0xAD, 0x8FA2, 0x8FF3, 0x8FF4};
constexpr std::size_t kEucDupSlots = sizeof kEucDupRows / sizeof kEucDupRows[0] * 0x60;

// A short byte string packed into 32 bits: its length in the low byte and up
// to three bytes above it. 0 is "nothing". Decoded characters are packed
// UTF-8, encoded EUC-JP characters packed EUC-JP.
using Packed = std::uint32_t;

Packed PackBytes(std::string_view b) {
  Packed p = static_cast<Packed>(b.size());
  for (std::size_t k = 0; k < b.size() && k < 3; ++k)
    p |= static_cast<Packed>(static_cast<unsigned char>(b[k])) << (8 * (k + 1));
  return p;
}

std::string Utf8Of(char32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

Packed PackChar(char32_t cp) { return PackBytes(Utf8Of(cp)); }

// Appends a packed string; the buffer has room for three bytes past d.
inline void Put(char*& d, Packed p) {
  d[0] = static_cast<char>(p >> 8);
  d[1] = static_cast<char>(p >> 16);
  d[2] = static_cast<char>(p >> 24);
  d += p & 0xFF;
}

inline bool Cont(std::string_view s, std::size_t i, unsigned lo = 0x80, unsigned hi = 0xBF) {
  if (i >= s.size()) return false;
  const unsigned char c = static_cast<unsigned char>(s[i]);
  return c >= lo && c <= hi;
}

// One character of UTF-8 text at s[i]: its code point and length. A malformed
// sequence (stray continuation byte, cut, overlong or surrogate sequence) is
// one step of its first byte and the continuation bytes that fit, with code
// point kBad; so is a character beyond the Basic Multilingual Plane, which
// neither file encoding holds.
struct Step {
  char32_t cp;
  std::size_t len;
};

inline Step NextStep(std::string_view s, std::size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) return {c, 1};
  if (c >= 0xC2 && c <= 0xDF) {
    if (!Cont(s, i + 1)) return {kBad, 1};
    return {static_cast<char32_t>(((c & 0x1F) << 6) | (s[i + 1] & 0x3F)), 2};
  }
  if (c >= 0xE0 && c <= 0xEF) {
    const unsigned lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
    if (!Cont(s, i + 1, lo, hi)) return {kBad, 1};
    if (!Cont(s, i + 2)) return {kBad, 2};
    return {
        static_cast<char32_t>(((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F)),
        3};
  }
  if (c >= 0xF0 && c <= 0xF4) {
    const unsigned lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
    if (!Cont(s, i + 1, lo, hi)) return {kBad, 1};
    if (!Cont(s, i + 2)) return {kBad, 2};
    if (!Cont(s, i + 3)) return {kBad, 3};
    return {kBad, 4};
  }
  return {kBad, 1};
}

// A glibc converter used while the tables are built.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  // The whole input as one conversion, or false.
  bool Run(std::string_view in, std::string& out) {
    out.clear();
    if (!ok()) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char buf[16];
    char* dst = buf;
    std::size_t room = sizeof buf;
    if (iconv(cd_, &src, &left, &dst, &room) == static_cast<std::size_t>(-1) || left != 0)
      return false;
    if (iconv(cd_, nullptr, nullptr, &dst, &room) == static_cast<std::size_t>(-1)) return false;
    out.assign(buf, static_cast<std::size_t>(dst - buf));
    return true;
  }
  // Decodes bytes that must make exactly one character of the Basic
  // Multilingual Plane; kBad otherwise.
  char32_t One(std::string_view in) {
    std::string u;
    if (!Run(in, u) || u.empty()) return kBad;
    const Step st = NextStep(u, 0);
    return st.len == u.size() ? st.cp : kBad;
  }

 private:
  iconv_t cd_;
};

// Shift-JIS (code page 932).
struct SjisTable {
  static constexpr std::uint16_t kNone = 0xFFFF;

  Packed single[256];               // a byte read alone: its character or its raw-byte character
  bool lead[256] = {};              // starts a two-byte character with some trail byte
  std::vector<Packed> pair;         // lead << 8 | trail: the character, 0 when none
  std::vector<std::uint16_t> code;  // code point: a byte (< 0x100), lead << 8 | trail, or kNone
  std::array<char32_t, kSjisDupSlots> canonical{};  // duplicate slot: its character

  SjisTable() : pair(0x10000, 0), code(0x10000, kNone) {
    Converter enc("CP932", "UTF-8"), dec("UTF-8", "CP932");
    std::string out;
    for (char32_t cp = 0; cp < 0x10000; ++cp) {
      if (cp >= 0xD800 && cp < 0xE000) continue;
      if (!enc.Run(Utf8Of(cp), out)) continue;
      if (out.size() == 1)
        code[cp] = static_cast<unsigned char>(out[0]);
      else if (out.size() == 2 && static_cast<unsigned char>(out[0]) >= 0x80)
        code[cp] = static_cast<std::uint16_t>(static_cast<unsigned char>(out[0]) << 8 |
                                              static_cast<unsigned char>(out[1]));
    }
    for (unsigned b = 0; b < 0x100; ++b) code[kRawBase + b] = static_cast<std::uint16_t>(b);

    for (unsigned b = 0; b < 0x100; ++b) {
      const char one = static_cast<char>(b);
      const char32_t cp = dec.One(std::string_view(&one, 1));
      single[b] = cp != kBad && code[cp] == b ? PackChar(cp) : PackChar(kRawBase + b);
      if (cp != kBad) continue;
      for (unsigned t = 0; t < 0x100; ++t) {
        const char two[2] = {one, static_cast<char>(t)};
        const char32_t c2 = dec.One(std::string_view(two, 2));
        if (c2 == kBad) continue;
        const std::uint16_t bytes = static_cast<std::uint16_t>(b << 8 | t);
        if (code[c2] == bytes) {
          pair[bytes] = PackChar(c2);
        } else {
          // A duplicate without a slot is left undecoded: its lead byte then
          // stands alone and the bytes still come back as they were.
          const auto* at = std::find(std::begin(kSjisDupLeads), std::end(kSjisDupLeads), b);
          if (at == std::end(kSjisDupLeads) || t < 0x40) continue;
          const std::size_t slot = static_cast<std::size_t>(at - kSjisDupLeads) * 0xC0 + (t - 0x40);
          pair[bytes] = PackChar(kSjisDupBase + static_cast<char32_t>(slot));
          code[kSjisDupBase + slot] = bytes;
          canonical[slot] = c2;
        }
        lead[b] = true;
      }
    }
  }
};

// EUC-JP as Microsoft extends it (glibc "EUC-JP-MS").
struct EucTable {
  Packed single[256];
  unsigned char width[256] = {};  // 2: leads two-byte characters; 3: 0x8F, leads three-byte ones
  std::vector<Packed> pair;       // lead << 8 | trail
  std::vector<Packed> triple;     // second << 8 | third, after 0x8F
  std::vector<Packed> code;       // code point: its packed EUC-JP bytes, 0 when none
  std::array<char32_t, kEucDupSlots> canonical{};

  EucTable() : pair(0x10000, 0), triple(0x10000, 0), code(0x10000, 0) {
    Converter enc("EUC-JP-MS", "UTF-8"), dec("UTF-8", "EUC-JP-MS");
    std::string out;
    for (char32_t cp = 0; cp < 0x10000; ++cp) {
      if (cp >= 0xD800 && cp < 0xE000) continue;
      if (enc.Run(Utf8Of(cp), out) && !out.empty() && out.size() <= 3) code[cp] = PackBytes(out);
    }
    for (unsigned b = 0; b < 0x100; ++b)
      code[kRawBase + b] = PackBytes(std::string(1, static_cast<char>(b)));

    // Classifies the character decoded from bytes; row and last pick the
    // duplicate slot. Returns what the bytes decode to, 0 when nothing.
    auto classify = [&](std::string_view bytes, unsigned row, unsigned last) -> Packed {
      const char32_t cp = dec.One(bytes);
      if (cp == kBad) return 0;
      const Packed packed = PackBytes(bytes);
      if (code[cp] == packed) return PackChar(cp);
      const auto* at = std::find(std::begin(kEucDupRows), std::end(kEucDupRows), row);
      if (at == std::end(kEucDupRows) || last < 0xA0) return 0;
      const std::size_t slot = static_cast<std::size_t>(at - kEucDupRows) * 0x60 + (last - 0xA0);
      code[kEucDupBase + slot] = packed;
      canonical[slot] = cp;
      return PackChar(kEucDupBase + static_cast<char32_t>(slot));
    };

    for (unsigned b = 0; b < 0x100; ++b) {
      const char one = static_cast<char>(b);
      const char32_t cp = dec.One(std::string_view(&one, 1));
      const bool alone = cp != kBad && code[cp] == PackBytes(std::string_view(&one, 1));
      single[b] = alone ? PackChar(cp) : PackChar(kRawBase + b);
      if (cp != kBad) continue;
      for (unsigned t = 0; t < 0x100; ++t) {
        const char two[2] = {one, static_cast<char>(t)};
        if ((pair[b << 8 | t] = classify(std::string_view(two, 2), b, t))) width[b] = 2;
      }
    }
    if (width[0x8F] == 0 && single[0x8F] == PackChar(kRawBase + 0x8F)) {
      for (unsigned s = 0; s < 0x100; ++s)
        for (unsigned t = 0; t < 0x100; ++t) {
          const char three[3] = {'\x8F', static_cast<char>(s), static_cast<char>(t)};
          if ((triple[s << 8 | t] = classify(std::string_view(three, 3), 0x8F00 | s, t)))
            width[0x8F] = 3;
        }
    }
  }
};

const SjisTable& Sjis() {
  static const SjisTable table;
  return table;
}

const EucTable& Euc() {
  static const EucTable table;
  return table;
}

// The character a duplicate stands for, or 0 when cp is none.
char32_t DuplicateOf(char32_t cp) {
  if (cp >= kSjisDupBase && cp < kSjisDupBase + kSjisDupSlots)
    return Sjis().canonical[cp - kSjisDupBase];
  if (cp >= kEucDupBase && cp < kEucDupBase + kEucDupSlots)
    return Euc().canonical[cp - kEucDupBase];
  return 0;
}

// Shift-JIS code of a code point; a duplicate of the other encoding is
// written as its character.
std::uint16_t SjisCode(const SjisTable& t, char32_t cp) {
  if (cp >= 0x10000) return SjisTable::kNone;
  std::uint16_t v = t.code[cp];
  if (v == SjisTable::kNone) {
    const char32_t k = DuplicateOf(cp);
    if (k) v = t.code[k];
  }
  return v;
}

Packed EucCode(const EucTable& t, char32_t cp) {
  if (cp >= 0x10000) return 0;
  Packed v = t.code[cp];
  if (v == 0) {
    const char32_t k = DuplicateOf(cp);
    if (k) v = t.code[k];
  }
  return v;
}

bool AllAscii(std::string_view bytes) {
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// Decodes one file form: ASCII stays itself; `multi(s, i, n, len)` gives the
// character of a multi-byte sequence at i with its length (0 for none), and a
// byte that starts none becomes the table's single-byte character.
template <class Table, class Multi>
std::string Decode(std::string_view bytes, const Table& t, Multi multi) {
  if (AllAscii(bytes)) return std::string(bytes);
  // An ASCII byte gives itself, any other byte at most three bytes of UTF-8;
  // three more of room for Put. Counted first, so a list of a few megabytes
  // of digits does not take three times its size at once.
  std::size_t high = 0;
  for (const char c : bytes) high += static_cast<unsigned char>(c) >> 7;
  std::string out(bytes.size() + 2 * high + 3, '\0');
  char* d = out.data();
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned c = s[i];
    if (c < 0x80) {
      *d++ = static_cast<char>(c);
      ++i;
      continue;
    }
    std::size_t len = 0;
    const Packed p = multi(s, i, n, len);
    if (p) {
      Put(d, p);
      i += len;
    } else {
      Put(d, t.single[c]);
      ++i;
    }
  }
  out.resize(static_cast<std::size_t>(d - out.data()));
  return out;
}

// Encodes UTF-8 into one file form: ASCII stays itself, every other character
// goes through `put(d, cp)`, which writes its bytes (or '?').
template <class PutChar>
std::string Encode(std::string_view s, std::size_t room, PutChar put) {
  std::string out(room, '\0');
  char* d = out.data();
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      *d++ = static_cast<char>(c);
      ++i;
      continue;
    }
    const Step st = NextStep(s, i);
    i += st.len;
    put(d, st.cp);
  }
  out.resize(static_cast<std::size_t>(d - out.data()));
  return out;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes) {
  const SjisTable& t = Sjis();
  return Decode(
      bytes, t,
      [&t](const unsigned char* s, std::size_t i, std::size_t n, std::size_t& len) -> Packed {
        if (!t.lead[s[i]] || i + 1 >= n) return 0;
        len = 2;
        return t.pair[s[i] << 8 | s[i + 1]];
      });
}

std::string Utf8ToCp932(std::string_view s) {
  const SjisTable& t = Sjis();
  // Never longer than the UTF-8.
  return Encode(s, s.size(), [&t](char*& d, char32_t cp) {
    const std::uint16_t v = SjisCode(t, cp);
    if (v == SjisTable::kNone) {
      *d++ = '?';
    } else if (v < 0x100) {
      *d++ = static_cast<char>(v);
    } else {
      *d++ = static_cast<char>(v >> 8);
      *d++ = static_cast<char>(v & 0xFF);
    }
  });
}

std::size_t Cp932CharBytes(std::string_view utf8, std::size_t i, std::size_t& utf8Len) {
  const Step st = NextStep(utf8, i);
  utf8Len = st.len;
  if (st.cp < 0x80) return 1;
  const std::uint16_t v = SjisCode(Sjis(), st.cp);
  return v == SjisTable::kNone || v < 0x100 ? 1 : 2;
}

std::string EucJpToUtf8(std::string_view bytes) {
  const EucTable& t = Euc();
  return Decode(
      bytes, t,
      [&t](const unsigned char* s, std::size_t i, std::size_t n, std::size_t& len) -> Packed {
        len = t.width[s[i]];
        if (len == 2 && i + 1 < n) return t.pair[s[i] << 8 | s[i + 1]];
        if (len == 3 && i + 2 < n) return t.triple[static_cast<unsigned>(s[i + 1]) << 8 | s[i + 2]];
        return 0;
      });
}

std::string Utf8ToEucJp(std::string_view s) {
  const EucTable& t = Euc();
  // A two-byte UTF-8 character can take three bytes (0x8F ...); room for Put.
  return Encode(s, s.size() * 3 / 2 + 3, [&t](char*& d, char32_t cp) {
    const Packed v = EucCode(t, cp);
    if (v == 0)
      *d++ = '?';
    else
      Put(d, v);
  });
}

std::string DisplayText(std::string_view s) {
  // Duplicates lie in U+F000..U+F67F, EF 80 80 .. EF 99 BF in UTF-8.
  std::size_t at = s.find('\xEF');
  if (at == std::string_view::npos) return std::string(s);
  std::string out;
  out.reserve(s.size());
  std::size_t done = 0;
  for (; at != std::string_view::npos; at = s.find('\xEF', at + 1)) {
    if (!Cont(s, at + 1, 0x80, 0x99) || !Cont(s, at + 2)) continue;
    const char32_t k = DuplicateOf(NextStep(s, at).cp);
    if (!k) continue;
    out.append(s.substr(done, at - done));
    out += Utf8Of(k);
    done = at + 3;
    at += 2;
  }
  out.append(s.substr(done));
  return out;
}

std::vector<std::string_view> SplitLineViews(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    std::size_t j = i;
    while (j < n && text[j] != '\r' && text[j] != '\n') ++j;
    std::string_view line = text.substr(i, j - i);
    auto nul = line.find('\0');
    if (nul != std::string_view::npos) line = line.substr(0, nul);
    lines.push_back(line);
    if (j < n && text[j] == '\r' && j + 1 < n && text[j + 1] == '\n')
      i = j + 2;
    else
      i = j + 1;
  }
  return lines;
}

std::vector<std::string> SplitLines(std::string_view text) {
  const auto views = SplitLineViews(text);
  return std::vector<std::string>(views.begin(), views.end());
}

namespace {

// A file descriptor closed when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Closes now, reporting whether the close succeeded.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

std::string ReadBytes(const std::string& path) {
  // Non-blocking, so a FIFO in the file's place cannot hold the open up; it
  // and a folder are turned away, as is anything but a regular file.
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st;
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
    throw FileError("ファイル \"" + path + "\" を開けません。");
  // One byte more than the size, so a file that has grown is still read whole.
  std::string data(static_cast<std::size_t>(st.st_size) + 1, '\0');
  std::size_t used = 0;
  for (;;) {
    if (used == data.size()) data.resize(data.size() * 2);
    const ssize_t r = ::read(fd.get(), data.data() + used, data.size() - used);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) throw FileError("ファイル \"" + path + "\" を読み込めません。");
    if (r == 0) break;
    used += static_cast<std::size_t>(r);
  }
  data.resize(used);
  NoteRead(path, data);
  return data;
}

std::vector<std::string> ReadLines(const std::string& path) { return SplitLines(ReadText(path)); }

std::string ReadText(const std::string& path) { return Cp932ToUtf8(ReadBytes(path)); }

bool FileExists(const std::string& path) {
  std::error_code ec;
  const bool found = std::filesystem::is_regular_file(path, ec);
  if (!found && !std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
    NoteMissing(path);
  return found;
}

void WriteText(const std::string& path, std::string_view utf8) {
  WriteBytes(path, Utf8ToCp932(utf8));
}

namespace {

// Why a file could not be made or written, as the user can act on it.
std::string Reason(int err) {
  switch (err) {
    case EACCES:
    case EPERM:
      return "書き込みの許可がありません";
    case EROFS:
      return "読み取り専用の場所です";
    case ENOENT:
      return "保存先のフォルダがありません";
    case ENOSPC:
    case EDQUOT:
      return "空き容量が足りません";
    case EISDIR:
    case ENOTEMPTY:
    case EEXIST:
      return "同じ名前のフォルダがあります";
    case ELOOP:
      return "リンクが循環しています";
    case ENOTDIR:
      return "途中の名前がフォルダではありません";
    case ENAMETOOLONG:
      return "名前が長すぎます";
    default:
      return "エラー番号 " + std::to_string(err);
  }
}

std::string CannotCreate(const std::string& path, int err) {
  return "ファイル \"" + path + "\" を作成できません（" + Reason(err) + "）。";
}
std::string CannotWrite(const std::string& path, int err) {
  return "ファイル \"" + path + "\" に書き込めません（" + Reason(err) + "）。";
}

// The file a save replaces: path itself, or the end of the chain of links
// starting at path, so that a link stays a link. A relative link counts from
// its own folder.
std::string FinalTarget(const std::string& path) {
  std::filesystem::path p = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p.string();
    std::string to(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(p.c_str(), to.data(), to.size());
    if (n < 0 || static_cast<std::size_t>(n) >= to.size()) break;  // changed under us
    to.resize(static_cast<std::size_t>(n));
    p = p.parent_path() / to;
  }
  throw FileError(CannotCreate(path, ELOOP));
}

// A name in the target's folder that nothing holds yet: NAME.tmp and six
// random letters.
std::string TempName(const std::string& target) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 rng(std::random_device{}() ^
                                   (static_cast<std::uint64_t>(::getpid()) << 32));
  std::string name = target + ".tmp";
  for (int k = 0; k < 6; ++k) name += kLetters[rng() % (sizeof kLetters - 1)];
  return name;
}

}  // namespace

void WriteBytes(const std::string& path, std::string_view bytes) {
  CheckBeforeSave(path);
  const std::string target = FinalTarget(path);

  // Saves before this one wrote through the fixed name NAME.tmp. One left
  // behind, or a link planted there, is removed (unlinking a link never
  // touches what it leads to); what cannot be removed, such as a folder,
  // stops the save as it always did.
  if (::unlink((target + ".tmp").c_str()) != 0 && errno != ENOENT)
    throw FileError(CannotCreate(path, errno == EISDIR ? EISDIR : errno));

  // The temporary is created new (O_EXCL): no existing file or link is ever
  // opened. 0666 less the umask is the mode of a new file.
  std::string tmp;
  int raw = -1;
  for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
    tmp = TempName(target);
    raw = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (raw < 0 && errno != EEXIST) break;
  }
  if (raw < 0) throw FileError(CannotCreate(path, errno));
  Fd fd(raw);
  // Removes the temporary on every way out until it has replaced the target.
  struct Remover {
    const std::string& name;
    bool armed = true;
    ~Remover() {
      if (armed) ::unlink(name.c_str());
    }
  } remover{tmp};

  struct stat old;
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
      ::fchmod(fd.get(), old.st_mode & 07777) != 0)
    throw FileError(CannotWrite(path, errno));
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t w = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) throw FileError(CannotWrite(path, w < 0 ? errno : ENOSPC));
    done += static_cast<std::size_t>(w);
  }
  if (::fsync(fd.get()) != 0 || !fd.close()) throw FileError(CannotWrite(path, errno));
  if (::rename(tmp.c_str(), target.c_str()) != 0) throw FileError(CannotWrite(path, errno));
  remover.armed = false;
  NoteSaved(path, bytes);

  // The new name on disk as well; a failure here loses nothing already written.
  std::filesystem::path folder = std::filesystem::path(target).parent_path();
  if (folder.empty()) folder = ".";
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines, bool finalBreak) {
  std::string text;
  std::size_t total = 0;
  for (const auto& l : lines) total += l.size() + 2;
  text.reserve(total);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text += lines[i];
    if (i + 1 < lines.size() || finalBreak) text += "\r\n";
  }
  WriteText(path, text);
}

}  // namespace tavrine
