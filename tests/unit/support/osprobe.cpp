// Test helper. "osversion": exit code is the detected TOSVerType ordinal.
// "runonce NAME COMMAND unique|plain": exit code 1 when AddRunOnce succeeded.
#include <cstring>
#include <string>

#include "exceptions_Tarnwick.h"
#include "routines_API.h"
#include "routines_Registry.h"

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "osversion") == 0) {
    try {
      return GetOSVersion();
    } catch (const Exception&) {
      return 100;
    }
  }
  if (argc >= 5 && std::strcmp(argv[1], "runonce") == 0)
    return AddRunOnce(argv[2], argv[3], std::strcmp(argv[4], "unique") == 0) ? 1 : 0;
  return 200;
}
