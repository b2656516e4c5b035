/* An executable server: writes its command line and current directory to
   "regserver.log" beside itself, then ends. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

int main(void) {
  char path[MAX_PATH * 2], dir[MAX_PATH * 2];
  char* slash;
  FILE* f;
  GetModuleFileNameA(NULL, path, MAX_PATH);
  slash = strrchr(path, '\\');
  if (slash) slash[1] = '\0';
  strcat(path, "regserver.log");
  GetCurrentDirectoryA(sizeof dir, dir);
  f = fopen(path, "wb");
  if (!f) return 1;
  fprintf(f, "%s\n%s\n", GetCommandLineA(), dir);
  fclose(f);
  return 0;
}
