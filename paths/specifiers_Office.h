// Standard specifiers for the folders of an installed Office: templates,
// clipart, startup, tools and favorites. Without a usable Office the folders
// fall back to sub-paths of the program files directory.
#pragma once
#include <string>

#include "cmp_TPathSpecifier.h"

// The installed Office version, determined afresh at every call: the number
// after the second "." of HKCR "\Word.Document\CurVer", valid only when the
// document class's "protocol\StdFileEditing\server" names an existing file;
// -1 otherwise.
int GetOfficeVersion();

#define TW_OFFICE_SPECIFIER(Cls)                   \
  class Cls : public TStandardPathSpecifier {      \
    TW_STANDARD_SPECIFIER_DECL(Cls)                \
    std::string GetDisplayName() override;         \
  };

TW_OFFICE_SPECIFIER(TpsOfficeUserTemplates)
TW_OFFICE_SPECIFIER(TpsOfficeWorkgroupTemplates)
TW_OFFICE_SPECIFIER(TpsOfficeClipartDirectory)
TW_OFFICE_SPECIFIER(TpsOfficeStartupDirectory)
TW_OFFICE_SPECIFIER(TpsOfficeToolsDirectory)
TW_OFFICE_SPECIFIER(TpsOfficeFavoritesDirectory)

#undef TW_OFFICE_SPECIFIER
