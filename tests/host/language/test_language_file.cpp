// The language table format: texts, multi-line texts, comments and the
// format errors with their zero-based line numbers.
#include <gtest/gtest.h>

#include "MessageOf.h"
#include "SysUtils.h"
#include "routines_LanguageFile.h"

using testsupport::MessageOf;

namespace {

std::string ErrorOf(const std::vector<std::string>& lines) {
  return MessageOf([&] { ParseLanguageLines(lines); });
}

}  // namespace

TEST(LanguageFile, ReadsTextsMemosAndSkipsCommentsAndBlankLines) {
  auto table = ParseLanguageLines({"* buttons", "  4;< Back  ", "5;Next >", "", "6;Cancel", "#52;ignored",
                                   "Several components could not be installed on your system", "* note",
                                   "", "   because they were in use.  ", "#"});
  ASSERT_EQ(table.Texts.size(), 3u);
  EXPECT_EQ(table.Texts[0].Number, 4);
  EXPECT_EQ(table.Texts[0].Text, "< Back");
  EXPECT_EQ(table.Texts[0].Line, 1);
  EXPECT_EQ(table.Texts[2].Number, 6);
  EXPECT_EQ(table.Texts[2].Line, 4);
  ASSERT_EQ(table.Memos.size(), 1u);
  EXPECT_EQ(table.Memos[0].Number, 52);
  EXPECT_EQ(table.Memos[0].Line, 5);
  EXPECT_EQ(table.Memos[0].Lines, (std::vector<std::string>{
                                      "Several components could not be installed on your system",
                                      "because they were in use."}));
}

TEST(LanguageFile, TextFieldRules) {
  auto table = ParseLanguageLines({"7;first; second", "8; leading blank", "-3;negative"});
  ASSERT_EQ(table.Texts.size(), 3u);
  EXPECT_EQ(table.Texts[0].Text, "first");
  EXPECT_EQ(table.Texts[1].Text, " leading blank");
  EXPECT_EQ(table.Texts[2].Number, -3);

  std::string longText(300, 'x');
  table = ParseLanguageLines({"9;" + longText});
  EXPECT_EQ(table.Texts[0].Text, std::string(255, 'x'));
}

TEST(LanguageFile, UnclosedMemoIsDropped) {
  auto table = ParseLanguageLines({"1;One", "#2", "open text"});
  EXPECT_EQ(table.Texts.size(), 1u);
  EXPECT_TRUE(table.Memos.empty());
}

TEST(LanguageFile, FormatErrorsNameTheLine) {
  EXPECT_EQ(ErrorOf({"1;ok", "* c", "5;"}),
            "The 2'th string (5;) does not have the proper format of GLID;Text");
  EXPECT_EQ(ErrorOf({"5;   "}), "The 0'th string (5;) does not have the proper format of GLID;Text");
  EXPECT_EQ(ErrorOf({";text"}), "The 0'th string (;text) does not have the proper format of GLID;Text");
  EXPECT_EQ(ErrorOf({"x5;text"}),
            "The 0'th string (x5;text) does not have the proper format of GLID;Text or .GLID;");
  EXPECT_EQ(ErrorOf({"Just words"}),
            "The 0'th string (Just words) does not have the proper format of GLID;Text or .GLID;");
  EXPECT_EQ(ErrorOf({"99999999999;big"}),
            "The 0'th string (99999999999;big) does not have the proper format of GLID;Text or .GLID;");
  EXPECT_EQ(ErrorOf({"#;"}), "The 0'th string (#;) does not have the proper format of GLID;Text");
  EXPECT_EQ(ErrorOf({"#a1;"}), "The 0'th string (#a1;) does not have the proper format of GLID;Text or .GLID;");
  EXPECT_EQ(ErrorOf({"1;a", "", "#"}),
            "Found the end of memo marker # at line 2. Was not in a memo however");
}

TEST(LanguageFile, SplitsFileTextAtAnyLineEnd) {
  EXPECT_EQ(SplitLanguageText("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLanguageText("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(SplitLanguageText("").empty());
}
