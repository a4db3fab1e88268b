#include "TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace {
thread_local int lastReadError = 0;

// Reads up to `limit` bytes of `path`; a folder is no file, whatever the
// system lets a program read of it.
std::optional<std::string> ReadUpTo(const std::string& path, std::size_t limit) {
  lastReadError = 0;
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (descriptor < 0) {
    lastReadError = errno;
    return std::nullopt;
  }
  struct stat status {};
  if (::fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode)) {
    ::close(descriptor);
    lastReadError = EISDIR;
    return std::nullopt;
  }
  std::string text;
  char buffer[65536];
  while (text.size() < limit) {
    const std::size_t wanted = std::min(sizeof buffer, limit - text.size());
    const ssize_t got = ::read(descriptor, buffer, wanted);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      lastReadError = errno;
      ::close(descriptor);
      return std::nullopt;
    }
    if (got == 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(descriptor);
  return text;
}
}  // namespace

std::optional<std::string> LoadTextFile(const std::string& path) {
  return ReadUpTo(path, std::string().max_size());
}

std::optional<std::string> LoadTextFileStart(const std::string& path, std::size_t limit) {
  return ReadUpTo(path, limit + 1);
}

std::string ReadFailureReason() {
  if (lastReadError == 0) return {};
  if (lastReadError == EISDIR) return " (is a folder)";
  return " (" + std::string(std::strerror(lastReadError)) + ")";
}

namespace {
// The file a write to `path` must replace: a symbolic link is followed to the
// file it points to, so the link itself stays a link.
std::filesystem::path ReplacedFile(const std::filesystem::path& path) {
  namespace fs = std::filesystem;
  fs::path target = path;
  for (int depth = 0; depth < 40; ++depth) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(target, error))) break;
    const fs::path link = fs::read_symlink(target, error);
    if (error) break;
    target = link.is_absolute() ? link : target.parent_path() / link;
  }
  return target;
}

bool WriteAll(int descriptor, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(descriptor, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

mode_t CreationMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}
}  // namespace

namespace {
thread_local int lastWriteError = 0;
// Set instead when the target is no file that may be replaced.
thread_local const char* lastWriteRefusal = nullptr;

// Remembers errno of a failing step of a safe write; returns false.
bool WriteFailed() {
  lastWriteError = errno;
  return false;
}

void ForgetWriteFailure() {
  lastWriteError = 0;
  lastWriteRefusal = nullptr;
}

// A folder, a device, a pipe or a socket is never replaced by a file: the
// rename would quietly turn it into one (as root even the null device).
// Whether it exists is asked without opening it, so a pipe cannot block.
bool RefuseSpecialTarget(const std::filesystem::path& target) {
  struct stat status {};
  if (::stat(target.c_str(), &status) != 0 || S_ISREG(status.st_mode)) return false;
  lastWriteRefusal = S_ISDIR(status.st_mode) ? "is a folder" : "is not a regular file";
  return true;
}
}  // namespace

std::string WriteFailureReason() {
  if (lastWriteRefusal != nullptr) return " (" + std::string(lastWriteRefusal) + ")";
  if (lastWriteError == 0) return {};
  return " (" + std::string(std::strerror(lastWriteError)) + ")";
}

