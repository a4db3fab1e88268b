#include "TextFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

std::optional<std::string> LoadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return buffer.str();
}

bool SaveTextFileSafely(const std::string& path, const std::string& content) {
  namespace fs = std::filesystem;
  const std::string temporary = path + ".tmp~";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.flush();
    if (!out) {
      out.close();
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code error;
  fs::rename(temporary, path, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return false;
  }
  return true;
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
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

TTextReader::TTextReader(std::string text, std::string name)
    : text_(std::move(text)), name_(std::move(name)) {}

bool TTextReader::Eoln() const { return Eof() || IsLineEnd(text_[position_]); }

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
  if (!name_.empty()) text += " in file \"" + name_ + "\"";
  text += ", line " + std::to_string(LineNumber());
  text += token.empty() ? ": a number is missing" : ": \"" + token + "\" is not a number";
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
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, std::fabs(x), std::chars_format::scientific,
                    decimals);
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

std::string FormatFixed(double x, int width, int decimals) {
  if (x == 0) x = 0;  // no "-0.00"
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, decimals);
  std::string text(buffer, result.ptr);
  // A value that rounds to zero is written without its sign.
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return PadLeft(std::move(text), width);
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
  std::string mantissa;
  int exponent = 0;
  Scientific(x, 4, mantissa, exponent);
  if (x == 0) exponent = 0;
  std::string text = (x < 0 ? "-" : "") + mantissa + "E" + ExponentDigits(exponent, 3);
  return PadLeft(std::move(text), 10);
}

std::string ShortestText(double x, char decimalSeparator) {
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
  throw TIOError("'" + std::string(text) + "' is not a valid floating point value");
}
