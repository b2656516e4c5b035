#include "routines_LanguageFile.h"

#include "SysUtils.h"
#include "routines_Strings.h"

namespace {

const char* const kNoFormat = "The %d'th string (%s) does not have the proper format of GLID;Text";
const char* const kNoNumber = "The %d'th string (%s) does not have the proper format of GLID;Text or .GLID;";

bool ParseNumber(const std::string& s, int& out) {
  long long v = 0;
  if (!ParseInteger(s, v)) return false;
  out = static_cast<int>(v);
  return true;
}

// The number field of a line: empty gives the plain format error, text
// that is no integer the other one.
int NumberField(const std::string& field, int index, const std::string& line) {
  if (field.empty()) throw Exception(kNoFormat, {index, line});
  int n = 0;
  if (!ParseNumber(field, n)) throw Exception(kNoNumber, {index, line});
  return n;
}

}  // namespace

std::string TrimLanguageLine(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

std::vector<std::string> SplitLanguageText(const std::string& text) {
  std::vector<std::string> lines;
  std::string cur;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(cur);
      cur.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  return lines;
}

TLanguageTable ParseLanguageLines(const std::vector<std::string>& lines) {
  TLanguageTable table;
  bool inMemo = false;
  TLanguageMemoEntry memo;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int index = static_cast<int>(i);
    const std::string line = TrimLanguageLine(lines[i]);
    if (line.empty() || line[0] == '*') continue;
    if (line == "#") {
      if (!inMemo)
        throw Exception("Found the end of memo marker # at line %d. Was not in a memo however", {index});
      table.Memos.push_back(std::move(memo));
      memo = TLanguageMemoEntry();
      inMemo = false;
      continue;
    }
    if (inMemo) {
      memo.Lines.push_back(line);
      continue;
    }
    if (line[0] == '#') {
      std::size_t semi = line.find(';');
      memo = TLanguageMemoEntry();
      memo.Number = NumberField(line.substr(1, semi == std::string::npos ? std::string::npos : semi - 1), index, line);
      memo.Line = index;
      inMemo = true;
      continue;
    }
    std::size_t semi = line.find(';');
    TLanguageTextEntry entry;
    entry.Number = NumberField(line.substr(0, semi), index, line);
    std::string text;
    if (semi != std::string::npos) {
      std::size_t end = line.find(';', semi + 1);
      text = line.substr(semi + 1, end == std::string::npos ? std::string::npos : end - semi - 1);
    }
    if (TrimLanguageLine(text).empty()) throw Exception(kNoFormat, {index, line});
    if (text.size() > kMaxLanguageText) text.resize(kMaxLanguageText);
    entry.Text = std::move(text);
    entry.Line = index;
    table.Texts.push_back(std::move(entry));
  }
  return table;
}
