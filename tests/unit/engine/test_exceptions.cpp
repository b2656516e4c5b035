#include <gtest/gtest.h>

#include "exceptions_Tarnwick.h"

TEST(Exceptions, UserAbortHasItsFixedMessageAndFamily) {
  try {
    throw EAIUserAbort();
  } catch (const EAI& e) {
    EXPECT_EQ(e.Message(), "Installation aborted by the user");
    EXPECT_STREQ(e.ClassName(), "EAIUserAbort");
  }
}

TEST(Exceptions, IExceptionTranslatesBeforeFormatting) {
  EXPECT_EQ(IEInstall("Copy This File %s?", {"a.txt"}).Message(), "Copy This File a.txt?");
  SetMessageTranslationHook([](const std::string& s) {
    return s == "Copy This File %s?" ? std::string("Diese Datei kopieren: %s?") : s;
  });
  EXPECT_EQ(IEInstall("Copy This File %s?", {"a.txt"}).Message(), "Diese Datei kopieren: a.txt?");
  EXPECT_EQ(IEInstall("Copy This File %s?").Message(), "Diese Datei kopieren: %s?");
  // Other engine exceptions keep their text as given.
  EXPECT_EQ(EAPIRoutines("Copy This File %s?").Message(), "Copy This File %s?");
  SetMessageTranslationHook(nullptr);
  EXPECT_EQ(IEInstall("Copy This File %s?").Message(), "Copy This File %s?");
}

TEST(Exceptions, ClassesSitWhereHandlersExpectThem) {
  auto catchesAs = [](auto thrower, auto tag) {
    using Base = typename decltype(tag)::type;
    try {
      thrower();
    } catch (const Base&) {
      return true;
    } catch (...) {
      return false;
    }
    return false;
  };
  struct T1 { using type = ETrnwCompress; };
  struct T2 { using type = ECustomTarnwickAbnormal; };
  struct T3 { using type = IEFileContainer; };
  struct T4 { using type = EProgramLauncher; };
  EXPECT_TRUE(catchesAs([] { throw EtcDiskFull("full"); }, T1{}));
  EXPECT_TRUE(catchesAs([] { throw IEfcDuplicateFile("dup"); }, T2{}));
  EXPECT_TRUE(catchesAs([] { throw IEfcSetAttributes("attr"); }, T3{}));
  EXPECT_TRUE(catchesAs([] { throw EProgramLauncherFailed("File not found", 2); }, T4{}));
  EXPECT_FALSE(catchesAs([] { throw EIRCannotWriteValue("k"); }, T2{}));
  EXPECT_FALSE(catchesAs([] { throw EUserAbortInstall("u"); }, T2{}));
}
