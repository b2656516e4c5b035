// Dates as a day count since 1899-12-30 with the time of day as the
// fraction (local time), and their DOS (2-second) and file-time forms.
#pragma once
#include <cstdint>

using TDateTime = double;

struct TDateParts {
  int Year = 1899, Month = 12, Day = 30;
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// False for an invalid date or time.
bool TryEncodeDateTime(const TDateParts& p, TDateTime& out);
TDateTime EncodeDateTime(const TDateParts& p);  // raises Exception when invalid
// Dates outside 0001-01-01 to 9999-12-31 (and NaN) decode as 1899-12-30.
TDateParts DecodeDateTime(TDateTime t);
// True for a date that both this type and the system's file times can hold:
// from 1601-01-01 to 9999-12-31 23:59:59.999.
bool IsRepresentableFileDate(TDateTime t);
// The date in 2-second steps, for exact comparison; dates outside
// 0001-01-01 to 9999-12-31 count as those bounds (NaN as the lower one).
long long DosTicksOf(TDateTime t);

// DOS date and time packed in 32 bits: date in the high word, time in the
// low word, seconds halved. Dates before 1980 or after 2107 do not fit.
TDateTime DosDateTimeToDateTime(std::uint32_t dos);
std::uint32_t DateTimeToDosDateTime(TDateTime t);
// Rounds down to the 2-second resolution of a DOS date-time.
TDateTime TruncateToDosResolution(TDateTime t);

#ifdef _WIN32
#include <windows.h>
// File times are UTC; these convert to and from local time.
TDateTime FileTimeToDateTime(const FILETIME& ft);
FILETIME DateTimeToFileTime(TDateTime t);
TDateTime Now();
#endif
