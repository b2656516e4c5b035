// The text tables of the translator's languages: numbered texts
// ("4;< Back") and numbered multi-line texts ("#52;" ... "#"), with "*"
// comment lines. Portable: no file or window access.
#pragma once
#include <string>
#include <vector>

// The longest single text kept; longer texts are cut.
constexpr std::size_t kMaxLanguageText = 255;

struct TLanguageTextEntry {
  int Number = 0;
  int Line = 0;  // zero-based line of the source it came from
  std::string Text;
};

struct TLanguageMemoEntry {
  int Number = 0;
  int Line = 0;  // line of its "#" start marker
  std::vector<std::string> Lines;
};

struct TLanguageTable {
  std::vector<TLanguageTextEntry> Texts;
  std::vector<TLanguageMemoEntry> Memos;
};

// Parses the lines of a language table. Raises Exception with the format
// error's message (line numbers zero-based); a multi-line text still open
// at the end is dropped.
TLanguageTable ParseLanguageLines(const std::vector<std::string>& lines);

// Splits a file's bytes into lines at CR LF, LF or CR.
std::vector<std::string> SplitLanguageText(const std::string& text);

// Trims characters up to and including the blank, as the table format does.
std::string TrimLanguageLine(const std::string& s);
