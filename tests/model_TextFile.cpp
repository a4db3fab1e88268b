// Number forms and the Pascal-style text reader shared by every file.
#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <limits>

#include "TestSupport.h"
#include "TextFile.h"

TEST(NumberForms, FixedWidthAndDecimals) {
  EXPECT_EQ(FormatFixed(12.5, 8, 2), "   12.50");
  EXPECT_EQ(FormatFixed(-0.5, 8, 4), " -0.5000");
  EXPECT_EQ(FormatFixed(123456.789, 6, 2), "123456.79");  // wider when needed
  EXPECT_EQ(FormatFixed(0.0005, 7, 3), "  0.001");
  EXPECT_EQ(FormatFixed(42, 5, 0), "   42");
}

// A negative value keeps its sign when it rounds to zero; negative zero is
// no negative value.
TEST(NumberForms, MinusSignOfValuesThatRoundToZero) {
  const struct {
    double x;
    int width, decimals;
    const char* text;
  } cases[] = {{-0.001, 6, 2, " -0.00"},
               {-0.000001, 8, 5, "-0.00000"},
               {-0.0, 6, 2, "  0.00"},
               {0.001, 6, 2, "  0.00"}};
  for (const auto& c : cases) EXPECT_EQ(FormatFixed(c.x, c.width, c.decimals), c.text) << c.x;
}

// A value that is not finite is the program's own input/output error in every
// form; a results writer's check names the value and keeps the column width.
TEST(NumberForms, NonFiniteValuesAreRefused) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double x : {inf, -inf, nan}) {
    EXPECT_THROW(FormatFixed(x, 10, 2), TIOError);
    EXPECT_THROW(FormatInputNumber(x, 10), TIOError);
    EXPECT_THROW(FormatInputExponent(x, 10), TIOError);
    EXPECT_THROW(FormatAlphaCoefficient(x), TIOError);
    EXPECT_THROW(ShortestText(x), TIOError);
  }
  const struct {
    double x;
    bool column;
    const char* problem;
  } cases[] = {{999999.99, true, ""},
               {-99999.99, true, ""},
               {1000000, true, "the time of record 3 is too large for its column"},
               {-1e308, true, "the time of record 3 is too large for its column"},
               {1e12, false, ""},
               {nan, false, "the time is not a finite number"},
               {-inf, true, "the time of record 3 is not a finite number"}};
  for (const auto& c : cases) {
    TValueCheck check;
    const std::string text =
        c.column ? check.Column(c.x, 10, 2, "the time", 3) : check.Fixed(c.x, 10, 2, "the time");
    EXPECT_EQ(check.Problem(), c.problem) << c.x;
    EXPECT_EQ(check.Ok(), *c.problem == '\0') << c.x;
  }
}

TEST(NumberForms, InputFileFixedAndExponentForms) {
  EXPECT_EQ(FormatInputNumber(1, 8), "    1.00");
  EXPECT_EQ(FormatInputNumber(12.5, 8), "   12.50");
  EXPECT_EQ(FormatInputNumber(0.999, 8), " 1.0E+0000");
  EXPECT_EQ(FormatInputNumber(0.5, 8), " 5.0E-0001");
  EXPECT_EQ(FormatInputNumber(0.5, 10), " 5.0E-0001");
  EXPECT_EQ(FormatInputNumber(0, 8), " 0.0E+0000");
  EXPECT_EQ(FormatInputNumber(0.25, 12), " 2.500E-0001");
  EXPECT_EQ(FormatInputNumber(-2, 10), "-2.0E+0000");
  EXPECT_EQ(FormatInputNumber(0.093, 8), " 9.3E-0002");
  EXPECT_EQ(FormatInputNumber(1500, 12), "     1500.00");
}

TEST(NumberForms, AlphaCoefficientForm) {
  EXPECT_EQ(FormatAlphaCoefficient(0.0123), "1.2300E-002");
  EXPECT_EQ(FormatAlphaCoefficient(-2.5), "-2.5000E+000");
  EXPECT_EQ(FormatAlphaCoefficient(0), "0.0000E+000");
  EXPECT_EQ(FormatAlphaCoefficient(0.0995), "9.9500E-002");
  EXPECT_EQ(FormatAlphaCoefficient(1234.5), "1.2345E+003");
}

