// Text files of TevloraT: one reader with the Pascal text-file rules that
// every reader of the program follows, one line writer that always puts CR LF,
// and the number formats of the files. Nothing here depends on the C locale:
// numbers are converted with std::to_chars / std::from_chars, so a comma
// locale set by the window toolkit never leaks into a file.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A runtime input/output error: a file that cannot be opened, read or written,
// or a number that cannot be converted. It ends the current command; the
// windows show its text in an error box, the batch tool prints it.
class TIOError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a whole text file into memory; nullopt when it cannot be opened or
// is a folder (ReadFailureReason then says why).
std::optional<std::string> LoadTextFile(const std::string& path);
// The same, but at most `limit` + 1 bytes of it: a longer result tells the
// caller that the file goes on beyond `limit`, which it need not hold.
std::optional<std::string> LoadTextFileStart(const std::string& path, std::size_t limit);

// Why the last LoadTextFile on this thread failed, in brackets after a blank
// (" (is a folder)", " (Permission denied)"); empty when it gave no reason.
std::string ReadFailureReason();

// Writes `content` to `path` through a temporary file beside it, so that a
// failed write never leaves a damaged file in place of a good one. The
// temporary file has a fresh name and is created exclusively; it reaches the
// disk before it replaces the old file, whose permissions it keeps; a
// symbolic link is kept and the file it points to replaced. A folder, a
// device, a pipe or a socket in the way is never replaced nor opened.
// Returns false when the file could not be written; the old file is then
// untouched.
bool SaveFileSafely(const std::string& path, const std::string& content);
inline bool SaveTextFileSafely(const std::string& path, const std::string& content) {
  return SaveFileSafely(path, content);
}

// Takes the pieces of a file as they are made: false when a piece could not
// be written.
using TFileSink = std::function<bool(std::string_view)>;

// The same for a file too large to be held whole: `produce` hands its pieces
// to the sink as it makes them and returns false to give up. The target is
// replaced only when `produce` returns true and every piece was written; an
// exception from `produce` leaves the old file too, and is passed on.
bool SaveStreamedFileSafely(const std::string& path,
                            const std::function<bool(const TFileSink&)>& produce);

// Writes several files as one: every content to a temporary file beside its
// target first, and only when all of them are complete are the targets
// replaced. Returns false when any of them could not be written; the old
// files are then all as they were.
bool SaveTextFilesTogether(const std::vector<std::pair<std::string, std::string>>& files);

// The system's reason why the last safe write on this thread failed, in
// brackets after a blank (" (Permission denied)"); empty when it gave none.
std::string WriteFailureReason();

// True when `a` and `b` name the same file: the same file on disk when both
// exist, otherwise the same normalised absolute path once symbolic links,
// also those that point to no file yet, are followed.
bool SameFile(const std::string& a, const std::string& b);

// `path` with its extension replaced (or added) by `extension` (".out" ...).
// Only the last path component is looked at.
std::string ChangeFileExt(const std::string& path, const std::string& extension);

// Sequential reader over the text of a file. Line ends are CR LF, LF or CR.
class TTextReader {
 public:
  explicit TTextReader(std::string text, std::string name = {});

  bool Eof() const { return position_ >= text_.size(); }
  // End of file once blanks and line ends are skipped (used by the record
  // loops, so that trailing empty lines do not count as records).
  bool SeekEof();
  bool Eoln() const;

  // At most k characters, never passing the end of the line.
  std::string ReadChars(std::size_t k);
  // k single characters, line-end characters included (CR LF counts two).
  void SkipChars(std::size_t k);
  // The rest of the current line; moves to the start of the next line.
  std::string ReadLine();
  void SkipLine() { ReadLine(); }
  void SkipLines(int count);

  // Free-format numbers: blanks and line ends are skipped first, then one
  // token up to the next blank or line end is converted with a point as
  // decimal separator. Throws TIOError when the token is not a number.
  double ReadReal();
  int ReadInteger();

