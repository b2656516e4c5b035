#include <gtest/gtest.h>

#include "SysUtils.h"
#include "routines_FileList.h"

TEST(FileList, RecordsRoundTripAtTheirFixedOffsets) {
  std::vector<TFileListEntry> in = {{1234, 38777.5, "InstallFile3", "5.20.0.1"},
                                    {0, 0.0, std::string(45, 'n'), std::string(25, 'v')}};
  std::vector<std::uint8_t> bytes = EncodeFileList(in);
  ASSERT_EQ(bytes.size(), 4u + 2 * 80u);
  EXPECT_EQ(bytes[0], 2);
  EXPECT_EQ(bytes[4], 1234 & 0xFF);
  EXPECT_EQ(bytes[5], 1234 >> 8);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[4 + 16])), "InstallFile3");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[4 + 56])), "5.20.0.1");
  std::vector<TFileListEntry> out = DecodeFileList(bytes);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].Size, 1234u);
  EXPECT_DOUBLE_EQ(out[0].DateTime, 38777.5);
  EXPECT_EQ(out[0].Name, "InstallFile3");
  EXPECT_EQ(out[0].Version, "5.20.0.1");
  // Over-long texts keep their terminator inside the field.
  EXPECT_EQ(out[1].Name, std::string(39, 'n'));
  EXPECT_EQ(out[1].Version, std::string(19, 'v'));
}

TEST(FileList, ShortOrOverCountedListsAreRefused) {
  EXPECT_THROW(DecodeFileList({1, 0}), Exception);
  std::vector<std::uint8_t> bytes = EncodeFileList({{1, 1.0, "a", "1"}});
  bytes[0] = 2;  // claims a second record that is not there
  EXPECT_THROW(DecodeFileList(bytes), Exception);
  bytes[0] = 0xFF;
  bytes[3] = 0xFF;
  EXPECT_THROW(DecodeFileList(bytes), Exception);
  EXPECT_TRUE(DecodeFileList({0, 0, 0, 0}).empty());
}
