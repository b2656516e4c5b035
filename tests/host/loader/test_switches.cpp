// The loading program's switches, the setup program's command line built
// from them, and the lines of its log. Built natively (sanitizers) and for
// Windows (run under Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "loadprogram.h"

namespace {

const char kProgram[] = R"(C:\T\twsetup-1A2B3C4D\vantlexsetup.exe)";
const char kSelf[] = R"(C:\Downloads\setup.exe)";
const std::string kLine = R"("C:\T\twsetup-1A2B3C4D\vantlexsetup.exe" "-esetup.exe" "-sC:\Downloads" -c)";

struct TCase {
  std::vector<std::string> args;
  // Right switches: the setup program's command line, and whether the list
  // of switches is asked for.
  std::string line;
  bool help;
  // Wrong switches: texts the message holds (the list of valid switches
  // always follows).
  std::vector<std::string> errors;
};

TEST(LoadProgramSwitches, AreReadInAnyCaseWithQuotedValuesAndPassedOnOrRefusedByName) {
  const std::vector<TCase> cases = {
      {{}, kLine, false, {}},
      {{"/VERYSILENT", R"(/DIR=C:\My App)", "/GROUP=My Group", R"(/LOG=C:\logs\setup.log)", "/NORESTART"},
       kLine + R"( "*u2" "*iC:\My App" "*kMy Group" "*jC:\logs\setup.log" "*x")", false, {}},
      {{"/silent", R"(/Dir=d:\x)", "/NoRestart"}, kLine + R"( "*u1" "*id:\x" "*x")", false, {}},
      // /VERYSILENT wins, in either order.
      {{"/VERYSILENT", "/SILENT"}, kLine + R"( "*u2")", false, {}},
      {{"/Silent", "/verysilent"}, kLine + R"( "*u2")", false, {}},
      // Quotes left by a raw command line, around the argument or the value:
      // one pair goes.
      {{R"("/DIR=C:\My App")"}, kLine + R"( "*iC:\My App")", false, {}},
      {{R"(/DIR="C:\a b")"}, kLine + R"( "*iC:\a b")", false, {}},
      {{R"(/GROUP=""Tools"")"}, kLine + R"( "*k\"Tools\"")", false, {}},
      // A trailing backslash does not swallow the closing quote; "=" may
      // appear in a value; the last of a repeated switch counts.
      {{R"(/DIR=C:\)"}, kLine + R"( "*iC:\\")", false, {}},
      {{"/GROUP=a=b", "/GROUP=c"}, kLine + R"( "*kc")", false, {}},
      // Arguments that are no switches are ignored.
      {{"-x", "extra", "/SILENT"}, kLine + R"( "*u1")", false, {}},
      {{"*todisk", "/VERYSILENT"}, R"("C:\T\twsetup-1A2B3C4D\vantlexsetup.exe" -f "-esetup.exe" "-sC:\Downloads" "*u2")",
       false, {}},
      {{"/?"}, kLine, true, {}},
      {{"/help", "/VERYSILENT"}, kLine + R"( "*u2")", true, {}},
      {{"/FOO"}, "", false, {"Unknown switch: /FOO\n"}},
      {{"/SILENT", "/foo=bar", "/DIR"}, "", false, {"Unknown switch: /foo=bar\n", "/DIR needs a value: /DIR=path\n"}},
      {{"/LOG="}, "", false, {"/LOG= needs a value: /LOG=file\n"}},
      {{"/SILENT=yes"}, "", false, {"/SILENT takes no value: /SILENT=yes\n"}},
      {{"/"}, "", false, {"Unknown switch: /\n"}},
      {{"/??"}, "", false, {"Unknown switch: /??\n"}},
      {{"/HELP", "-DIR", "/TODISK"}, "", false, {"Unknown switch: /TODISK\n"}},
  };
  for (const TCase& c : cases) {
    std::string given;
    for (const std::string& a : c.args) given += "[" + a + "]";
    SCOPED_TRACE(given);
    const TLoadOptions o = ParseLoadOptions(c.args);
    if (c.errors.empty()) {
      EXPECT_EQ(o.Error, "");
      EXPECT_EQ(o.Help, c.help);
      EXPECT_EQ(SetupCommandLine(kProgram, kSelf, true, o), c.line);
    } else {
      for (const std::string& e : c.errors) EXPECT_NE(o.Error.find(e), std::string::npos) << o.Error;
      const std::string valid = "\nValid switches:\n" + SwitchHelp();
      EXPECT_EQ(o.Error.substr(o.Error.size() - std::min(valid.size(), o.Error.size())), valid);
    }
  }
  // The list names every switch on a line of its own.
  const std::string help = "\n" + SwitchHelp();
  for (const char* s : {"/SILENT\t", "/VERYSILENT\t", "/DIR=path\t", "/GROUP=name\t", "/LOG=file\t", "/NORESTART\t",
                        "/HELP or /?\t", "*TODISK\t"})
    EXPECT_NE(help.find(std::string("\n") + s), std::string::npos) << s;
}

TEST(LoadProgramSwitches, SeparateArchivesAndFloppyTransferKeepTheirCommandLines) {
  const std::string program = "C:\\TEMP\\twsetup-1\\kelvo setup.exe";
  const TLoadOptions none;
  EXPECT_EQ(SetupCommandLine(program, "D:\\My Files\\setup.exe", true, none),
            "\"C:\\TEMP\\twsetup-1\\kelvo setup.exe\" \"-esetup.exe\" \"-sD:\\My Files\" -c");
  EXPECT_EQ(SetupCommandLine(program, "A:\\setup.exe", false, none), "\"C:\\TEMP\\twsetup-1\\kelvo setup.exe\" \"-sA:\" -c");
  EXPECT_EQ(SetupCommandLine(program, "\\\\server\\share\\kit\\SETUP.EXE", true, ParseLoadOptions({"*ToDisk"})),
            "\"C:\\TEMP\\twsetup-1\\kelvo setup.exe\" -f \"-eSETUP.EXE\" \"-s\\\\server\\share\\kit\"");
  EXPECT_FALSE(ParseLoadOptions({"-TODISK"}).ToDisk);
  EXPECT_FALSE(ParseLoadOptions({"*TODISKS"}).ToDisk);

  EXPECT_EQ(DirectoryPart("C:\\setup.exe"), "C:");
  EXPECT_EQ(DirectoryPart("C:\\a\\b\\setup.exe"), "C:\\a\\b");
  EXPECT_EQ(DirectoryPart("C:setup.exe"), "C:");
  EXPECT_EQ(DirectoryPart("setup.exe"), "");
  EXPECT_EQ(FileNamePart("C:\\a b\\Setup.exe"), "Setup.exe");
}

TEST(LoadProgramLog, EachLineCarriesTheLocalTimeAndEndsInCrLf) {
  EXPECT_EQ(LogText({2026, 3, 7, 9, 5, 0}, "Error: The setup file is damaged.\r\n\nPlease obtain a new copy.  \n"),
            "2026-03-07 09:05:00  Error: The setup file is damaged.\r\n"
            "2026-03-07 09:05:00  Please obtain a new copy.\r\n");
  EXPECT_EQ(LogText({1999, 12, 31, 23, 59, 58}, "Exit code 6"), "1999-12-31 23:59:58  Exit code 6\r\n");
  EXPECT_EQ(LogText({2026, 1, 1, 0, 0, 0}, "\r\n \n"), "");
}

}  // namespace
