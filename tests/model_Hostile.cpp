// Files and texts that are not what they seem: pipes and folders where files
// are expected, input files without end, names at the system's limit, and
// bytes that a terminal or a spreadsheet would obey.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "TestSupport.h"
#include "TextFile.h"
#include "UDMTevlora.h"

namespace {
namespace fs = std::filesystem;

TEST(ShownText, ControlBytesAreEscapedAndValuesCut) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain name.inp", "plain name.inp"},
      {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"},  // UTF-8 stays
      {"\x1b[31mred\x07", "\\x1B[31mred\\x07"},                  // ESC, BEL
      {"a\tb\r\nc\x7f", "a\\tb\\r\\nc\\x7F"},
      {"caf\xE9", "caf\\xE9"},           // Latin-1
      {"\xC2\x9B[2J", "\\xC2\\x9B[2J"},  // C1 command start
      {"\xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80", "\\xC0\\xAF \\xED\\xA0\\x80 \\xF4\\x90\\x80\\x80"},
      {std::string("x\0y", 3), "x\\x00y"},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(PrintableText(text), shown) << shown;

  EXPECT_EQ(ShownValue(std::string(40, '9')), std::string(40, '9'));
  EXPECT_EQ(ShownValue(std::string(39, '9') + "\xC3\xA9" + std::string(9000, '9')),
            std::string(39, '9') + "...");
  TTextReader in("  \x1b]0;title\x07" + std::string(5000, 'x') + "\r\n", "b\x1b.inp");
  try {
    in.ReadReal();
    ADD_FAILURE() << "no number there";
  } catch (const TIOError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Invalid numeric input in file \"b\\x1B.inp\", line 1: \"\\x1B]0;title\\x07" +
                  std::string(30, 'x') + "...\" is not a number");
  }
}

TEST(ShownText, CsvFieldsAreNoFormulas) {
  const std::pair<std::string, std::string> cases[] = {
      {"=1+2", "'=1+2"},  {"+1", "'+1"},      {"@SUM(A1)", "'@SUM(A1)"},
      {"-x", "'-x"},      {"\tx", "'\tx"},    {"\rx", "\"'\rx\""},
      {"-1.5", "-1.5"},   {"-2E-3", "-2E-3"}, {"=a,\"b\"", "\"'=a,\"\"b\"\"\""},
      {"plain", "plain"}, {"a,b", "\"a,b\""}, {"", ""},
  };
  for (const auto& [text, field] : cases) EXPECT_EQ(CsvField(text), field) << text;
}

// The safe writer never turns a pipe or a folder into a file, and writes a
// name of the longest legal length although its temporary file needs more.
TEST(SafeWriter, SpecialTargetsAndNamesAtTheLimit) {
  const TTemporaryDirectory dir;
  ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0644), 0);
  fs::create_symlink("pipe", dir.File("link"));
  fs::create_directory(dir.File("folder"));
  for (const std::string name : {"pipe", "link", "folder"}) {
    EXPECT_FALSE(SaveTextFileSafely(dir.File(name), "text")) << name;
    EXPECT_EQ(WriteFailureReason(),
              name == "folder" ? " (is a folder)" : " (is not a regular file)");
  }
  // Results and trend file together: neither is written.
  EXPECT_FALSE(SaveTextFilesTogether({{dir.File("fine.out"), "a"}, {dir.File("folder"), "b"}}));
  EXPECT_TRUE(fs::is_fifo(dir.File("pipe")));
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"folder", "link", "pipe"}));

  const std::string longest = dir.File(std::string(251, 'n') + ".out");
  EXPECT_TRUE(SaveTextFileSafely(longest, "text")) << WriteFailureReason();
  EXPECT_EQ(ReadFileBytes(longest), "text");
  // A link to a file not written yet names that file.
  fs::create_symlink("later.png", dir.File("grid.csv"));
  EXPECT_TRUE(SameFile(dir.File("grid.csv"), dir.File("later.png")));
  EXPECT_FALSE(SameFile(dir.File("grid.csv"), dir.File("other.png")));
}

class HostileInput : public ::testing::Test {
 protected:
  void SetUp() override { data.Dialogs = &dialogs; }
  bool Open(const std::string& path) {
    data.FileName = path;
    dialogs.messages.clear();
    return data.ReadInputFile();
  }
  TTemporaryDirectory dir;
  TRecordingDialogs dialogs;
  TDMTevlora data;
};

// Open input counts no further than the records the program takes, and says
// why it stopped; the data set stays as it was.
TEST_F(HostileInput, NoMoreRecordsThanTheProgramTakes) {
  const std::string full = ReadFileBytes(TestDataFile("hupsel_h_winter1112_1500.inp"));
  ASSERT_TRUE(Open(TestDataFile("hupsel_h_winter1112_1500.inp")));
  ASSERT_EQ(data.NrOfData, 1500);
  const std::string more = dir.File("more.inp");
  WriteFileBytes(more, full + " 1501   1501.00  0.0E+0000   0.10  0.5E-0001\r\n");
  EXPECT_FALSE(Open(more));
  EXPECT_EQ(dialogs.messages,
            (std::vector<std::string>{
                "The input file \"" + more +
                "\" holds more than 1500 records; the program takes at most 1500."}));
  EXPECT_EQ(data.NrOfData, 1500);
  // A file far beyond any input file is not read into memory to find out.
  {
    std::ofstream huge(dir.File("huge.inp"), std::ios::binary);
    huge << full;
    huge.seekp((std::streamoff{1} << 26) - 1);
    huge.put(' ');
  }
  EXPECT_FALSE(Open(dir.File("huge.inp")));
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].find("holds more than 1500 records"), std::string::npos);
}

TEST_F(HostileInput, AFolderIsCalledOne) {
  fs::create_directory(dir.File("basin.inp"));
  EXPECT_FALSE(Open(dir.File("basin.inp")));
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].find("(is a folder)"), std::string::npos) << dialogs.messages[0];
}

}  // namespace
