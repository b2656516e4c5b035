// Fuzz target: any bytes read as an archive (header list, every member's
// name, date and data) must give an exception or a result, never a fault,
// an undefined conversion or unbounded memory.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "DateUtils.h"
#include "format_Archive.h"

namespace {
// What extraction does with a stored date: the range check, then the
// conversions of the date rule and of setting the file's date.
void UseDate(TDateTime date) {
  const bool representable = IsRepresentableFileDate(date);
  const TDateParts p = DecodeDateTime(date);
  if (p.Month < 1 || p.Month > 12 || p.Day < 1 || p.Day > 31 || p.Hour < 0 || p.Hour > 23) std::abort();
  if (representable && (p.Year < 1601 || p.Year > 9999)) std::abort();
  volatile long long ticks = DosTicksOf(date);
  volatile std::uint32_t dos = DateTimeToDosDateTime(date);
  volatile TDateTime truncated = TruncateToDosResolution(date);
  (void)ticks, (void)dos, (void)truncated;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Raw bytes as a date too, so that every bit pattern is reached directly.
  if (size >= 8) {
    double d;
    std::memcpy(&d, data, 8);
    UseDate(d);
  }
  TMemoryStream s(std::vector<std::uint8_t>(data, data + size));
  TFileHeaders headers;
  try {
    headers.Read(s, 0);
  } catch (const Exception&) {
    return 0;
  }
  TIdentifierIndex index;
  index.Build(headers);
  for (int i = 0; i < headers.Count(); ++i) {
    const TFileHeaderRec& h = headers.GetFileHeaders(i).Rec;
    UseDate(h.FileDate);
    const std::string safe = SafeMemberFileName(h.StoredName);
    if (safe.find_first_of("\\/:") != std::string::npos) std::abort();
    try {
      s.SetPosition(h.DataStart);
      TInflateRequest r;
      r.Source = &s;
      r.Disk = r.LastDisk = 0;
      r.EndPosition = h.DataEnd;
      r.MaxOutput = h.Size < 0 ? 0 : h.Size;
      if (r.MaxOutput > (1 << 20)) r.MaxOutput = 1 << 20;
      r.MemberName = h.StoredName;
      std::uint32_t sum = 0;
      r.OnBlock = [&](const std::uint8_t* p, long n) { for (long k = 0; k < n; ++k) sum += p[k]; };
      InflateMember(r);
    } catch (const Exception&) {
    }
  }
  return 0;
}
