// A plain-text trace of what the program does: to the file the environment
// variable TARNWICK_LOG names (for support and scripts), and to the run log
// that /LOG asks for, each of its lines behind the local time
// ("2026-12-11 11:52:03  text"). Lines are appended whole, so that the
// loading program, the setup program and the uninstaller can share a file.
#pragma once
#include <string>

void LogLine(const std::string& line);
bool LogEnabled();
// The run log's file; empty for none.
void SetRunLog(const std::string& path);
const std::string& RunLog();
