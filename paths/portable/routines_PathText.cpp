#include "routines_PathText.h"

#include <cctype>

#include "routines_Strings.h"

std::string ScanMetaVariables(const std::string& text,
                              const std::function<bool(char, std::string&)>& lookup) {
  std::string result;
  bool pending = false;
  for (char ch : text) {
    if (!pending) {
      if (ch == '%')
        pending = true;
      else
        result += ch;
      continue;
    }
    pending = false;
    if (ch == '%') {
      result += '%';
      continue;
    }
    std::string value;
    if (lookup(ch, value)) {
      if (!value.empty() && value.back() == '\\') value.pop_back();
      result += value;
    }
  }
  return result;
}

std::string DrivePart(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0])))
    return path.substr(0, 2);
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    // \\server\share: up to the separator after the share name.
    std::size_t server = path.find('\\', 2);
    if (server == std::string::npos || server == 2) return std::string();
    std::size_t share = path.find('\\', server + 1);
    if (share == server + 1) return std::string();
    return path.substr(0, share);
  }
  return std::string();
}

std::string FirstListEntry(const std::string& list) {
  std::size_t p = list.find(';');
  return p == std::string::npos ? list : list.substr(0, p);
}

bool IsShellPseudoPath(const std::string& path) { return path.compare(0, 2, "::") == 0; }

std::string OfficeVersionText(const std::string& curVer) {
  std::size_t first = curVer.find('.');
  if (first == std::string::npos) return std::string();
  std::size_t second = curVer.find('.', first + 1);
  if (second == std::string::npos) return std::string();
  return curVer.substr(second + 1);
}

int OfficeVersionNumber(const std::string& versionText) {
  std::string t = versionText;
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.pop_back();
  std::size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  TIntegerRules rules;
  rules.MaxDigits = 9;  // more is out of range for a version
  long long v = 0;
  return ParseInteger(t.substr(i), v, rules) ? static_cast<int>(v) : -1;
}

namespace {
std::string OfficeKeyBase(int version) {
  if (version == 7 || version == 8)
    return "\\Software\\Microsoft\\Office\\" + std::to_string(version) + ".0";
  if (version >= 9 && version <= 19)
    return "\\Software\\Policies\\Microsoft\\Office\\" + std::to_string(version) + ".0";
  return std::string();
}
}  // namespace

std::string OfficeFileNewKey(int version, const std::string& name) {
  std::string base = OfficeKeyBase(version);
  return base.empty() ? base : base + "\\Common\\FileNew\\" + name;
}

std::string OfficeWordOptionsKey(int version) {
  std::string base = OfficeKeyBase(version);
  return base.empty() ? base : base + "\\Word\\Options";
}
