#include "routines_Unattended.h"

#include <cctype>

TUnattendedOptions Unattended;

TUnattendedOptions ParseUnattendedOptions(const std::vector<std::string>& arguments) {
  TUnattendedOptions o;
  for (const std::string& arg : arguments) {
    if (arg.size() < 2 || arg[0] != '*') continue;
    const std::string value = arg.substr(2);
    switch (std::tolower(static_cast<unsigned char>(arg[1]))) {
      case 'u':
        o.Mode = value == "2" ? umVerySilent : value == "1" ? umSilent : umInteractive;
        break;
      case 'i':
        o.Dir = value;
        o.HasDir = true;
        break;
      case 'k':
        o.Group = value;
        o.HasGroup = true;
        break;
      case 'j': o.LogFile = value; break;
      case 'x': o.NoRestart = true; break;
      default: break;
    }
  }
  return o;
}

namespace {
// One argument as the C runtime splits command lines: in quotes, a quote
// inside and the backslashes before it, or before the closing quote, escaped.
std::string Quoted(const std::string& arg) {
  std::string out = " \"";
  std::size_t backslashes = 0;
  for (char ch : arg) {
    if (ch == '\\') {
      ++backslashes;
      continue;
    }
    out.append(ch == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    out += ch;
  }
  out.append(2 * backslashes, '\\');
  return out + "\"";
}
}  // namespace

std::string ContinuationArguments(const TUnattendedOptions& o) {
  std::string s;
  if (o.Mode != umInteractive) s += Quoted("*u" + std::to_string(static_cast<int>(o.Mode)));
  if (o.HasDir) s += Quoted("*i" + o.Dir);
  if (o.HasGroup) s += Quoted("*k" + o.Group);
  if (!o.LogFile.empty()) s += Quoted("*j" + o.LogFile);
  if (o.NoRestart) s += Quoted("*x");
  return s;
}

int DefaultBoxAnswer(unsigned flags) {
  constexpr unsigned kTypeMask = 0x0000000FL, kDefMask = 0x00000F00L;
  const unsigned type = flags & kTypeMask, def = (flags & kDefMask) >> 8;  // 0: first button
  // The buttons of each box type, in order (IDOK 1, IDCANCEL 2, IDABORT 3,
  // IDRETRY 4, IDIGNORE 5, IDYES 6, IDNO 7).
  static const int kButtons[][3] = {{1, 0, 0}, {1, 2, 0}, {3, 4, 5}, {6, 7, 2}, {6, 7, 0}, {4, 2, 0}};
  if (type >= sizeof(kButtons) / sizeof(kButtons[0])) return 1;
  const int* buttons = kButtons[type];
  return def < 3 && buttons[def] ? buttons[def] : buttons[0];
}
