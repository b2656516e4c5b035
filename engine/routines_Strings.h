// Path and delimited-field helpers.
#pragma once
#include <string>
#include <vector>

// s with one backslash appended when s is non-empty and does not end with one.
std::string AddBackslash(const std::string& s);
// s without its last character when that is a backslash.
std::string StripBackslash(const std::string& s);
// The n-th field (from 1) of a delimited text; empty when there are fewer.
std::string GetField(const std::string& text, int n, char delimiter);
// Replaces list with the fields of text. The count is the number of
// delimiters, plus one when text is non-empty and does not end with one.
void SplitFields(const std::string& text, char delimiter, std::vector<std::string>& list);

// ASCII case-insensitive comparison and case mapping, as file names compare.
bool SameText(const std::string& a, const std::string& b);
std::string UpperCase(const std::string& s);
std::string LowerCase(const std::string& s);
std::string Trim(const std::string& s);

// Parts of a path: "C:\a\b.txt" -> "C:\a\" (with the backslash), "b.txt", ".txt".
std::string ExtractFilePath(const std::string& path);
std::string ExtractFileDir(const std::string& path);  // without the backslash
std::string ExtractFileName(const std::string& path);
std::string ExtractFileExt(const std::string& path);
std::string ChangeFileExt(const std::string& path, const std::string& ext);