namespace {
// A fresh file in the target's own folder, created exclusively, holding
// what `fill` writes to it, on disk, with the permissions (and, where the user may keep them,
// the owner and group) of the file it will replace. Nothing planted under a
// guessable name is followed, two writers never share it, and the rename
// stays within one file system. Empty when it could not be written in full.
std::string WriteTemporaryBeside(const std::filesystem::path& target,
                                 const std::function<bool(int)>& fill) {
  // The target's name with a random ending, shortened where the folder's
  // limit on names would otherwise refuse a target of a legal length.
  std::string leaf = target.filename().string();
  const std::filesystem::path folder =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  const std::size_t room = (limit > 0 ? static_cast<std::size_t>(limit) : 255) - 7;
  if (leaf.size() > room) leaf.resize(room);
  std::string name = (target.has_parent_path() ? (folder / leaf).string() : leaf) + ".XXXXXX";
  const int descriptor = ::mkstemp(name.data());
  if (descriptor < 0) {
    WriteFailed();
    return {};
  }
  struct stat old {};
  const bool replacing = ::stat(target.c_str(), &old) == 0;
  if (replacing && ::fchown(descriptor, old.st_uid, old.st_gid) != 0) {
    [[maybe_unused]] const int groupOnly = ::fchown(descriptor, static_cast<uid_t>(-1), old.st_gid);
  }
  const mode_t mode = replacing ? (old.st_mode & 07777) : CreationMode();
  bool written = false;
  try {
    written = ::fchmod(descriptor, mode) == 0 && fill(descriptor);
  } catch (...) {
    ::close(descriptor);
    ::unlink(name.c_str());
    throw;
  }
  // On disk before it replaces the old file, so a crash leaves one or the other.
  written = written && ::fsync(descriptor) == 0;
  if (!written) WriteFailed();
  if (::close(descriptor) != 0 && written) written = WriteFailed();
  if (!written) {
    ::unlink(name.c_str());
    return {};
  }
  return name;
}

std::function<bool(int)> Filling(const std::string& content) {
  return
      [&content](int descriptor) { return WriteAll(descriptor, content.data(), content.size()); };
}

// The renamed entry itself reaches the disk with its folder.
void SyncFolderOf(const std::filesystem::path& target) {
  const std::filesystem::path folder =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (directory >= 0) {
    ::fsync(directory);
    ::close(directory);
  }
}

// Puts the complete temporary file (none when it is empty) in place of the
// target.
bool RenameOver(const std::string& temporary, const std::filesystem::path& target) {
  if (temporary.empty()) return false;
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    WriteFailed();
    ::unlink(temporary.c_str());
    return false;
  }
  SyncFolderOf(target);
  return true;
}
}  // namespace

bool SaveFileSafely(const std::string& path, const std::string& content) {
  ForgetWriteFailure();
  const std::filesystem::path target = ReplacedFile(path);
  if (RefuseSpecialTarget(target)) return false;
  return RenameOver(WriteTemporaryBeside(target, Filling(content)), target);
}

bool SaveStreamedFileSafely(const std::string& path,
                            const std::function<bool(const TFileSink&)>& produce) {
  ForgetWriteFailure();
  const std::filesystem::path target = ReplacedFile(path);
  if (RefuseSpecialTarget(target)) return false;
  const std::string temporary = WriteTemporaryBeside(target, [&produce](int descriptor) {
    // Pieces are gathered to a size worth a system call.
    constexpr std::size_t kChunk = 1 << 20;
    std::string buffer;
    bool failed = false;
    const TFileSink sink = [&](std::string_view piece) {
      if (failed) return false;
      buffer.append(piece);
      if (buffer.size() >= kChunk) {
        failed = !WriteAll(descriptor, buffer.data(), buffer.size());
        buffer.clear();
      }
      return !failed;
    };
    if (!produce(sink) || failed) return false;
    return WriteAll(descriptor, buffer.data(), buffer.size());
  });
  return RenameOver(temporary, target);
}

bool SaveTextFilesTogether(const std::vector<std::pair<std::string, std::string>>& files) {
  ForgetWriteFailure();
  for (const auto& file : files) {
    if (RefuseSpecialTarget(ReplacedFile(file.first))) return false;
  }
  std::vector<std::filesystem::path> targets;
  std::vector<std::string> temporaries;
  const auto removeTemporaries = [&temporaries](std::size_t from) {
    for (std::size_t i = from; i < temporaries.size(); ++i) ::unlink(temporaries[i].c_str());
  };
  for (const auto& [path, content] : files) {
    targets.push_back(ReplacedFile(path));
    temporaries.push_back(WriteTemporaryBeside(targets.back(), Filling(content)));
    if (temporaries.back().empty()) {
      temporaries.pop_back();
      removeTemporaries(0);
      return false;
    }
  }
  // Everything is on disk; a rename that fails now puts the files already
  // replaced back from their old contents, with their old times: a file of
  // the pair that looked newer than the other would mark it as torn.
  std::vector<std::optional<std::string>> before;
  std::vector<std::optional<std::filesystem::file_time_type>> beforeTimes;
  for (const auto& target : targets) {
    before.push_back(LoadTextFile(target.string()));
    std::error_code error;
    const auto time = std::filesystem::last_write_time(target, error);
    beforeTimes.push_back(error ? std::nullopt : std::optional(time));
  }
  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (::rename(temporaries[i].c_str(), targets[i].c_str()) == 0) {
      SyncFolderOf(targets[i]);
      continue;
    }
    WriteFailed();
    const int reason = lastWriteError;
    removeTemporaries(i);
    for (std::size_t k = 0; k < i; ++k) {
      if (before[k]) {
        if (SaveFileSafely(targets[k].string(), *before[k]) && beforeTimes[k]) {
          std::error_code ignored;
          std::filesystem::last_write_time(targets[k], *beforeTimes[k], ignored);
        }
      } else {
        ::unlink(targets[k].c_str());
      }
    }
    lastWriteError = reason;
    return false;
  }
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (fs::exists(a, error) && fs::exists(b, error)) {
    const bool same = fs::equivalent(a, b, error);
    if (!error) return same;
  }
  // A link to a file not written yet names that file.
  const fs::path first = fs::weakly_canonical(fs::absolute(ReplacedFile(a), error), error);
  const fs::path second = fs::weakly_canonical(fs::absolute(ReplacedFile(b), error), error);
  return first.lexically_normal() == second.lexically_normal();
}

