#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <climits>

#include "SysUtils.h"
#include "routines_Strings.h"
#include "types_Tarnwick.h"

TEST(PathHelpers, AddAndStripBackslash) {
  EXPECT_EQ(AddBackslash(""), "");
  EXPECT_EQ(AddBackslash("C:"), "C:\\");
  EXPECT_EQ(AddBackslash("C:\\dir"), "C:\\dir\\");
  EXPECT_EQ(AddBackslash("C:\\dir\\"), "C:\\dir\\");
  EXPECT_EQ(StripBackslash(""), "");
  EXPECT_EQ(StripBackslash("C:\\dir\\"), "C:\\dir");
  EXPECT_EQ(StripBackslash("C:\\dir\\\\"), "C:\\dir\\");
  EXPECT_EQ(StripBackslash("C:\\dir"), "C:\\dir");
}

TEST(PathHelpers, FileNameParts) {
  EXPECT_EQ(ExtractFilePath("C:\\a\\b.txt"), "C:\\a\\");
  EXPECT_EQ(ExtractFileDir("C:\\a\\b.txt"), "C:\\a");
  EXPECT_EQ(ExtractFileDir("C:\\b.txt"), "C:\\");
  EXPECT_EQ(ExtractFileName("C:\\a\\b.txt"), "b.txt");
  EXPECT_EQ(ExtractFileName("b.txt"), "b.txt");
  EXPECT_EQ(ExtractFileExt("C:\\a.d\\b"), "");
  EXPECT_EQ(ExtractFileExt("C:\\a\\b.tar.gz"), ".gz");
  EXPECT_EQ(ChangeFileExt("C:\\a\\setup.exe", ".1"), "C:\\a\\setup.1");
  EXPECT_EQ(ChangeFileExt("C:\\a.d\\setup", ".1"), "C:\\a.d\\setup.1");
}

TEST(DelimitedFields, GetFieldCountsFromOne) {
  EXPECT_EQ(GetField("one;two", 1, ';'), "one");
  EXPECT_EQ(GetField("one;two", 2, ';'), "two");
  EXPECT_EQ(GetField("one;two", 3, ';'), "");
  EXPECT_EQ(GetField("one;two", 0, ';'), "");
  EXPECT_EQ(GetField("a;;c", 2, ';'), "");
  EXPECT_EQ(GetField("a;;c", 3, ';'), "c");
  EXPECT_EQ(GetField("", 1, ';'), "");
  EXPECT_EQ(GetField("a,b;c", 2, ','), "b;c");
}

TEST(DelimitedFields, SplitFieldsCountsDelimitersPlusAnUnterminatedTail) {
  std::vector<std::string> list = {"stale"};
  SplitFields("", ';', list);
  EXPECT_TRUE(list.empty());
  SplitFields("a;b", ';', list);
  EXPECT_EQ(list, (std::vector<std::string>{"a", "b"}));
  SplitFields("a;b;", ';', list);
  EXPECT_EQ(list, (std::vector<std::string>{"a", "b"}));
  SplitFields(";;", ';', list);
  EXPECT_EQ(list, (std::vector<std::string>{"", ""}));
  SplitFields(";x", ';', list);
  EXPECT_EQ(list, (std::vector<std::string>{"", "x"}));
}