TEST(NumberForms, ShortestDecimalText) {
  EXPECT_EQ(ShortestText(100), "100");
  EXPECT_EQ(ShortestText(12.5), "12.5");
  EXPECT_EQ(ShortestText(0.001), "0.001");
  EXPECT_EQ(ShortestText(0.1), "0.1");
  EXPECT_EQ(ShortestText(-0.25), "-0.25");
  EXPECT_EQ(ShortestText(0), "0");
  EXPECT_EQ(ShortestText(0.00001), "0.00001");
  EXPECT_EQ(ShortestText(0.000001), "1E-6");
  EXPECT_EQ(ShortestText(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(ShortestText(1e15), "1E15");
  EXPECT_EQ(ShortestText(2.5, ','), "2,5");
}

TEST(NumberForms, FilesKeepAPointUnderACommaLocale) {
  const char* locale = std::setlocale(LC_ALL, "de_DE.UTF-8");
  if (locale == nullptr) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  EXPECT_EQ(FormatFixed(12.5, 8, 2), "   12.50");
  EXPECT_EQ(FormatInputNumber(0.5, 8), " 5.0E-0001");
  EXPECT_EQ(FormatAlphaCoefficient(0.0123), "1.2300E-002");
  EXPECT_EQ(ParseReal("2.5"), 2.5);
  TTextReader in(" 5.0E-0001   12.50\r\n");
  EXPECT_EQ(in.ReadReal(), 0.5);
  EXPECT_EQ(in.ReadReal(), 12.5);
  std::setlocale(LC_ALL, "C");
}

TEST(TextReader, CharactersStopAtTheLineEnd) {
  TTextReader in("ab\r\ncdef\r\n");
  EXPECT_EQ(in.ReadChars(4), "ab");
  EXPECT_TRUE(in.Eoln());
  in.SkipLine();
  EXPECT_EQ(in.ReadChars(3), "cde");
  EXPECT_EQ(in.ReadLine(), "f");
  EXPECT_TRUE(in.Eof());
}

TEST(TextReader, SkippedCharactersCountTheLineEnd) {
  // An empty CR LF line and then 21 characters: 23 characters in all.
  TTextReader in("\r\n" + std::string(21, '-') + "xyz\r\n");
  in.SkipChars(23);
  EXPECT_EQ(in.ReadChars(3), "xyz");
}

TEST(TextReader, NumbersSkipBlanksAndLineEnds) {
  TTextReader in("  1\r\n\r\n   -2.5E+0000 3\n4.25\r5");
  EXPECT_EQ(in.ReadInteger(), 1);
  EXPECT_EQ(in.ReadReal(), -2.5);
  EXPECT_EQ(in.ReadReal(), 3);
  EXPECT_EQ(in.ReadReal(), 4.25);
  EXPECT_EQ(in.ReadReal(), 5);
  EXPECT_TRUE(in.SeekEof());
}

TEST(TextReader, BadNumbersAreInputErrors) {
  TTextReader decimalComma("1,5", "x.inp");
  EXPECT_THROW(decimalComma.ReadReal(), TIOError);
  TTextReader fraction("1.5");
  EXPECT_THROW(fraction.ReadInteger(), TIOError);
  TTextReader empty("   \r\n");
  EXPECT_THROW(empty.ReadReal(), TIOError);
  TTextReader notANumber("inf");
  EXPECT_THROW(notANumber.ReadReal(), TIOError);
}

TEST(TypedNumbers, EitherSeparatorIsAccepted) {
  CurrentDecimalSeparator = ',';
  EXPECT_EQ(StringToFloat("2,5"), 2.5);
  EXPECT_EQ(StringToFloat(" 2.5 "), 2.5);
  EXPECT_EQ(StringToFloat("5.0E-0001"), 0.5);
  CurrentDecimalSeparator = '.';
  EXPECT_EQ(StringToFloat("-1,25"), -1.25);
  EXPECT_THROW(StringToFloat("1.000,5"), TIOError);
  EXPECT_THROW(StringToFloat(""), TIOError);
  EXPECT_THROW(StringToFloat("abc"), TIOError);
}

TEST(FileNames, ExtensionIsReplacedOnTheLastComponent) {
  EXPECT_EQ(ChangeFileExt("/data/basin.txt", ".out"), "/data/basin.out");
  EXPECT_EQ(ChangeFileExt("/data/run.1/basin", ".out"), "/data/run.1/basin.out");
  // A directory name (the start-up state of the data module) gets the
  // extension added: the name lies beside the directory.
  EXPECT_EQ(ChangeFileExt("/home/user/work", ".par"), "/home/user/work.par");
}

namespace fs = std::filesystem;

TEST(SafeWrite, NothingFoundUnderATemporaryNameIsFollowedOrReplaced) {
  // Whatever lies beside the target under the name a temporary file once
  // had: a link to another file, or another writer's temporary file.
  for (const bool link : {true, false}) {
    TTemporaryDirectory dir;
    const std::string target = dir.File("basin.out");
    const std::string victim = dir.File("basin.inp");
    const std::string planted = target + ".tmp~";
    WriteFileBytes(victim, "measured data\r\n");
    if (link) {
      fs::create_symlink(victim, planted);
    } else {
      WriteFileBytes(planted, "another writer\r\n");
    }
    ASSERT_TRUE(SaveTextFileSafely(target, "results\r\n"));
    EXPECT_EQ(ReadFileBytes(target), "results\r\n");
    EXPECT_EQ(ReadFileBytes(victim), "measured data\r\n") << link;
    EXPECT_EQ(ReadFileBytes(planted), link ? "measured data\r\n" : "another writer\r\n");
    EXPECT_EQ(FolderEntries(dir.Path()).size(), 3u);
  }
}

TEST(SafeWrite, ALinkStaysALinkAndThePermissionsStay) {
  TTemporaryDirectory dir;
  fs::create_directory(dir.Path() / "shared");
  const std::string real = dir.File("shared/basin.out");
  const std::string link = dir.File("basin.out");
  WriteFileBytes(real, "old\r\n");
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("shared/basin.out", link);

  ASSERT_TRUE(SaveTextFileSafely(link, "new\r\n"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFileBytes(real), "new\r\n");
  EXPECT_EQ(fs::status(real).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(FolderEntries(dir.Path() / "shared"), std::vector<std::string>{"basin.out"});
}

TEST(SafeWrite, AFullDiskKeepsTheOldFileAndLeavesNothing) {
  TTemporaryDirectory dir;
  const std::string target = dir.File("basin.out");
  WriteFileBytes(target, "old\r\n");
  {
    TFileSizeLimit full(1000);
    EXPECT_FALSE(SaveTextFileSafely(target, std::string(5000, 'x')));
  }
  EXPECT_EQ(ReadFileBytes(target), "old\r\n");
  EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"basin.out"});
}

// Files written together: when the second cannot be replaced, the first is
// put back as it was, its time included, so that the old pair still looks
// like a pair (a trend file newer than its results file marks a torn one).
TEST(SafeWrite, FilesWrittenTogetherAreRestoredWithTheirTimes) {
  TTemporaryDirectory dir;
  const std::string trend = dir.File("basin.dat");
  const std::string results = dir.File("basin.out");
  WriteFileBytes(trend, "old trend");
  const auto oldTime = fs::last_write_time(trend) - std::chrono::hours(1);
  fs::last_write_time(trend, oldTime);
  fs::create_directory(results);  // cannot be replaced by a file
  WriteFileBytes(dir.File("basin.out/kept"), "");
  EXPECT_FALSE(SaveTextFilesTogether({{trend, "new trend"}, {results, "new results"}}));
  EXPECT_EQ(ReadFileBytes(trend), "old trend");
  EXPECT_EQ(fs::last_write_time(trend), oldTime);
}