std::string ChangeFileExt(const std::string& path, const std::string& extension) {
  const auto slash = path.find_last_of("/\\");
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return path + extension;
  }
  return path.substr(0, dot) + extension;
}

// ---------------------------------------------------------------------------
// TTextReader

namespace {
bool IsLineEnd(char c) {
  return c == '\r' || c == '\n';
}
bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
}  // namespace

TTextReader::TTextReader(std::string text, std::string name)
    : text_(std::move(text)), name_(std::move(name)) {}

bool TTextReader::Eoln() const {
  return Eof() || IsLineEnd(text_[position_]);
}

bool TTextReader::SeekEof() {
  while (!Eof() && (IsBlank(text_[position_]) || IsLineEnd(text_[position_]))) ++position_;
  return Eof();
}

std::string TTextReader::ReadChars(std::size_t k) {
  std::string result;
  while (result.size() < k && !Eoln()) result.push_back(text_[position_++]);
  return result;
}

void TTextReader::SkipChars(std::size_t k) {
  position_ = std::min(text_.size(), position_ + k);
}

std::string TTextReader::ReadLine() {
  std::string line;
  while (!Eoln()) line.push_back(text_[position_++]);
  if (!Eof()) {
    if (text_[position_] == '\r') {
      ++position_;
      if (!Eof() && text_[position_] == '\n') ++position_;
    } else {
      ++position_;
    }
  }
  return line;
}

void TTextReader::SkipLines(int count) {
  for (int i = 0; i < count; ++i) SkipLine();
}

std::string TTextReader::ReadToken() {
  SeekEof();
  std::string token;
  while (!Eof() && !IsBlank(text_[position_]) && !IsLineEnd(text_[position_])) {
    token.push_back(text_[position_++]);
  }
  return token;
}

int TTextReader::LineNumber() const {
  int line = 1;
  for (std::size_t i = 0; i < position_ && i < text_.size(); ++i) {
    if (text_[i] == '\n' || (text_[i] == '\r' && (i + 1 >= text_.size() || text_[i + 1] != '\n'))) {
      ++line;
    }
  }
  return line;
}

void TTextReader::InvalidNumber(const std::string& token) const {
  std::string text = "Invalid numeric input";
  if (!name_.empty()) text += " in file \"" + PrintableText(name_) + "\"";
  text += ", line " + std::to_string(LineNumber());
  text +=
      token.empty() ? ": a number is missing" : ": \"" + ShownValue(token) + "\" is not a number";
  throw TIOError(text);
}

double TTextReader::ReadReal() {
  const std::string token = ReadToken();
  const auto value = ParseReal(token);
  if (!value) InvalidNumber(token);
  return *value;
}

int TTextReader::ReadInteger() {
  const std::string token = ReadToken();
  std::string_view digits = token;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
    InvalidNumber(token);
  }
  return value;
}

// ---------------------------------------------------------------------------
// Number forms

std::optional<double> ParseReal(std::string_view token) {
  if (!token.empty() && token.front() == '+') token.remove_prefix(1);
  if (token.empty() || token.front() == '+') return std::nullopt;
  // from_chars would accept "inf" and "nan"; the files never hold them.
  for (char c : token) {
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' ||
          c == 'e' || c == 'E')) {
      return std::nullopt;
    }
  }
  double value = 0;
  const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
  if (error != std::errc() || end != token.data() + token.size()) return std::nullopt;
  return value;
}

