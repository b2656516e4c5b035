#include "loadprogram.h"

#include "SysUtils.h"

namespace {

// Without one pair of enclosing quotes.
std::string Unquoted(const std::string& s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

// Appends one argument as the C runtime splits a command line: in quotes, a
// quote inside escaped, and backslashes doubled where a quote follows them.
void AppendArgument(std::string& line, const char* prefix, const std::string& value) {
  if (!line.empty()) line += ' ';
  line.append("\"").append(prefix);
  std::size_t backslashes = 0;
  for (char c : value) {
    if (c == '"') line.append(backslashes + 1, '\\');
    backslashes = c == '\\' ? backslashes + 1 : 0;
    line += c;
  }
  line.append(backslashes, '\\');
  line += '"';
}

enum class TSwitchId { Silent, VerySilent, Dir, Group, Log, NoRestart, Help };
struct TSwitch {
  TSwitchId Id;
  const char* Name;
  const char* Alias;  // another name, or null
  const char* Value;  // what its value is; null for a switch without one
  const char* Help;
};
const TSwitch kSwitches[] = {
    {TSwitchId::Silent, "/SILENT", nullptr, nullptr, "installs without questions, showing only its progress"},
    {TSwitchId::VerySilent, "/VERYSILENT", nullptr, nullptr, "installs without showing anything"},
    {TSwitchId::Dir, "/DIR", nullptr, "path", "installs into this directory"},
    {TSwitchId::Group, "/GROUP", nullptr, "name", "puts the shortcuts into this Start-menu folder"},
    {TSwitchId::Log, "/LOG", nullptr, "file", "appends what happens to this file"},
    {TSwitchId::NoRestart, "/NORESTART", nullptr, nullptr, "never restarts Windows (exit code 3010 when it should)"},
    {TSwitchId::Help, "/HELP", "/?", nullptr, "shows this list"},
};

}  // namespace

bool IsToDiskArgument(const std::string& argument) { return SameText(argument, "*TODISK"); }

TLoadOptions ParseLoadOptions(const std::vector<std::string>& arguments) {
  TLoadOptions o;
  for (const std::string& given : arguments) {
    const std::string a = Unquoted(given);
    if (IsToDiskArgument(a)) o.ToDisk = true;
    if (a.empty() || a[0] != '/') continue;
    const std::size_t eq = a.find('=');
    const std::string name = a.substr(0, eq);
    const bool hasValue = eq != std::string::npos;
    const std::string value = hasValue ? Unquoted(a.substr(eq + 1)) : std::string();
    const TSwitch* s = nullptr;
    for (const TSwitch& k : kSwitches)
      if (SameText(name, k.Name) || (k.Alias && name == k.Alias)) s = &k;
    if (!s) {
      o.Error.append("Unknown switch: ").append(a) += '\n';
      continue;
    }
    if (s->Value && value.empty()) {
      o.Error.append("The switch ").append(a).append(" needs a value: ").append(s->Name).append("=").append(s->Value) +=
          '\n';
      continue;
    }
    if (!s->Value && hasValue) {
      o.Error.append("The switch ").append(s->Name).append(" takes no value: ").append(a) += '\n';
      continue;
    }
    switch (s->Id) {
      case TSwitchId::Silent:
        if (o.Silence == TSilence::None) o.Silence = TSilence::Silent;
        break;
      case TSwitchId::VerySilent: o.Silence = TSilence::VerySilent; break;
      case TSwitchId::Dir: o.Dir = value; break;
      case TSwitchId::Group: o.Group = value; break;
      case TSwitchId::Log: o.Log = value; break;
      case TSwitchId::NoRestart: o.NoRestart = true; break;
      case TSwitchId::Help: o.Help = true; break;
    }
  }
  if (!o.Error.empty()) o.Error.append("\nValid switches:\n").append(SwitchHelp());
  return o;
}

std::string SwitchHelp() {
  std::string text;
  for (const TSwitch& k : kSwitches) {
    text += k.Name;
    if (k.Alias) text.append(" or ").append(k.Alias);
    if (k.Value) text.append("=").append(k.Value);
    text.append("\t").append(k.Help) += '\n';
  }
  return text.append(
      "*TODISK\tcopies the setup program to floppy disks\n"
      "Exit codes: 0 installed, 1 failed, 2 cancelled, 3010 installed but a restart is needed, "
      "3 cannot unpack, 4 cannot start the setup program, 5 floppy transfer not possible, "
      "6 damaged setup file.\n");
}

std::string FileNamePart(const std::string& path) {
  std::size_t p = path.find_last_of("\\/:");
  return p == std::string::npos ? path : path.substr(p + 1);
}

std::string DirectoryPart(const std::string& path) {
  std::size_t p = path.find_last_of("\\/:");
  if (p == std::string::npos) return std::string();
  std::string dir = path.substr(0, path[p] == ':' ? p + 1 : p);
  while (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();  // "C:\" -> "C:"
  return dir;
}

std::string SetupCommandLine(const std::string& program, const std::string& self, bool selfExtracting,
                             const TLoadOptions& options) {
  std::string line;
  AppendArgument(line, "", program);
  if (options.ToDisk) line += " -f";
  if (selfExtracting || options.ToDisk) AppendArgument(line, "-e", FileNamePart(self));
  AppendArgument(line, "-s", DirectoryPart(self));
  if (!options.ToDisk) line += " -c";
  if (options.Silence != TSilence::None) line += options.Silence == TSilence::VerySilent ? " \"*u2\"" : " \"*u1\"";
  if (!options.Dir.empty()) AppendArgument(line, "*i", options.Dir);
  if (!options.Group.empty()) AppendArgument(line, "*k", options.Group);
  if (!options.Log.empty()) AppendArgument(line, "*j", options.Log);
  if (options.NoRestart) line += " \"*x\"";
  return line;
}

std::string LogText(const TLogTime& time, const std::string& text) {
  char stamp[] = "YYYY-MM-DD HH:MM:SS  ";
  auto put = [&stamp](int at, int width, int v) {
    for (int k = width - 1; k >= 0; --k, v /= 10) stamp[at + k] = static_cast<char>('0' + v % 10);
  };
  put(0, 4, time.Year);
  put(5, 2, time.Month);
  put(8, 2, time.Day);
  put(11, 2, time.Hour);
  put(14, 2, time.Minute);
  put(17, 2, time.Second);
  std::string lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::size_t last = end;
    while (last > at && (text[last - 1] == '\r' || text[last - 1] == ' ')) --last;
    if (last > at) lines.append(stamp).append(text, at, last - at).append("\r\n");
    at = end + 1;
  }
  return lines;
}
