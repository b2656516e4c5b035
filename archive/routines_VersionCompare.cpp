#include "routines_VersionCompare.h"

#include <cstdlib>
#include <vector>

namespace {
std::vector<std::string> Items(const std::string& s) {
  std::vector<std::string> v;
  size_t p = 0;
  for (;;) {
    size_t e = s.find('.', p);
    v.push_back(s.substr(p, e == std::string::npos ? std::string::npos : e - p));
    if (e == std::string::npos) break;
    p = e + 1;
  }
  return v;
}

bool ToInt(const std::string& s, long long& v) {
  size_t i = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
  if (i >= s.size() || s.size() > 18) return false;
  for (size_t k = i; k < s.size(); ++k)
    if (s[k] < '0' || s[k] > '9') return false;
  v = std::strtoll(s.c_str(), nullptr, 10);
  return true;
}
}  // namespace

int CompareVersionStrings(const std::string& n, const std::string& e) {
  std::vector<std::string> vn = Items(n), ve = Items(e);
  for (size_t i = 0;; ++i) {
    const std::string a = i < vn.size() ? vn[i] : std::string();
    const std::string b = i < ve.size() ? ve[i] : std::string();
    if (a.empty() && b.empty()) return 0;
    if (a.empty()) return -1;
    if (b.empty()) return 1;
    long long x, y;
    if (ToInt(a, x) && ToInt(b, y)) {
      if (x != y) return x < y ? -1 : 1;
    } else if (a != b) {
      return a.compare(b) < 0 ? -1 : 1;  // std::string compares unsigned chars
    }
  }
}