namespace {
std::string PadLeft(std::string text, int width) {
  if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), ' ');
  return text;
}

// Mantissa digits (with the point) and the decimal exponent of x in
// scientific notation with `decimals` digits after the point.
void Scientific(double x, int decimals, std::string& mantissa, int& exponent) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(x),
                                    std::chars_format::scientific, decimals);
  const std::string text(buffer, result.ptr);
  const auto e = text.find('e');
  mantissa = text.substr(0, e);
  exponent = std::stoi(text.substr(e + 1));
}

std::string ExponentDigits(int exponent, int minimumDigits) {
  std::string digits = std::to_string(std::abs(exponent));
  if (static_cast<int>(digits.size()) < minimumDigits) {
    digits.insert(0, minimumDigits - digits.size(), '0');
  }
  return (exponent < 0 ? "-" : "+") + digits;
}
}  // namespace

namespace {
void RequireFinite(double x) {
  if (!std::isfinite(x)) {
    throw TIOError(std::string("The value ") +
                   (std::isnan(x) ? "NaN"
                    : x < 0       ? "-inf"
                                  : "inf") +
                   " cannot be written to a file");
  }
}
}  // namespace

std::string FormatFixed(double x, int width, int decimals) {
  RequireFinite(x);
  if (x == 0) x = 0;  // negative zero is no negative value: no "-0.00"
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) throw TIOError("A number is too long to be written to a file");
  return PadLeft(std::string(buffer, result.ptr), width);
}

namespace {
// Like Scientific, but rounded half up on the shortest decimal text of x:
// a value typed as 0.0885 is written 8.9E-0002, as the user reads it, even
// though the double nearest to it lies just below the half.
void ScientificHalfUp(double x, int decimals, std::string& mantissa, int& exponent) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, std::fabs(x), std::chars_format::scientific);
  const std::string text(buffer, result.ptr);
  const auto e = text.find('e');
  exponent = std::stoi(text.substr(e + 1));
  std::string digits;
  for (char c : text.substr(0, e)) {
    if (c != '.') digits.push_back(c);
  }
  const std::size_t keep = static_cast<std::size_t>(decimals) + 1;
  const bool up = digits.size() > keep && digits[keep] >= '5';
  digits.resize(keep, '0');
  if (up) {
    std::size_t i = keep;
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0) {
      digits.insert(digits.begin(), '1');
      digits.pop_back();
      ++exponent;
    } else {
      ++digits[i - 1];
    }
  }
  mantissa = digits.substr(0, 1) + "." + digits.substr(1);
}
}  // namespace

std::string FormatInputExponent(double x, int width) {
  RequireFinite(x);
  const int decimals = std::max(width - 8, 2) - 1;
  std::string mantissa;
  int exponent = 0;
  ScientificHalfUp(x, decimals, mantissa, exponent);
  if (x == 0) exponent = 0;
  std::string text = (x < 0 ? "-" : " ") + mantissa + "E" + ExponentDigits(exponent, 4);
  return PadLeft(std::move(text), std::max(width, 10));
}

std::string FormatInputNumber(double x, int width) {
  return x >= 1 ? FormatFixed(x, width, 2) : FormatInputExponent(x, width);
}

std::string FormatAlphaCoefficient(double x) {
  RequireFinite(x);
  std::string mantissa;
  int exponent = 0;
  Scientific(x, 4, mantissa, exponent);
  if (x == 0) exponent = 0;
  std::string text = (x < 0 ? "-" : "") + mantissa + "E" + ExponentDigits(exponent, 3);
  return PadLeft(std::move(text), 10);
}

