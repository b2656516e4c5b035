#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <sstream>

#include "FormStream.h"
#include "MessageOf.h"

using testsupport::MessageOf;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

std::vector<std::string> RepositoryForms() {
  std::vector<std::string> out;
  if (DIR* d = opendir(TW_FORMS_DIR)) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n.size() > 4 && n.substr(n.size() - 4) == ".txt") out.push_back(TW_FORMS_DIR "/" + n);
    }
    closedir(d);
  }
  return out;
}

std::string Msg(const std::string& bytes) {
  return MessageOf<EReadError>([&] { ParseFormStream(bytes.data(), bytes.size()); });
}

// A minimal stream: root "TF"/"F" with one property P of the given encoded value.
std::string WithValue(const std::string& value) {
  return std::string("TPF0\2TF\1F\1P", 11) + value + std::string("\0\0", 2);
}

}  // namespace

TEST(FormStream, EveryRepositoryFormRoundTripsThroughBinaryExactly) {
  auto forms = RepositoryForms();
  ASSERT_FALSE(forms.empty());
  for (const auto& path : forms) {
    SCOPED_TRACE(path);
    std::string text = ReadFile(path);
    std::string bin = WriteFormStream(ParseFormText(text));
    EXPECT_EQ(FormToText(ParseFormStream(bin.data(), bin.size())), text);
    EXPECT_EQ(WriteFormStream(ParseFormStream(bin.data(), bin.size())), bin);
  }
}

TEST(FormStream, TestFormCarriesEveryValueType) {
  std::string bin = WriteFormStream(ParseFormText(ReadFile(TW_FORMS_DIR "/TestForm.txt")));
  TFormObject root = ParseFormStream(bin.data(), bin.size());
  EXPECT_EQ(root.ClassName, "TTestForm");
  ASSERT_EQ(root.Children.size(), 2u);
  const TFormObject& c1 = root.Children[0];
  EXPECT_EQ(c1.Name, "Child1");
  ASSERT_EQ(c1.Children.size(), 1u);
  EXPECT_EQ(c1.Children[0].Name, "Grandchild");
  auto find = [](const TFormObject& o, const std::string& n) -> const TFormValue& {
    for (const auto& p : o.Properties)
      if (p.Name == n) return p.Value;
    throw std::runtime_error("no property " + n);
  };
  EXPECT_EQ(find(root, "Top").Type, TValueType::vaInt8);
  EXPECT_EQ(find(root, "Top").Integer, -11);
  EXPECT_EQ(find(root, "ClientWidth").Type, TValueType::vaInt16);
  EXPECT_EQ(find(root, "ClientHeight").Type, TValueType::vaInt32);
  EXPECT_EQ(find(root, "Caption").Text, "Installation of 'Kelvo'\r\nnext line");
  EXPECT_EQ(find(root, "Color").Type, TValueType::vaIdent);
  EXPECT_EQ(find(root, "Visible").Type, TValueType::vaTrue);
  EXPECT_EQ(find(c1, "Big").Integer, INT32_MIN);
  EXPECT_EQ(find(c1, "Kinds").Set, (std::vector<std::string>{"itFull", "itDefault", "itCompact"}));
  EXPECT_TRUE(find(c1, "NoKinds").Set.empty());
  EXPECT_EQ(find(c1, "Lines.Strings").List.size(), 2u);
  EXPECT_EQ(find(c1, "NoLines.Strings").Type, TValueType::vaList);
  EXPECT_TRUE(find(c1, "NoLines.Strings").List.empty());
  EXPECT_EQ(find(c1, "Nested").List[0].List[1].Text, "a");
  EXPECT_EQ(find(c1, "Blob").Type, TValueType::vaBinary);
  EXPECT_EQ(find(c1, "Picture.Data").Text.substr(1, 7), "TBitmap");
}

