// Any text either parses into a table whose entries respect the format's
// limits or raises Exception.
#include <cstdlib>
#include <string>

#include "SysUtils.h"
#include "routines_LanguageFile.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = SplitLanguageText(text);
  try {
    TLanguageTable table = ParseLanguageLines(lines);
    for (const auto& t : table.Texts)
      if (t.Text.size() > kMaxLanguageText || t.Line < 0 || t.Line >= static_cast<int>(lines.size())) std::abort();
    for (const auto& m : table.Memos)
      if (m.Line < 0 || m.Line >= static_cast<int>(lines.size())) std::abort();
  } catch (const Exception&) {
  }
  return 0;
}
