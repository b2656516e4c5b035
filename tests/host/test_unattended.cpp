// The setup program's unattended options: the "*" arguments the loading
// program passes on, what the run after a restart gets back, and the
// answers of boxes nobody sees.
#include <gtest/gtest.h>

#include "routines_Unattended.h"

TEST(Unattended, StarArgumentsSetTheOptionsInEitherCaseAndLaterOnesWin) {
  struct Case {
    std::vector<std::string> args;
    TUnattendedMode mode;
    std::string dir, group, log;
    bool hasDir, hasGroup, noRestart;
  };
  const Case cases[] = {
      {{}, umInteractive, "", "", "", false, false, false},
      {{"-eSETUP.EXE", "-sC:\\Downloads", "-c"}, umInteractive, "", "", "", false, false, false},
      {{"*u1"}, umSilent, "", "", "", false, false, false},
      {{"*U2", "*iC:\\My App", "*KMy Group", "*jC:\\logs\\a b.log", "*x"}, umVerySilent, "C:\\My App", "My Group",
       "C:\\logs\\a b.log", true, true, true},
      {{"*u2", "*u1"}, umSilent, "", "", "", false, false, false},
      {{"*u7"}, umInteractive, "", "", "", false, false, false},
      {{"*i", "*k"}, umInteractive, "", "", "", true, true, false},     // given, but empty
      {{"-u1", "/SILENT", "*TODISK", "*"}, umInteractive, "", "", "", false, false, false},
  };
  for (const Case& c : cases) {
    const TUnattendedOptions o = ParseUnattendedOptions(c.args);
    const std::string at = c.args.empty() ? "(none)" : c.args.front();
    EXPECT_EQ(o.Mode, c.mode) << at;
    EXPECT_EQ(o.Dir, c.dir) << at;
    EXPECT_EQ(o.Group, c.group) << at;
    EXPECT_EQ(o.LogFile, c.log) << at;
    EXPECT_EQ(o.HasDir, c.hasDir) << at;
    EXPECT_EQ(o.HasGroup, c.hasGroup) << at;
    EXPECT_EQ(o.NoRestart, c.noRestart) << at;
  }
}

TEST(Unattended, TheRunAfterARestartKeepsEveryOption) {
  EXPECT_EQ(ContinuationArguments(TUnattendedOptions()), "");
  const TUnattendedOptions o =
      ParseUnattendedOptions({"*u2", "*iC:\\My App", "*kGroup", "*jC:\\logs\\setup run.log", "*x"});
  EXPECT_EQ(ContinuationArguments(o),
            " \"*u2\" \"*iC:\\My App\" \"*kGroup\" \"*jC:\\logs\\setup run.log\" \"*x\"");
  // Backslashes before a closing quote, and quotes, survive the splitting.
  EXPECT_EQ(ContinuationArguments(ParseUnattendedOptions({"*iC:\\", "*kA \"B\""})),
            " \"*iC:\\\\\" \"*kA \\\"B\\\"\"");
}

TEST(Unattended, UnseenBoxesAnswerWithTheirDefaultButton) {
  // MB_OK 0, MB_OKCANCEL 1, MB_ABORTRETRYIGNORE 2, MB_YESNOCANCEL 3, MB_YESNO 4,
  // MB_RETRYCANCEL 5; MB_DEFBUTTON2 0x100, MB_DEFBUTTON3 0x200; icons 0x10..0x40.
  struct Case {
    unsigned flags;
    int answer;
  } const cases[] = {{0x0, 1},   {0x30, 1},       {0x1, 1},  {0x101, 2}, {0x4, 6},  {0x124, 7},
                     {0x3, 6},   {0x203, 2},      {0x2, 3},  {0x202, 5}, {0x5, 4},  {0x105, 2},
                     {0x204, 6} /* no third button: the first */};
  for (const Case& c : cases) EXPECT_EQ(DefaultBoxAnswer(c.flags), c.answer) << std::hex << c.flags;
}
