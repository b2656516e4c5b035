// A plain-text trace of what the program does, written only when the
// environment variable TARNWICK_LOG names a file (for support and scripts).
#pragma once
#include <string>

void LogLine(const std::string& line);
bool LogEnabled();
