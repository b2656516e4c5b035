#include "DateUtils.h"

#include <cmath>

#include "SysUtils.h"

namespace {
// Days since 1970-01-01 of a proleptic Gregorian date.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

const long long kEpochOffset = DaysFromCivil(1899, 12, 30);  // 1899-12-30 in Unix days

// The range TryEncodeDateTime produces, and the start of file times.
const double kFirstDay = static_cast<double>(DaysFromCivil(1, 1, 1) - kEpochOffset);
const double kPastLastDay = static_cast<double>(DaysFromCivil(10000, 1, 1) - kEpochOffset);
const double kFirstFileDay = static_cast<double>(DaysFromCivil(1601, 1, 1) - kEpochOffset);

// Negative day counts carry the time of day as a negative fraction, so day
// d covers (d - 1, d] below zero and [d, d + 1) above.
bool InRange(TDateTime t, double firstDay) { return t > firstDay - 1 && t < kPastLastDay; }

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
}  // namespace

bool TryEncodeDateTime(const TDateParts& p, TDateTime& out) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (p.Year < 1 || p.Year > 9999 || p.Month < 1 || p.Month > 12 || p.Day < 1) return false;
  int dim = kDays[p.Month - 1] + (p.Month == 2 && IsLeap(p.Year) ? 1 : 0);
  if (p.Day > dim) return false;
  if (p.Hour < 0 || p.Hour > 23 || p.Minute < 0 || p.Minute > 59 || p.Second < 0 ||
      p.Second > 59 || p.Millisecond < 0 || p.Millisecond > 999)
    return false;
  double days = static_cast<double>(DaysFromCivil(p.Year, static_cast<unsigned>(p.Month),
                                                  static_cast<unsigned>(p.Day)) - kEpochOffset);
  double time = (p.Hour * 3600000.0 + p.Minute * 60000.0 + p.Second * 1000.0 + p.Millisecond) / 86400000.0;
  out = days >= 0 ? days + time : days - time;
  return true;
}

TDateTime EncodeDateTime(const TDateParts& p) {
  TDateTime t;
  if (!TryEncodeDateTime(p, t)) throw Exception("Invalid argument to date encode");
  return t;
}

TDateParts DecodeDateTime(TDateTime t) {
  TDateParts p;
  if (!InRange(t, kFirstDay)) return p;
  double whole = std::trunc(t);
  long long ms = std::llround(std::fabs(t - whole) * 86400000.0);
  if (ms >= 86400000) { ms -= 86400000; whole += t >= 0 ? 1 : -1; }
  CivilFromDays(static_cast<long long>(whole) + kEpochOffset, p.Year, p.Month, p.Day);
  p.Hour = static_cast<int>(ms / 3600000);
  p.Minute = static_cast<int>(ms / 60000 % 60);
  p.Second = static_cast<int>(ms / 1000 % 60);
  p.Millisecond = static_cast<int>(ms % 1000);
  return p;
}

bool IsRepresentableFileDate(TDateTime t) { return InRange(t, kFirstFileDay); }

long long DosTicksOf(TDateTime t) {
  if (!(t > kFirstDay - 1)) t = kFirstDay - 1;
  if (t > kPastLastDay) t = kPastLastDay;
  return static_cast<long long>(std::floor(t * 43200.0 + 1e-6));
}

TDateTime DosDateTimeToDateTime(std::uint32_t dos) {
  TDateParts p;
  std::uint32_t date = dos >> 16, time = dos & 0xFFFF;
  p.Year = 1980 + static_cast<int>(date >> 9);
  p.Month = static_cast<int>((date >> 5) & 15);
  p.Day = static_cast<int>(date & 31);
  p.Hour = static_cast<int>(time >> 11);
  p.Minute = static_cast<int>((time >> 5) & 63);
  p.Second = static_cast<int>((time & 31) * 2);
  TDateTime t;
  return TryEncodeDateTime(p, t) ? t : 0.0;
}

std::uint32_t DateTimeToDosDateTime(TDateTime t) {
  TDateParts p = DecodeDateTime(t);
  if (p.Year < 1980) p = TDateParts{1980, 1, 1, 0, 0, 0, 0};
  if (p.Year > 2107) p = TDateParts{2107, 12, 31, 23, 59, 58, 0};
  std::uint32_t date = static_cast<std::uint32_t>(((p.Year - 1980) << 9) | (p.Month << 5) | p.Day);
  std::uint32_t time = static_cast<std::uint32_t>((p.Hour << 11) | (p.Minute << 5) | (p.Second / 2));
  return (date << 16) | time;
}

TDateTime TruncateToDosResolution(TDateTime t) {
  TDateParts p = DecodeDateTime(t);
  p.Second -= p.Second % 2;
  p.Millisecond = 0;
  TDateTime r;
  return TryEncodeDateTime(p, r) ? r : t;
}
