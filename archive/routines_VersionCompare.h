// Comparison of dotted version strings ("1.10.0.3").
#pragma once
#include <string>

// Negative when newVersion is lower than existing, 0 when equal, positive
// when higher. Items convert as integers where both can, else compare as text;
// a string with an extra item is higher.
int CompareVersionStrings(const std::string& newVersion, const std::string& existing);
