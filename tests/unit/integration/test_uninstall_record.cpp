// The count of an uninstall record, read alike by the writers of the setup
// program and by the uninstaller.
#include <gtest/gtest.h>

#include "SysUtils.h"
#include "format_UninstallRecord.h"

TEST(UninstallRecord, CountIsWholeDecimalTextWithRoomForOneMoreEntry) {
  const struct {
    const char* text;
    bool valid;
    int count;
  } cases[] = {
      {"0", true, 0},          {"12", true, 12},          {" 7 ", true, 7},   {"2147483646", true, 2147483646},
      {"2147483647", false, 0}, {"99999999999", false, 0}, {"-1", false, 0},  {"", false, 0},
      {"  ", false, 0},         {"garbage", false, 0},     {"4x", false, 0},  {"0x10", false, 0},
  };
  for (const auto& c : cases) {
    int n = -1;
    EXPECT_EQ(uninstallrecord::ParseEntryCount(c.text, n), c.valid) << '"' << c.text << '"';
    if (c.valid) {
      EXPECT_EQ(n, c.count) << c.text;
      EXPECT_EQ(uninstallrecord::NextEntry(c.text), c.count + 1) << c.text;
    } else {
      EXPECT_THROW(uninstallrecord::NextEntry(c.text), Exception) << '"' << c.text << '"';
    }
  }
}
