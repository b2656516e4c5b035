#include "types_Tarnwick.h"

TOSVerType OSVersionFromInfo(unsigned long platformId, unsigned long major, unsigned long minor) {
  switch (platformId) {
    case 0:
      return os31win32;
    case 1:
      if (minor == 90) return oswinME;
      if (minor == 10) return oswin98;
      if (minor == 0) return oswin95;
      return oswin98;
    case 2:
      if (major < 4) return oswinNT351;
      if (major == 4) return oswinNT;
      if (major == 5) return minor == 0 ? oswin2K : oswinXP;
      return osUnidentified;
    default:
      return osUnidentified;
  }
}

const char* OSVerTypeName(TOSVerType t) {
  static const char* const kNames[] = {"os31win32", "oswin95", "oswinNT", "oswinNT351", "osUnidentified",
                                       "osLinux", "oswin2K", "oswin98", "oswinME", "oswinXP"};
  return t <= oswinXP ? kNames[t] : "";
}

TOSVerType EffectiveOS(TOSVerType os) { return os == osUnidentified ? oswinXP : os; }

bool IsNTFamilyOS(TOSVerType os) { return NTFamilySet.Contains(EffectiveOS(os)); }

bool Is9xFamilyOS(TOSVerType os) { return os == oswin95 || os == oswin98 || os == oswinME; }