std::string ShortestText(double x, char decimalSeparator) {
  RequireFinite(x);
  if (x == 0) return "0";
  std::string mantissa;
  int exponent = 0;
  Scientific(x, 14, mantissa, exponent);  // 15 significant digits
  std::string digits;
  for (char c : mantissa) {
    if (c != '.') digits.push_back(c);
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string text = x < 0 ? "-" : "";
  const int count = static_cast<int>(digits.size());
  if (exponent >= 15 || exponent < -5) {
    text += digits.substr(0, 1);
    if (count > 1) text += decimalSeparator + digits.substr(1);
    text += 'E';
    if (exponent < 0) text += '-';
    text += std::to_string(std::abs(exponent));
  } else if (exponent < 0) {
    text += "0";
    text += decimalSeparator;
    text += std::string(-exponent - 1, '0') + digits;
  } else if (count <= exponent + 1) {
    text += digits + std::string(exponent + 1 - count, '0');
  } else {
    text += digits.substr(0, exponent + 1) + decimalSeparator + digits.substr(exponent + 1);
  }
  return text;
}

std::string TValueCheck::Fixed(double x, int width, int decimals, const char* what) {
  return Checked(x, width, decimals, false, what, 0);
}

std::string TValueCheck::Column(double x, int width, int decimals, const char* what, int record) {
  return Checked(x, width, decimals, true, what, record);
}

std::string TValueCheck::Checked(double x, int width, int decimals, bool column, const char* what,
                                 int record) {
  std::string text;
  const char* fault = nullptr;
  if (!std::isfinite(x)) {
    fault = " is not a finite number";
  } else {
    text = FormatFixed(x, width, decimals);
    // A column's value must leave a blank before it, or it runs into the
    // column on its left.
    if (column && text.front() != ' ') fault = " is too large for its column";
  }
  if (!fault) return text;
  if (problem_.empty()) {
    problem_ = what;
    if (record > 0) problem_ += " of record " + std::to_string(record);
    problem_ += fault;
  }
  return std::string(width, '*');
}

std::string ResultsNotWrittenText(const std::string& problem) {
  return "The results were not written: " + problem +
         ". Check the input data; no results file was changed.";
}

// ---------------------------------------------------------------------------
// Typed numbers

char CurrentDecimalSeparator = '.';

std::string Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

namespace {
std::optional<double> ParseWithSeparator(const std::string& text, char separator) {
  if (text.empty()) return std::nullopt;
  std::string converted = text;
  for (char& c : converted) {
    if (c == separator) {
      c = '.';
    } else if (c == '.' || c == ',') {
      return std::nullopt;  // the other separator is not part of a number
    }
  }
  return ParseReal(converted);
}
}  // namespace

std::optional<double> TryStringToFloat(std::string_view text) {
  const std::string trimmed = Trim(text);
  if (auto value = ParseWithSeparator(trimmed, CurrentDecimalSeparator)) return value;
  const char other = CurrentDecimalSeparator == ',' ? '.' : ',';
  return ParseWithSeparator(trimmed, other);
}

double StringToFloat(std::string_view text) {
  if (auto value = TryStringToFloat(text)) return *value;
  throw TIOError("'" + ShownValue(text) + "' is not a valid floating point value");
}

// ---------------------------------------------------------------------------
// Text shown to the user and fields for spreadsheets

namespace {
void AppendEscaped(std::string& out, unsigned char c) {
  switch (c) {
    case '\t':
      out += "\\t";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\n':
      out += "\\n";
      return;
    default:
      break;
  }
  static const char kHex[] = "0123456789ABCDEF";
  out += "\\x";
  out += kHex[c >> 4];
  out += kHex[c & 15];
}

// Length of the well-formed UTF-8 sequence at text[i], 0 when there is none.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  // U+0080 to U+009F are controls too (one of them starts a terminal command).
  if (lead == 0xC2 && byte(i + 1) <= 0x9F) return 0;
  return length;
}
}  // namespace

std::string PrintableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      ++i;
    } else if (const std::size_t length = c >= 0x80 ? Utf8Length(text, i) : 0) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      AppendEscaped(out, c);
      ++i;
    }
  }
  return out;
}

std::string ShownValue(std::string_view text) {
  if (text.size() <= kShownValueLength) return PrintableText(text);
  std::size_t cut = kShownValueLength;
  // Not inside a UTF-8 sequence.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return PrintableText(text.substr(0, cut)) + "...";
}

std::string CsvField(std::string_view text) {
  std::string field(text);
  const bool formula =
      !field.empty() && (field.front() == '=' || field.front() == '+' || field.front() == '@' ||
                         field.front() == '\t' || field.front() == '\r' ||
                         (field.front() == '-' && !ParseReal(field)));
  if (formula) field.insert(0, 1, '\'');
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}