TEST(FormStream, ValuesDecodeWithSignAndWidth) {
  auto one = [](const std::string& v) {
    std::string b = WithValue(v);
    return ParseFormStream(b.data(), b.size()).Properties.at(0).Value;
  };
  EXPECT_EQ(one(std::string("\2\xF5", 2)).Integer, -11);
  EXPECT_EQ(one(std::string("\3\x00\x80", 3)).Integer, -32768);
  EXPECT_EQ(one(std::string("\4\xFF\xFF\xFF\x7F", 5)).Integer, INT32_MAX);
  TFormValue empty = one(std::string("\1\0", 2));
  EXPECT_EQ(empty.Type, TValueType::vaList);
  EXPECT_TRUE(empty.List.empty());
  EXPECT_EQ(one(std::string("\12\3\0\0\0abc", 8)).Text, "abc");
}

TEST(FormStream, MalformedStreamsGiveClearErrors) {
  EXPECT_NE(Msg("TPF1\2TF\1F\0\0").find("does not start with TPF0"), std::string::npos);
  EXPECT_NE(Msg("").find("does not start with TPF0"), std::string::npos);
  EXPECT_NE(Msg("TPF0\2TF").find("ends early"), std::string::npos);
  EXPECT_NE(Msg("TPF0\5TF").find("ends early while reading a class name"), std::string::npos);
  EXPECT_NE(Msg(WithValue("\5")).find("unknown value type 5 for property P"), std::string::npos);
  EXPECT_NE(Msg(std::string("TPF0\xF0\2TF\1F\0\0", 11)).find("inherited or inline"),
            std::string::npos);
  EXPECT_NE(Msg(std::string("TPF0\0\1F\0\0", 9)).find("empty class name"), std::string::npos);
  // A binary length far beyond the stream fails before anything is allocated.
  EXPECT_NE(Msg(WithValue(std::string("\12\xFF\xFF\xFF\xFF", 5))).find("ends early while reading binary data"),
            std::string::npos);
  // Missing child terminator.
  EXPECT_NE(Msg(std::string("TPF0\2TF\1F\0", 10)).find("ends early while reading a child"),
            std::string::npos);
}

TEST(FormStream, DeepNestingIsRefusedWithoutExhaustingTheStack) {
  std::string lists = "TPF0\2TF\1F\1P" + std::string(100000, '\1');
  EXPECT_NE(Msg(lists).find("nested more than"), std::string::npos);
  std::string objects = "TPF0";
  for (int i = 0; i < 100000; ++i) objects += std::string("\2TF\1F\0", 6);
  EXPECT_NE(Msg(objects).find("nested more than"), std::string::npos);
}

TEST(FormStream, TextErrorsNameTheLineAndColumn) {
  auto err = [](const std::string& t) { return MessageOf<EReadError>([&] { ParseFormText(t); }); };
  EXPECT_EQ(err("object A: TA\n  X = 'abc\nend\n"), "Form text, line 2, column 7: unterminated string");
  EXPECT_EQ(err("object A: TA\n  X = {0A1}\nend\n"),
            "Form text, line 2, column 12: odd number of hexadecimal digits in binary data");
  EXPECT_EQ(err("object A: TA\n  X = 99999999999\nend\n"), "Form text, line 2, column 17: integer out of range");
  EXPECT_EQ(err("object A: TA\n  X = 1\n"), "Form text, line 3, column 1: identifier expected");
  EXPECT_EQ(err("object A: TA\nend\nx"), "Form text, line 3, column 1: text after the final 'end'");
  EXPECT_EQ(err("object A: TA\n  X = #256\nend\n"),
            "Form text, line 2, column 11: character code 0 to 255 expected after '#'");
}

TEST(FormStream, WriterRefusesValuesTheStreamCannotHold) {
  TFormObject o;
  o.ClassName = "TA";
  o.Name = "A";
  o.Properties.push_back({"S", TFormValue::Str(std::string(256, 'x'))});
  EXPECT_THROW(WriteFormStream(o), EFilerError);
}
