// Path and delimited-field helpers.
#pragma once
#include <climits>
#include <string>
#include <vector>

#include "SysUtils.h"

// s with one backslash appended when s is non-empty and does not end with one
// (a temporary s is changed in place).
std::string AddBackslash(const std::string& s);
std::string AddBackslash(std::string&& s);
// s without its last character when that is a backslash.
std::string StripBackslash(const std::string& s);
std::string StripBackslash(std::string&& s);
// The n-th field (from 1) of a delimited text; empty when there are fewer.
std::string GetField(const std::string& text, int n, char delimiter);
// Replaces list with the fields of text. The count is the number of
// delimiters, plus one when text is non-empty and does not end with one.
void SplitFields(const std::string& text, char delimiter, std::vector<std::string>& list);

// ASCII case mapping, as file names compare (SameText is in SysUtils.h).
std::string UpperCase(const std::string& s);
std::string LowerCase(const std::string& s);
std::string Trim(const std::string& s);

// What ParseInteger accepts. By default: decimal digits with an optional
// leading '+' or '-' and nothing else (no blanks, no hex), within int.
struct TIntegerRules {
  bool TrimBlanks = false;  // characters up to ' ' before and after the number are ignored, as Trim does
  bool Signed = true;       // a leading '+' or '-' is allowed
  int MaxDigits = 0;        // more digits than this fail; 0: any count within the range
  long long Min = INT_MIN;  // values outside [Min, Max] fail
  long long Max = INT_MAX;
};
// Reads the whole of text as a decimal integer: true with value set when it
// is one under the rules, false with value unchanged otherwise.
bool ParseInteger(const std::string& text, long long& value, const TIntegerRules& rules = TIntegerRules());

// Parts of a path: "C:\a\b.txt" -> "C:\a\" (with the backslash), "b.txt", ".txt".
std::string ExtractFilePath(const std::string& path);
std::string ExtractFileDir(const std::string& path);  // without the backslash
std::string ExtractFileName(const std::string& path);
std::string ExtractFileExt(const std::string& path);
std::string ChangeFileExt(const std::string& path, const std::string& ext);