  // 1-based number of the line the reader is in (for error texts).
  int LineNumber() const;
  const std::string& Name() const { return name_; }

 private:
  std::string ReadToken();
  [[noreturn]] void InvalidNumber(const std::string& token) const;

  std::string text_;
  std::string name_;
  std::size_t position_ = 0;
};

// Builds the text of a file line by line; every line ends with CR LF.
class TTextWriter {
 public:
  TTextWriter& operator<<(std::string_view part) {
    text_.append(part);
    return *this;
  }
  void EndLine() { text_.append("\r\n"); }
  void Line(std::string_view line) {
    text_.append(line);
    EndLine();
  }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// Number forms of the files. A value that is not finite cannot be written in
// any of them: the formatters throw TIOError for it.

// x:w:d — d decimals, right-aligned in at least w characters, point; a
// negative value keeps its minus sign also when it rounds to zero ("-0.00").
std::string FormatFixed(double x, int width, int decimals);
// The input file's form of width w: fixed with two decimals when x >= 1,
// otherwise the exponent form " 5.0E-0001" (at least 10 characters).
std::string FormatInputNumber(double x, int width);
// The exponent form alone (the branch of FormatInputNumber for x < 1).
std::string FormatInputExponent(double x, int width);
// "%10.5e" of the alpha coefficients: 0.0123 -> "1.2300E-002".
std::string FormatAlphaCoefficient(double x);
// "%6.2f".
inline std::string Format6_2(double x) {
  return FormatFixed(x, 6, 2);
}
// Shortest decimal text of fields and grid cells: general format, up to 15
// significant digits, no trailing zeros ("12.5", "0.001", "1E-6").
std::string ShortestText(double x, char decimalSeparator = '.');

// Formats the values of one results file and keeps the first one that cannot
// be written: a value that is not finite, or a value of a table column so
// wide that no blank is left between it and the column before, so that the
// file could not be read back.
class TValueCheck {
 public:
  // x:w:d of a single value, `what` naming it in the message.
  std::string Fixed(double x, int width, int decimals, const char* what);
  // x:w:d in a column of a table; `record` numbers the row in the message.
  std::string Column(double x, int width, int decimals, const char* what, int record);
  bool Ok() const { return problem_.empty(); }
  // "the time of record 3 is too large for its column", ...
  const std::string& Problem() const { return problem_; }

 private:
  std::string Checked(double x, int width, int decimals, bool column, const char* what, int record);
  std::string problem_;
};

// "The results were not written: <problem>. ..."
std::string ResultsNotWrittenText(const std::string& problem);

// Free-format conversion of a whole token with a point; nullopt if it is not
// a number. Accepts a leading sign and the exponent forms of the files.
std::optional<double> ParseReal(std::string_view token);

// The program's decimal separator for typed text, taken from the locale at
// start-up. StringToFloat parses with it and, failing that, with the other of
// "." and ","; it throws TIOError when neither works.
extern char CurrentDecimalSeparator;
std::optional<double> TryStringToFloat(std::string_view text);
double StringToFloat(std::string_view text);

std::string Trim(std::string_view text);

// Text from a file or a user, made safe to show on a terminal or in a box:
// control characters, bytes that are not UTF-8 and the C1 controls appear as
// \xNN (\t, \r, \n as such); everything else stays as it is.
std::string PrintableText(std::string_view text);
// A value quoted in a message (a cell, a token of a file): printable as
// above and cut after kShownValueLength bytes with "...".
inline constexpr std::size_t kShownValueLength = 40;
std::string ShownValue(std::string_view text);

// One field of a CSV line for spreadsheets: quoted when it holds a comma, a
// double quote or a line end, and preceded by a single quote when it begins
// with =, +, @, a tab, a carriage return, or a - that does not begin a
// number, so that a spreadsheet never takes it for a formula.
std::string CsvField(std::string_view text);
