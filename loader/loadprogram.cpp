#include "loadprogram.h"

#include <cctype>

bool IsToDiskArgument(const std::string& argument) {
  static const char kToDisk[] = "*TODISK";
  if (argument.size() != sizeof(kToDisk) - 1) return false;
  for (std::size_t i = 0; i < argument.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(argument[i])) != kToDisk[i]) return false;
  return true;
}

bool WantsToDisk(const std::vector<std::string>& arguments) {
  for (const std::string& a : arguments)
    if (IsToDiskArgument(a)) return true;
  return false;
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

namespace {
std::string Quoted(const std::string& s) { return "\"" + s + "\""; }
}  // namespace

std::string SetupCommandLine(const std::string& program, const std::string& self, bool selfExtracting,
                             bool toDisk) {
  std::string line = Quoted(program);
  if (toDisk) line += " -f";
  if (selfExtracting || toDisk) line += " " + Quoted("-e" + FileNamePart(self));
  line += " " + Quoted("-s" + DirectoryPart(self));
  if (!toDisk) line += " -c";
  return line;
}
