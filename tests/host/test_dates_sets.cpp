#include <gtest/gtest.h>

#include <cmath>

#include "DateUtils.h"
#include "types_Tarnwick.h"

TEST(Dates, DayCountStartsAt18991230WithTimeAsFraction) {
  EXPECT_DOUBLE_EQ(EncodeDateTime({1899, 12, 30, 0, 0, 0, 0}), 0.0);
  EXPECT_DOUBLE_EQ(EncodeDateTime({1900, 1, 1, 0, 0, 0, 0}), 2.0);
  EXPECT_DOUBLE_EQ(EncodeDateTime({2000, 1, 1, 12, 0, 0, 0}), 36526.5);
  EXPECT_DOUBLE_EQ(EncodeDateTime({2006, 3, 1, 6, 0, 0, 0}), 38777.25);
  TDateParts p = DecodeDateTime(38777.75);
  EXPECT_EQ(p.Year, 2006);
  EXPECT_EQ(p.Month, 3);
  EXPECT_EQ(p.Day, 1);
  EXPECT_EQ(p.Hour, 18);
  TDateTime t;
  EXPECT_FALSE(TryEncodeDateTime({2006, 2, 29, 0, 0, 0, 0}, t));
  EXPECT_TRUE(TryEncodeDateTime({2004, 2, 29, 0, 0, 0, 0}, t));
}

TEST(Dates, DosDateTimeRoundTripsAtTwoSecondResolution) {
  TDateTime t = EncodeDateTime({2006, 11, 23, 14, 37, 59, 500});
  std::uint32_t dos = DateTimeToDosDateTime(t);
  TDateParts back = DecodeDateTime(DosDateTimeToDateTime(dos));
  EXPECT_EQ(back.Year, 2006);
  EXPECT_EQ(back.Month, 11);
  EXPECT_EQ(back.Day, 23);
  EXPECT_EQ(back.Hour, 14);
  EXPECT_EQ(back.Minute, 37);
  EXPECT_EQ(back.Second, 58);
  EXPECT_EQ(back.Millisecond, 0);
  EXPECT_DOUBLE_EQ(TruncateToDosResolution(t), DosDateTimeToDateTime(dos));
  // 1980-01-01 00:00:00 is the smallest DOS date.
  EXPECT_EQ(DateTimeToDosDateTime(EncodeDateTime({1980, 1, 1, 0, 0, 0, 0})), 0x00210000u);
  EXPECT_EQ(DateTimeToDosDateTime(EncodeDateTime({1970, 1, 1, 0, 0, 0, 0})), 0x00210000u);
  // An invalid packed date decodes to zero rather than garbage.
  EXPECT_DOUBLE_EQ(DosDateTimeToDateTime(0), 0.0);
}

TEST(Dates, DatesBeyondTheirRangeAreNotFileDatesAndStayBounded) {
  const double first = EncodeDateTime({1, 1, 1, 0, 0, 0, 0}), last = EncodeDateTime({9999, 12, 31, 23, 59, 58, 0});
  for (double bad : {1e300, -1e300, HUGE_VAL, -HUGE_VAL, std::nan(""), last + 1, first - 1, 9.2e18, -9.2e18}) {
    EXPECT_FALSE(IsRepresentableFileDate(bad)) << bad;
    TDateParts p = DecodeDateTime(bad);
    EXPECT_EQ(p.Year * 10000 + p.Month * 100 + p.Day, 18991230) << bad;
    const long long ticks = DosTicksOf(bad);
    EXPECT_TRUE(ticks == DosTicksOf(first - 1) || ticks == DosTicksOf(last + 1)) << bad;
    EXPECT_GE(DateTimeToDosDateTime(bad), 0x00210000u) << bad;
  }
  EXPECT_LT(DosTicksOf(-1e300), DosTicksOf(first));
  EXPECT_GT(DosTicksOf(1e300), DosTicksOf(last));
  // File times start in 1601; the day count ends with 9999.
  EXPECT_TRUE(IsRepresentableFileDate(EncodeDateTime({1601, 1, 1, 0, 0, 0, 0})));
  EXPECT_TRUE(IsRepresentableFileDate(EncodeDateTime({1601, 1, 1, 23, 59, 59, 999})));
  EXPECT_FALSE(IsRepresentableFileDate(EncodeDateTime({1600, 12, 31, 23, 59, 59, 999})));
  EXPECT_TRUE(IsRepresentableFileDate(EncodeDateTime({9999, 12, 31, 23, 59, 59, 999})));
  EXPECT_FALSE(IsRepresentableFileDate(EncodeDateTime({9999, 12, 31, 0, 0, 0, 0}) + 1));
  EXPECT_TRUE(IsRepresentableFileDate(0.0));
  EXPECT_EQ(DecodeDateTime(last).Year, 9999);
}

TEST(Sets, OrdinalNIsBitN) {
  EXPECT_EQ(NTFamilySet.ToBits(), (1u << 2) | (1u << 6) | (1u << 9));
  OSSet s{oswin98, oswinME};
  EXPECT_EQ(s.ToBits(), 0x180u);
  EXPECT_TRUE(s.Contains(oswin98));
  EXPECT_FALSE(s.Contains(oswinXP));
  s.Include(oswinXP).Exclude(oswin98);
  EXPECT_EQ(s.ToBits(), 0x300u);
  EXPECT_EQ(sizeof(OSSet), 2u);
  TInstallTypeSet it{itFull, itCustom};
  EXPECT_EQ(it.ToBits(), 0x9u);
  EXPECT_EQ((it - TInstallTypeSet{itFull}).ToBits(), 0x8u);
}
