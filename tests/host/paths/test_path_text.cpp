#include <gtest/gtest.h>

#include <stdexcept>

#include "routines_PathText.h"

namespace {
// Variables of a test: x is "C:\X\" (trailing backslash), e is empty.
bool Lookup(char c, std::string& value) {
  if (c == 'x' || c == 'X') {
    value = "C:\\X\\";
    return true;
  }
  if (c == 'e') {
    value.clear();
    return true;
  }
  return false;
}
}  // namespace

TEST(MetaVariableScan, PercentSignsLettersAndTrailingBackslashes) {
  EXPECT_EQ(ScanMetaVariables("%x\\file", Lookup), "C:\\X\\file");
  EXPECT_EQ(ScanMetaVariables("%X", Lookup), "C:\\X");
  EXPECT_EQ(ScanMetaVariables("%%x", Lookup), "%x");
  EXPECT_EQ(ScanMetaVariables("%%%x", Lookup), "%C:\\X");
  EXPECT_EQ(ScanMetaVariables("[%q]", Lookup), "[]");
  EXPECT_EQ(ScanMetaVariables("[%e]", Lookup), "[]");
  EXPECT_EQ(ScanMetaVariables("end%", Lookup), "end");
  EXPECT_EQ(ScanMetaVariables("%", Lookup), "");
  // The letter after a percent is consumed even when it is a space.
  EXPECT_EQ(ScanMetaVariables("50% off", Lookup), "50off");
  // A failing variable stops the expansion.
  EXPECT_THROW(ScanMetaVariables("a%b", [](char, std::string&) -> bool { throw std::runtime_error("x"); }),
               std::runtime_error);
}

TEST(PathText, DrivePartsAndListEntries) {
  EXPECT_EQ(DrivePart("C:\\Windows\\Temp"), "C:");
  EXPECT_EQ(DrivePart("d:"), "d:");
  EXPECT_EQ(DrivePart("\\\\server\\share\\dir\\f"), "\\\\server\\share");
  EXPECT_EQ(DrivePart("\\\\server\\share"), "\\\\server\\share");
  EXPECT_EQ(DrivePart("\\\\server"), "");
  EXPECT_EQ(DrivePart("\\dir"), "");
  EXPECT_EQ(DrivePart(""), "");
  EXPECT_EQ(FirstListEntry("C:\\A;D:\\B"), "C:\\A");
  EXPECT_EQ(FirstListEntry("C:\\A"), "C:\\A");
  EXPECT_EQ(FirstListEntry(";C:\\A"), "");
  EXPECT_TRUE(IsShellPseudoPath("::{2227A280-3AEA-1069-A2DE-08002B30309D}"));
  EXPECT_FALSE(IsShellPseudoPath("C:\\windows"));
}

TEST(OfficeText, VersionFromCurVerAndKeys) {
  EXPECT_EQ(OfficeVersionText("Word.Document.8"), "8");
  EXPECT_EQ(OfficeVersionText("Word.Document.12.1"), "12.1");
  EXPECT_EQ(OfficeVersionText("Word.Document"), "");
  EXPECT_EQ(OfficeVersionText("Word"), "");
  EXPECT_EQ(OfficeVersionNumber("8"), 8);
  EXPECT_EQ(OfficeVersionNumber("12.1"), -1);
  EXPECT_EQ(OfficeVersionNumber(""), -1);
  EXPECT_EQ(OfficeVersionNumber("x"), -1);
  EXPECT_EQ(OfficeVersionNumber("99999999999999"), -1);

  EXPECT_EQ(OfficeFileNewKey(8, "LocalTemplates"), "\\Software\\Microsoft\\Office\\8.0\\Common\\FileNew\\LocalTemplates");
  EXPECT_EQ(OfficeFileNewKey(7, "SharedTemplates"), "\\Software\\Microsoft\\Office\\7.0\\Common\\FileNew\\SharedTemplates");
  EXPECT_EQ(OfficeFileNewKey(9, "LocalTemplates"),
            "\\Software\\Policies\\Microsoft\\Office\\9.0\\Common\\FileNew\\LocalTemplates");
  EXPECT_EQ(OfficeWordOptionsKey(19), "\\Software\\Policies\\Microsoft\\Office\\19.0\\Word\\Options");
  EXPECT_EQ(OfficeWordOptionsKey(8), "\\Software\\Microsoft\\Office\\8.0\\Word\\Options");
  EXPECT_EQ(OfficeWordOptionsKey(6), "");
  EXPECT_EQ(OfficeWordOptionsKey(20), "");
  EXPECT_EQ(OfficeFileNewKey(-1, "LocalTemplates"), "");
}
