#include "store/codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "store/text.h"

namespace tavrine {

namespace {

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  // Converts as much as possible; returns bytes consumed. Stops at an
  // invalid or incomplete sequence.
  std::size_t Run(const char* in, std::size_t inLen, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in);
    std::size_t left = inLen;
    char buf[8192];
    while (left > 0) {
      char* dst = buf;
      std::size_t room = sizeof buf;
      std::size_t r = iconv(cd_, &src, &left, &dst, &room);
      out.append(buf, dst - buf);
      if (r == static_cast<std::size_t>(-1) && errno != E2BIG) break;
    }
    return inLen - left;
  }

 private:
  iconv_t cd_;
};

// Decodes with a fall-back for undecodable bytes.
std::string Decode(Iconv& cv, std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t used = cv.ok() ? cv.Run(bytes.data() + pos, bytes.size() - pos, out) : 0;
    pos += used;
    if (pos < bytes.size()) {
      AppendUtf8(out, 0xF780 + static_cast<unsigned char>(bytes[pos]));
      ++pos;
    }
  }
  return out;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes) {
  bool ascii = true;
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  if (ascii) return std::string(bytes);
  thread_local Iconv cv("UTF-8", "CP932");
  return Decode(cv, bytes);
}

std::string EucJpToUtf8(std::string_view bytes) {
  thread_local Iconv cv("UTF-8", "EUC-JP-MS");
  return Decode(cv, bytes);
}

std::string Utf8ToCp932(std::string_view s) {
  thread_local Iconv cv("CP932", "UTF-8");
  std::string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    // Copy runs of ASCII directly.
    std::size_t j = i;
    while (j < s.size() && static_cast<unsigned char>(s[j]) < 0x80) ++j;
    out.append(s.data() + i, j - i);
    i = j;
    if (i >= s.size()) break;
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (i + len > s.size()) len = s.size() - i;
    if (len == 3) {
      char32_t cp = ((c & 0x0F) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3F) << 6) |
                    (static_cast<unsigned char>(s[i + 2]) & 0x3F);
      if (cp >= 0xF780 && cp <= 0xF87F) {  // a raw byte kept from decoding
        out += static_cast<char>(cp - 0xF780);
        i += 3;
        continue;
      }
    }
    std::string piece;
    std::size_t used = cv.ok() ? cv.Run(s.data() + i, len, piece) : 0;
    if (used == len && !piece.empty())
      out += piece;
    else
      out += '?';
    i += len;
  }
  return out;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    std::size_t j = i;
    while (j < n && text[j] != '\r' && text[j] != '\n') ++j;
    std::string_view line = text.substr(i, j - i);
    auto nul = line.find('\0');
    if (nul != std::string_view::npos) line = line.substr(0, nul);
    lines.emplace_back(line);
    if (j < n && text[j] == '\r' && j + 1 < n && text[j + 1] == '\n')
      i = j + 2;
    else
      i = j + 1;
  }
  return lines;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError("ファイル \"" + path + "\" を開けません。");
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) throw FileError("ファイル \"" + path + "\" を読み込めません。");
  return ss.str();
}

std::vector<std::string> ReadLines(const std::string& path) { return SplitLines(Cp932ToUtf8(ReadBytes(path))); }

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

void WriteText(const std::string& path, std::string_view utf8) { WriteBytes(path, Utf8ToCp932(utf8)); }

void WriteBytes(const std::string& path, std::string_view bytes) {
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) throw FileError("ファイル \"" + path + "\" を作成できません。");
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      out.close();
      std::remove(tmp.c_str());
      throw FileError("ファイル \"" + path + "\" に書き込めません。");
    }
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    std::remove(tmp.c_str());
    throw FileError("ファイル \"" + path + "\" に書き込めません。");
  }
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
