#include <windows.h>

#include "DateUtils.h"

TDateTime FileTimeToDateTime(const FILETIME& ft) {
  FILETIME local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&ft, &local) || !FileTimeToSystemTime(&local, &st)) return 0.0;
  TDateTime t = 0.0;
  TryEncodeDateTime({st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds}, t);
  return t;
}

FILETIME DateTimeToFileTime(TDateTime t) {
  TDateParts p = DecodeDateTime(t);
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(p.Year);
  st.wMonth = static_cast<WORD>(p.Month);
  st.wDay = static_cast<WORD>(p.Day);
  st.wHour = static_cast<WORD>(p.Hour);
  st.wMinute = static_cast<WORD>(p.Minute);
  st.wSecond = static_cast<WORD>(p.Second);
  st.wMilliseconds = static_cast<WORD>(p.Millisecond);
  FILETIME local = {}, utc = {};
  if (SystemTimeToFileTime(&st, &local)) LocalFileTimeToFileTime(&local, &utc);
  return utc;
}

TDateTime Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  TDateTime t = 0.0;
  TryEncodeDateTime({st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds}, t);
  return t;
}
