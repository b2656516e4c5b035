// Fuzz target: any bytes read as an archive (header list and every member's
// data) must give an exception or a result, never a fault or unbounded memory.
#include <cstddef>
#include <cstdint>

#include "format_Archive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
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
  if (size >= ExtractionInfoSize) TExtractionInfo::Decode(data + size - ExtractionInfoSize);
  return 0;
}
