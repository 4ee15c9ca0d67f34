#include "store/codec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "store/codec_tables.h"
#include "store/save_guard.h"
#include "store/text.h"

namespace tavrine {

namespace {

// ---- character tables ------------------------------------------------------
//
// Both file encodings are decoded and encoded through constant tables the
// build makes from glibc's converters (codec_tables.h).

using namespace codec_tables;

// Appends a packed string; the buffer has room for three bytes past d.
inline void Put(char*& d, Packed p) {
  d[0] = static_cast<char>(p >> 8);
  d[1] = static_cast<char>(p >> 16);
  d[2] = static_cast<char>(p >> 24);
  d += p & 0xFF;
}

// The character a duplicate stands for, or 0 when cp is none.
char32_t DuplicateOf(char32_t cp) {
  if (cp >= kSjisDupBase && cp < kSjisDupBase + kSjisDupSlots)
    return kSjisCanonical[cp - kSjisDupBase];
  if (cp >= kEucDupBase && cp < kEucDupBase + kEucDupSlots) return kEucCanonical[cp - kEucDupBase];
  return 0;
}

// Shift-JIS code of a code point; a duplicate of the other encoding is
// written as its character.
std::uint16_t SjisCode(char32_t cp) {
  if (cp >= 0x10000) return kSjisNone;
  std::uint16_t v = At(kSjisCodePage, kSjisCode, cp);
  if (v == kSjisNone) {
    const char32_t k = DuplicateOf(cp);
    if (k) v = At(kSjisCodePage, kSjisCode, k);
  }
  return v;
}

Packed EucCode(char32_t cp) {
  if (cp >= 0x10000) return 0;
  Packed v = At(kEucCodePage, kEucCode, cp);
  if (v == 0) {
    const char32_t k = DuplicateOf(cp);
    if (k) v = At(kEucCodePage, kEucCode, k);
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
// byte that starts none becomes its character in `single`.
template <class Multi>
std::string Decode(std::string_view bytes, const Packed (&single)[256], Multi multi) {
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
      Put(d, single[c]);
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
  return Decode(
      bytes, kSjisSingle,
      [](const unsigned char* s, std::size_t i, std::size_t n, std::size_t& len) -> Packed {
        // A byte with a page of pairs is a lead byte.
        const std::uint8_t page = kSjisPairPage[s[i]];
        if (!page || i + 1 >= n) return 0;
        len = 2;
        return kSjisPair[page][s[i + 1]];
      });
}

std::string Utf8ToCp932(std::string_view s) {
  // Never longer than the UTF-8.
  return Encode(s, s.size(), [](char*& d, char32_t cp) {
    const std::uint16_t v = SjisCode(cp);
    if (v == kSjisNone) {
      *d++ = '?';
    } else if (v < 0x100) {
      *d++ = static_cast<char>(v);
    } else {
      *d++ = static_cast<char>(v >> 8);
      *d++ = static_cast<char>(v & 0xFF);
    }
  });
}

std::string CharOutsideCp932(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size();) {
    const Step st = NextStep(utf8, i);
    if (st.cp >= 0x80 && SjisCode(st.cp) == kSjisNone) return std::string(utf8.substr(i, st.len));
    i += st.len;
  }
  return {};
}

std::size_t Cp932CharBytes(std::string_view utf8, std::size_t i, std::size_t& utf8Len) {
  const Step st = NextStep(utf8, i);
  utf8Len = st.len;
  if (st.cp < 0x80) return 1;
  const std::uint16_t v = SjisCode(st.cp);
  return v == kSjisNone || v < 0x100 ? 1 : 2;
}

std::string EucJpToUtf8(std::string_view bytes) {
  return Decode(
      bytes, kEucSingle,
      [](const unsigned char* s, std::size_t i, std::size_t n, std::size_t& len) -> Packed {
        len = kEucWidth[s[i]];
        if (len == 2 && i + 1 < n) return At(kEucPairPage, kEucPair, s[i] << 8 | s[i + 1]);
        if (len == 3 && i + 2 < n) return At(kEucTriplePage, kEucTriple, s[i + 1] << 8 | s[i + 2]);
        return 0;
      });
}

std::string Utf8ToEucJp(std::string_view s) {
  // A two-byte UTF-8 character can take three bytes (0x8F ...); room for Put.
  return Encode(s, s.size() * 3 / 2 + 3, [](char*& d, char32_t cp) {
    const Packed v = EucCode(cp);
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
  // Lines end at LF, CR or CR LF; a line is found by its LF and then cut at
  // the first CR in it, both by memchr.
  const char* base = text.data();
  std::size_t lf = 0;  // the next LF at or after i, or n
  auto nextLf = [&](std::size_t from) {
    const void* p = from < n ? std::memchr(base + from, '\n', n - from) : nullptr;
    return p ? static_cast<std::size_t>(static_cast<const char*>(p) - base) : n;
  };
  lf = nextLf(0);
  while (i < n) {
    if (lf < i) lf = nextLf(i);
    const void* cr = std::memchr(base + i, '\r', lf - i);
    const std::size_t j = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - base) : lf;
    std::string_view line = text.substr(i, j - i);
    if (const void* nul = std::memchr(line.data(), '\0', line.size()))
      line = line.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - line.data()));
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

std::string ReadCopyBytes(const std::string& path) {
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
  return data;
}

std::string ReadBytes(const std::string& path) {
  std::string data = ReadCopyBytes(path);
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

void (*g_beforeReplace)(const std::string&) = nullptr;

// A temporary of WriteBytes: NAME.tmp and six letters or digits.
bool IsLeftTemporary(const std::string& name) {
  const std::size_t at = name.rfind(".tmp");
  if (at == std::string::npos || at == 0 || name.size() != at + 4 + 6) return false;
  for (std::size_t i = at + 4; i < name.size(); ++i)
    if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
  return true;
}

}  // namespace

void SetBeforeReplaceHookForTests(void (*hook)(const std::string& path)) { g_beforeReplace = hook; }

int RemoveLeftTemporaries(const std::string& folder) {
  int removed = 0;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    std::error_code kind;
    if (IsLeftTemporary(name) &&
        e.symlink_status(kind).type() == std::filesystem::file_type::regular &&
        ::unlink(e.path().c_str()) == 0)
      ++removed;
  }
  return removed;
}

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
  // Another program may have written the file while ours was being written:
  // checked again right before the replace, its file is kept then.
  if (g_beforeReplace) g_beforeReplace(path);
  CheckBeforeSave(path);
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