TEST(ParseInteger, WholeDecimalNumbersUnderEachRule) {
  TIntegerRules trimmed;
  trimmed.TrimBlanks = true;
  TIntegerRules unsignedPort;
  unsignedPort.Signed = false;
  unsignedPort.Min = 1;
  unsignedPort.Max = 65535;
  TIntegerRules nineDigits;
  nineDigits.MaxDigits = 9;
  TIntegerRules wide;
  wide.Min = LLONG_MIN;
  wide.Max = LLONG_MAX;
  const TIntegerRules plain;
  struct Case {
    const char* text;
    const TIntegerRules& rules;
    bool ok;
    long long value;
  } cases[] = {
      {"42", plain, true, 42},          {"+42", plain, true, 42},         {"-42", plain, true, -42},
      {"-0", plain, true, 0},           {"007", plain, true, 7},          {"", plain, false, 0},
      {"+", plain, false, 0},           {"-", plain, false, 0},           {" 42", plain, false, 0},
      {"42 ", plain, false, 0},         {"0x1A", plain, false, 0},        {"4 2", plain, false, 0},
      {"--1", plain, false, 0},         {"2147483647", plain, true, 2147483647},
      {"-2147483648", plain, true, INT_MIN},                              {"2147483648", plain, false, 0},
      {"-2147483649", plain, false, 0}, {"99999999999999999999999", plain, false, 0},
      {" \t12\r\n", trimmed, true, 12}, {"  ", trimmed, false, 0},      {"- 1", trimmed, false, 0},
      {"8080", unsignedPort, true, 8080}, {"+80", unsignedPort, false, 0}, {"0", unsignedPort, false, 0},
      {"65536", unsignedPort, false, 0}, {"123456789", nineDigits, true, 123456789},
      {"-123456789", nineDigits, true, -123456789},                       {"1000000000", nineDigits, false, 0},
      {"9223372036854775807", wide, true, LLONG_MAX},                     {"-9223372036854775808", wide, true, LLONG_MIN},
      {"9223372036854775808", wide, false, 0},
  };
  for (const Case& c : cases) {
    long long v = -7;
    EXPECT_EQ(ParseInteger(c.text, v, c.rules), c.ok) << c.text;
    EXPECT_EQ(v, c.ok ? c.value : -7) << c.text;
  }
}

TEST(Format, SubstitutesStringsAndIntegers) {
  EXPECT_EQ(Format("Please insert disk #%d", {3}), "Please insert disk #3");
  EXPECT_EQ(Format("Key: %s Ident: %s Value %s", {"K", "I", "V"}), "Key: K Ident: I Value V");
  EXPECT_EQ(Format("%d%% of %s", {50, "files"}), "50% of files");
  EXPECT_EQ(Format("[%5d|%-3s]", {42, "a"}), "[   42|a  ]");
  EXPECT_EQ(Format("%x %X %u", {255, 255, -1}), "ff FF 4294967295");
  EXPECT_EQ(Format("%d", {-12}), "-12");
}

TEST(Format, NeverFailsOnMismatchedArguments) {
  EXPECT_EQ(Format("%s and %s", {"one"}), "one and %s");
  EXPECT_EQ(Format("%d", {"text"}), "text");
  EXPECT_EQ(Format("%s", {7}), "7");
  EXPECT_EQ(Format("plain", {1, "two"}), "plain");
  EXPECT_EQ(Format("100%", {}), "100%");
  EXPECT_EQ(Format("%q %s", {"x"}), "%q x");
  EXPECT_EQ(Format("%99999999999999999999d", {1}), "%99999999999999999999d");
}

TEST(OSVersion, ClassificationOfVersionReports) {
  EXPECT_EQ(OSVersionFromInfo(0, 3, 10), os31win32);
  EXPECT_EQ(OSVersionFromInfo(1, 4, 0), oswin95);
  EXPECT_EQ(OSVersionFromInfo(1, 4, 10), oswin98);
  EXPECT_EQ(OSVersionFromInfo(1, 4, 90), oswinME);
  EXPECT_EQ(OSVersionFromInfo(1, 4, 3), oswin98);
  EXPECT_EQ(OSVersionFromInfo(2, 3, 51), oswinNT351);
  EXPECT_EQ(OSVersionFromInfo(2, 4, 0), oswinNT);
  EXPECT_EQ(OSVersionFromInfo(2, 5, 0), oswin2K);
  EXPECT_EQ(OSVersionFromInfo(2, 5, 1), oswinXP);
  EXPECT_EQ(OSVersionFromInfo(2, 5, 2), oswinXP);
  EXPECT_EQ(OSVersionFromInfo(2, 6, 0), osUnidentified);
  EXPECT_EQ(OSVersionFromInfo(3, 5, 1), osUnidentified);
}

TEST(FileBytes, WholeFilesReadBackByteForByte) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("twfilebytes_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string big;
  for (std::size_t i = 0; i < 200000; ++i) big += static_cast<char>((i * 7919) % 256);  // NULs, CR and LF too
  for (const std::string& content : {std::string(), std::string("one line\r\n"), big}) {
    const std::string path = (dir / "f.bin").string();
    std::ofstream(path, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
    std::string read = "stale";
    EXPECT_TRUE(ReadFileBytes(path, read));
    EXPECT_EQ(read, content) << content.size();
  }
  std::string kept = "kept";
  EXPECT_FALSE(ReadFileBytes((dir / "missing.bin").string(), kept));
  EXPECT_EQ(kept, "kept");
  fs::remove_all(dir);
}
