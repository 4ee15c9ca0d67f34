// Writes the codec's character tables (codec_tables.h) as a C++ source of
// constant data, built from glibc's CP932 and EUC-JP-MS converters. The build
// runs it once, so a program reads its first file without building them.
//
//   codec_tables OUT.cpp
#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "store/codec_tables.h"

using namespace tavrine::codec_tables;

namespace {

// A glibc converter.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (!ok()) std::fprintf(stderr, "codec_tables: no converter from %s to %s\n", from, to);
  }
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

// Calls put(cp, bytes) for each character of the Basic Multilingual Plane
// the converter encodes, in code point order.
template <class Put>
void EachEncoded(Converter& enc, Put&& put) {
  std::string out;
  for (char32_t cp = 0; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp < 0xE000) continue;
    if (enc.Run(Utf8Of(cp), out)) put(cp, std::string_view(out));
  }
}

// Decodes each byte alone: single(b, cp), cp kBad where the byte is no
// character by itself; then, for such a lead byte, pair(b, s, bytes) for
// each second byte s.
template <class Single, class Pair>
void EachLead(Converter& dec, Single&& single, Pair&& pair) {
  for (unsigned b = 0; b < 0x100; ++b) {
    const char one = static_cast<char>(b);
    const char32_t cp = dec.One(std::string_view(&one, 1));
    single(b, cp);
    if (cp != kBad) continue;
    for (unsigned s = 0; s < 0x100; ++s) {
      const char two[2] = {one, static_cast<char>(s)};
      pair(b, s, std::string_view(two, 2));
    }
  }
}

struct SjisTable {
  Packed single[256];
  std::vector<Packed> pair = std::vector<Packed>(0x10000, 0);
  std::vector<std::uint16_t> code = std::vector<std::uint16_t>(0x10000, kSjisNone);
  std::array<char32_t, kSjisDupSlots> canonical{};
};

bool BuildSjis(SjisTable& t) {
  Converter enc("CP932", "UTF-8"), dec("UTF-8", "CP932");
  if (!enc.ok() || !dec.ok()) return false;
  EachEncoded(enc, [&](char32_t cp, std::string_view out) {
    if (out.size() == 1)
      t.code[cp] = static_cast<unsigned char>(out[0]);
    else if (out.size() == 2 && static_cast<unsigned char>(out[0]) >= 0x80)
      t.code[cp] = static_cast<std::uint16_t>(static_cast<unsigned char>(out[0]) << 8 |
                                              static_cast<unsigned char>(out[1]));
  });
  for (unsigned b = 0; b < 0x100; ++b) t.code[kRawBase + b] = static_cast<std::uint16_t>(b);

  const auto single = [&](unsigned b, char32_t cp) {
    t.single[b] = cp != kBad && t.code[cp] == b ? PackChar(cp) : PackChar(kRawBase + b);
  };
  const auto pair = [&](unsigned b, unsigned s, std::string_view two) {
    const char32_t c2 = dec.One(two);
    if (c2 == kBad) return;
    const std::uint16_t bytes = static_cast<std::uint16_t>(b << 8 | s);
    if (t.code[c2] == bytes) {
      t.pair[bytes] = PackChar(c2);
      return;
    }
    // A duplicate without a slot is left undecoded: its lead byte then
    // stands alone and the bytes still come back as they were.
    const auto* at = std::find(std::begin(kSjisDupLeads), std::end(kSjisDupLeads), b);
    if (at == std::end(kSjisDupLeads) || s < 0x40) return;
    const std::size_t slot = static_cast<std::size_t>(at - kSjisDupLeads) * 0xC0 + (s - 0x40);
    t.pair[bytes] = PackChar(kSjisDupBase + static_cast<char32_t>(slot));
    t.code[kSjisDupBase + slot] = bytes;
    t.canonical[slot] = c2;
  };
  EachLead(dec, single, pair);
  return true;
}

struct EucTable {
  Packed single[256];
  std::uint8_t width[256] = {};
  std::vector<Packed> pair = std::vector<Packed>(0x10000, 0);
  std::vector<Packed> triple = std::vector<Packed>(0x10000, 0);
  std::vector<Packed> code = std::vector<Packed>(0x10000, 0);
  std::array<char32_t, kEucDupSlots> canonical{};
};

