// Stands in for the setup program that the loading program unpacks and
// starts. When TW_SETUPCHILD_REPORT names a file, writes into it its own
// path, its current directory and its arguments, one per line:
//   exe=<path>  cwd=<dir>  arg=<argument> (one line each)
// and exits with the code in TW_SETUPCHILD_EXIT (0 when unset).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char buf[MAX_PATH * 2];
  std::string report;
  if (GetEnvironmentVariableA("TW_SETUPCHILD_REPORT", buf, sizeof(buf))) report = buf;
  int code = 0;
  if (GetEnvironmentVariableA("TW_SETUPCHILD_EXIT", buf, sizeof(buf))) code = std::atoi(buf);
  if (!report.empty()) {
    std::FILE* f = std::fopen(report.c_str(), "wb");
    if (!f) return 200;
    GetModuleFileNameA(nullptr, buf, sizeof(buf));
    std::fprintf(f, "exe=%s\n", buf);
    GetCurrentDirectoryA(sizeof(buf), buf);
    std::fprintf(f, "cwd=%s\n", buf);
    for (int i = 1; i < __argc; ++i) std::fprintf(f, "arg=%s\n", __argv[i]);
    std::fclose(f);
  }
  return code;
}
