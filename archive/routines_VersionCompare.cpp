#include "routines_VersionCompare.h"

#include <climits>
#include <vector>

#include "routines_Strings.h"

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

// Items of at most 18 characters (sign included) compare as numbers.
bool ToInt(const std::string& s, long long& v) {
  TIntegerRules rules;
  rules.Min = LLONG_MIN;
  rules.Max = LLONG_MAX;
  return s.size() <= 18 && ParseInteger(s, v, rules);
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