bool BuildEuc(EucTable& t) {
  Converter enc("EUC-JP-MS", "UTF-8"), dec("UTF-8", "EUC-JP-MS");
  if (!enc.ok() || !dec.ok()) return false;
  EachEncoded(enc, [&](char32_t cp, std::string_view out) {
    if (!out.empty() && out.size() <= 3) t.code[cp] = PackBytes(out);
  });
  for (unsigned b = 0; b < 0x100; ++b)
    t.code[kRawBase + b] = PackBytes(std::string(1, static_cast<char>(b)));

  // Classifies the character decoded from bytes; row and last pick the
  // duplicate slot. Returns what the bytes decode to, 0 when nothing.
  auto classify = [&](std::string_view bytes, unsigned row, unsigned last) -> Packed {
    const char32_t cp = dec.One(bytes);
    if (cp == kBad) return 0;
    const Packed packed = PackBytes(bytes);
    if (t.code[cp] == packed) return PackChar(cp);
    const auto* at = std::find(std::begin(kEucDupRows), std::end(kEucDupRows), row);
    if (at == std::end(kEucDupRows) || last < 0xA0) return 0;
    const std::size_t slot = static_cast<std::size_t>(at - kEucDupRows) * 0x60 + (last - 0xA0);
    t.code[kEucDupBase + slot] = packed;
    t.canonical[slot] = cp;
    return PackChar(kEucDupBase + static_cast<char32_t>(slot));
  };

  const auto single = [&](unsigned b, char32_t cp) {
    const char one = static_cast<char>(b);
    const bool alone = cp != kBad && t.code[cp] == PackBytes(std::string_view(&one, 1));
    t.single[b] = alone ? PackChar(cp) : PackChar(kRawBase + b);
  };
  const auto pair = [&](unsigned b, unsigned s, std::string_view two) {
    if ((t.pair[b << 8 | s] = classify(two, b, s))) t.width[b] = 2;
  };
  EachLead(dec, single, pair);
  if (t.width[0x8F] == 0 && t.single[0x8F] == PackChar(kRawBase + 0x8F)) {
    for (unsigned s = 0; s < 0x100; ++s)
      for (unsigned u = 0; u < 0x100; ++u) {
        const char three[3] = {'\x8F', static_cast<char>(s), static_cast<char>(u)};
        if ((t.triple[s << 8 | u] = classify(std::string_view(three, 3), 0x8F00 | s, u)))
          t.width[0x8F] = 3;
      }
  }
  return true;
}

// ---- writing ---------------------------------------------------------------

template <class T>
void Values(std::ofstream& f, const T* v, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    f << (i % 16 == 0 ? "\n    " : " ") << "0x" << std::hex << static_cast<std::uint64_t>(v[i])
      << std::dec << ',';
  }
  f << '\n';
}

template <class T>
void Array(std::ofstream& f, const char* type, const char* name, const T* v, std::size_t n) {
  f << "const " << type << ' ' << name << '[' << n << "] = {";
  Values(f, v, n);
  f << "};\n\n";
}

// A table over 16-bit keys in the pages At reads: page 0 empty, then one
// page for each 256 keys that hold anything but the empty value.
template <class T>
bool Paged(std::ofstream& f, const char* type, const char* name, const std::vector<T>& v, T empty) {
  std::uint8_t page[256] = {};
  std::vector<const T*> rows;
  const std::vector<T> none(256, empty);
  rows.push_back(none.data());
  for (unsigned hi = 0; hi < 256; ++hi) {
    const T* row = v.data() + hi * 256;
    if (std::all_of(row, row + 256, [&](T x) { return x == empty; })) continue;
    if (rows.size() > 255) return false;
    page[hi] = static_cast<std::uint8_t>(rows.size());
    rows.push_back(row);
  }
  Array(f, "std::uint8_t", (std::string(name) + "Page").c_str(), page, 256);
  f << "const " << type << ' ' << name << '[' << rows.size() << "][256] = {";
  for (const T* row : rows) {
    f << "\n  {";
    Values(f, row, 256);
    f << "  },";
  }
  f << "\n};\n\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: codec_tables OUT.cpp\n");
    return 2;
  }
  SjisTable sjis;
  EucTable euc;
  if (!BuildSjis(sjis) || !BuildEuc(euc)) return 1;

  const std::string tmp = std::string(argv[1]) + ".tmp";
  std::ofstream f(tmp, std::ios::trunc);
  f << "// Made by codec_tables_main.cpp from glibc's converters at build time.\n"
       "#include \"store/codec_tables.h\"\n\n"
       "namespace tavrine::codec_tables {\n\n";
  Array(f, "Packed", "kSjisSingle", sjis.single, 256);
  bool ok = Paged<Packed>(f, "Packed", "kSjisPair", sjis.pair, 0) &&
            Paged<std::uint16_t>(f, "std::uint16_t", "kSjisCode", sjis.code, kSjisNone);
  Array(f, "char32_t", "kSjisCanonical", sjis.canonical.data(), sjis.canonical.size());
  Array(f, "Packed", "kEucSingle", euc.single, 256);
  Array(f, "std::uint8_t", "kEucWidth", euc.width, 256);
  ok = ok && Paged<Packed>(f, "Packed", "kEucPair", euc.pair, 0) &&
       Paged<Packed>(f, "Packed", "kEucTriple", euc.triple, 0) &&
       Paged<Packed>(f, "Packed", "kEucCode", euc.code, 0);
  Array(f, "char32_t", "kEucCanonical", euc.canonical.data(), euc.canonical.size());
  f << "}  // namespace tavrine::codec_tables\n";
  f.close();
  if (!ok || !f || std::rename(tmp.c_str(), argv[1]) != 0) {
    std::fprintf(stderr, "codec_tables: cannot write %s\n", argv[1]);
    std::remove(tmp.c_str());
    return 1;
  }
  return 0;
}
