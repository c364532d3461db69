#include "core/app/consolelinereader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillark::test {
namespace {

std::vector<std::string> Drain(ConsoleLineReader& reader) {
  std::vector<std::string> out;
  while (auto line = reader.Next()) out.push_back(line->overlong ? "<overlong>" : line->text);
  return out;
}

TEST(ConsoleLineReader, LinesEndAtLfWithOrWithoutCrAndMayComeInPieces) {
  ConsoleLineReader reader;
  reader.Append("sta");
  EXPECT_TRUE(Drain(reader).empty());
  reader.Append("ts\r\nhelp\n\nquit");
  EXPECT_EQ(Drain(reader), (std::vector<std::string>{"stats", "help", ""}));
  EXPECT_EQ(reader.Held(), 4u);
  reader.Append(std::string("\n", 1));
  EXPECT_EQ(Drain(reader), (std::vector<std::string>{"quit"}));
}

// Whatever a flood of padding ends with must never run as a command, however
// the bytes are split, and the line after it runs normally.
TEST(ConsoleLineReader, OverlongLineIsDiscardedWholeUpToItsEnd) {
  const std::string flood = std::string(70000, ' ') + " logon Administrator";
  for (const std::size_t piece : {std::size_t{1} << 20, std::size_t{4096}, std::size_t{7}}) {
    ConsoleLineReader reader;
    const std::string input = flood + "\nstats\n";
    for (std::size_t at = 0; at < input.size(); at += piece) reader.Append(input.substr(at, piece));
    EXPECT_EQ(Drain(reader), (std::vector<std::string>{"<overlong>", "stats"})) << piece;
    EXPECT_LE(reader.Held(), ConsoleLineReader::MAXLINE);
  }
  // The longest line allowed still runs.
  ConsoleLineReader reader;
  reader.Append(std::string(ConsoleLineReader::MAXLINE, 'x') + "\n");
  const auto line = reader.Next();
  ASSERT_TRUE(line.has_value());
  EXPECT_FALSE(line->overlong);
  EXPECT_EQ(line->text.size(), ConsoleLineReader::MAXLINE);
  reader.Append(std::string(ConsoleLineReader::MAXLINE + 1, 'x') + "\n");
  EXPECT_EQ(Drain(reader), (std::vector<std::string>{"<overlong>"}));
}

}  // namespace
}  // namespace quillark::test
