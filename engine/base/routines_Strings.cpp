#include "routines_Strings.h"

#include <utility>

std::string AddBackslash(std::string&& s) {
  if (!s.empty() && s.back() != '\\') s += '\\';
  return std::move(s);
}

std::string AddBackslash(const std::string& s) { return AddBackslash(std::string(s)); }

std::string StripBackslash(std::string&& s) {
  if (!s.empty() && s.back() == '\\') s.pop_back();
  return std::move(s);
}

std::string StripBackslash(const std::string& s) { return StripBackslash(std::string(s)); }

std::string GetField(const std::string& text, int n, char delimiter) {
  if (n < 1) return std::string();
  size_t pos = 0;
  for (int i = 1; i < n; ++i) {
    size_t d = text.find(delimiter, pos);
    if (d == std::string::npos) return std::string();
    pos = d + 1;
  }
  size_t end = text.find(delimiter, pos);
  return text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
}

void SplitFields(const std::string& text, char delimiter, std::vector<std::string>& list) {
  list.clear();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t d = text.find(delimiter, pos);
    if (d == std::string::npos) {
      list.push_back(text.substr(pos));
      return;
    }
    list.push_back(text.substr(pos, d - pos));
    pos = d + 1;
  }
}

std::string UpperCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

std::string LowerCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

bool ParseInteger(const std::string& text, long long& value, const TIntegerRules& rules) {
  size_t i = 0, e = text.size();
  if (rules.TrimBlanks) {
    while (i < e && static_cast<unsigned char>(text[i]) <= ' ') ++i;
    while (e > i && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  }
  bool negative = false;
  if (rules.Signed && i < e && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= e || (rules.MaxDigits > 0 && e - i > static_cast<size_t>(rules.MaxDigits))) return false;
  // The magnitude is gathered as a negative number, which reaches LLONG_MIN.
  long long v = 0;
  for (; i < e; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    const int d = text[i] - '0';
    if (v < (LLONG_MIN + d) / 10) return false;
    v = v * 10 - d;
  }
  if (!negative) {
    if (v == LLONG_MIN) return false;
    v = -v;
  }
  if (v < rules.Min || v > rules.Max) return false;
  value = v;
  return true;
}

namespace {
size_t LastDelimiter(const std::string& path) {
  size_t p = path.find_last_of("\\:/");
  return p;
}
}  // namespace

std::string ExtractFilePath(const std::string& path) {
  size_t p = LastDelimiter(path);
  return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

std::string ExtractFileDir(const std::string& path) {
  size_t p = LastDelimiter(path);
  if (p == std::string::npos) return std::string();
  // Keep the backslash of a drive root ("C:\").
  if (p > 0 && (path[p] == '\\' || path[p] == '/') && path[p - 1] != ':') return path.substr(0, p);
  return path.substr(0, p + 1);
}

std::string ExtractFileName(const std::string& path) {
  size_t p = LastDelimiter(path);
  return p == std::string::npos ? path : path.substr(p + 1);
}

std::string ExtractFileExt(const std::string& path) {
  size_t p = path.find_last_of(".\\:/");
  if (p == std::string::npos || path[p] != '.') return std::string();
  return path.substr(p);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  size_t p = path.find_last_of(".\\:/");
  if (p == std::string::npos || path[p] != '.') return path + ext;
  return path.substr(0, p) + ext;
}
