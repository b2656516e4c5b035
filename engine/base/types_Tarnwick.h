// Enumerations and sets shared by the whole engine. Ordinals and set bit
// layouts are those stored in project streams.
#pragma once
#include <cstdint>

#include "Sets.h"

enum TOSVerType : std::uint8_t {
  os31win32 = 0,
  oswin95 = 1,
  oswinNT = 2,
  oswinNT351 = 3,
  osUnidentified = 4,
  osLinux = 5,
  oswin2K = 6,
  oswin98 = 7,
  oswinME = 8,
  oswinXP = 9,
};
using OSSet = TSet<TOSVerType, std::uint16_t>;

// The NT family as detected (IsNTFamilyOS adds the systems after XP).
inline constexpr OSSet NTFamilySet{oswinNT, oswin2K, oswinXP};
// Every system the engine knows.
inline constexpr OSSet AllOSSet{os31win32, oswin95, oswinNT, oswinNT351, osUnidentified,
                                osLinux, oswin2K, oswin98, oswinME, oswinXP};

enum TOverwriteType : std::uint8_t {
  owAlways = 0,
  owNever = 1,
  owVersion = 2,
  owDate = 3,
  owVersionDate = 4,
  owAsk = 5,
};

enum TInstallType : std::uint8_t { itFull = 0, itDefault = 1, itCompact = 2, itCustom = 3 };
using TInstallTypeSet = TSet<TInstallType, std::uint8_t>;

enum TDistributeType : std::uint8_t { dtTraditional = 0, dtWeb = 1, dtTraditionalNet = 2 };

// The system a version report names: platform 0 Win32s, 1 the Windows 95
// family, 2 NT.
TOSVerType OSVersionFromInfo(unsigned long platformId, unsigned long major, unsigned long minor);

// Identifier of an enumeration value ("oswinXP"), empty for an unknown ordinal.
const char* OSVerTypeName(TOSVerType t);

// The system whose rules apply on a detected one. osUnidentified follows XP:
// OSVersionFromInfo gives it for NT 6.0 and later, and otherwise only for a
// platform this program cannot run on. Every other value stands for itself. Membership in an object's OS set still uses the
// detected value, where osUnidentified names the current Windows.
TOSVerType EffectiveOS(TOSVerType os);
// NT 4.0, 2000, XP and later: RunOnce below HKCU, cmd.exe, the shell's
// per-user folders.
bool IsNTFamilyOS(TOSVerType os);
// Windows 95, 98 and ME: RunOnce below HKLM, command.com, WININIT.INI.
bool Is9xFamilyOS(TOSVerType os);

// File attributes an install object gives its files.
enum TTrnwFileAttributes : std::uint8_t {
  tfaArchive, tfaCompressed, tfaDirectory, tfaHidden, tfaNormal, tfaOffline, tfaReadOnly, tfaSystem,
  tfaTemporary
};
using TTrnwFileAttributesSet = TSet<TTrnwFileAttributes, std::uint16_t>;

// Screen anchor of a dialog.
enum TTarnwickDialogPosition : std::uint8_t {
  tdpCenterLeft, tdpCenter, tdpCenterRight, tdpBottomLeft, tdpBottomCenter, tdpBottomRight,
  tdpTopLeft, tdpTopCenter, tdpTopRight
};

enum TInstallFileType : std::uint8_t {
  iftNormal, iftJustADLL, iftApplicationSpecificDLL, iftVendorSharedDLL, iftSystemWideDLL
};

enum TInstallFileState : std::uint8_t { ifsNone, ifsCompress, ifsInstall, ifsCopying, ifsReflect };
