// Version resources of executable files and the replace decisions built on
// them.
#pragma once
#include <cstdint>
#include <string>

#include "Classes.h"
#include "DateUtils.h"
#include "routines_VersionCompare.h"
#include "types_Tarnwick.h"

enum TLanguage : std::uint8_t {
  lnArabic, lnBulgarian, lnCatalan, lnTraditionalChinese, lnCzech, lnDanish, lnGerman, lnGreek,
  lnUSEnglish, lnCastilianSpanish, lnFinnish, lnFrench, lnHebrew, lnHungarian, lnIcelandic,
  lnItalian, lnJapanese, lnKorean, lnDutch, lnNorwegianBokmal, lnPolish, lnBrazilianPortuguese,
  lnRhaetoRomanic, lnRomanian, lnRussian, lnCroatoSerbian, lnSlovak, lnAlbanian, lnSwedish,
  lnThai, lnTurkish, lnUrdu, lnBahasa, lnSimplifiedChinese, lnSwissGerman, lnUKEnglish,
  lnMexicanSpanish, lnBelgianFrench, lnSwissItalian, lnBelgianDutch, lnNorwegianNynorsk,
  lnPortuguese, lnSerboCroatian, lnCanadianFrench, lnSwissFrench
};

enum TCharacterSet : std::uint8_t {
  csASCII, csJapan, csKorea, csTaiwan, csUnicode, csLatin2, csCyrillic, csMultilingual, csGreek,
  csTurkish, csHebrew, csArabic
};

// Windows language identifier and code page of the enumerations; a value
// outside them raises Exception with an empty message.
std::uint16_t LanguageId(TLanguage l);
std::uint16_t CodePage(TCharacterSet c);

using TFileName = std::string;

class TVersionInfo : public TPersistent {
public:
  const char* ClassName() const override { return "TVersionInfo"; }
  void Assign(const TPersistent& source) override;
  void Clear();

  std::string Comment, CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright,
      LegalTradeMarks, OriginalFileName;
  std::uint16_t PrimaryLanguage = 0;  // of the file's first translation
  std::string PrivateBuild, ProductName, ProductVersion, SpecialBuild, FileOS, FileType, FileSubType;
};

// Replace decisions.
enum : int {
  vrCannotCompare = 0, vrSame = 1, vrReplace = 2, vrKeep = 3, vrAsk = 4
};

class TVersionResource : public TComponent {
public:
  explicit TVersionResource(TComponent* owner);
  const char* ClassName() const override { return "TVersionResource"; }

  const TFileName& FileName() const { return fileName_; }
  void SetFileName(const TFileName& name);
  TLanguage Language() const { return language_; }
  void SetLanguage(TLanguage l);
  TCharacterSet CharacterSet() const { return characterSet_; }
  void SetCharacterSet(TCharacterSet c);
  TVersionInfo& VersionInfo() { return info_; }
  const TVersionInfo& VersionInfo() const { return info_; }
  // FileName is stored with a project only when it is not the running program.
  bool FileNameStored() const;

  // newVersion and newDate describe the new file (from an archive header);
  // target is the existing file.
  static int IsFileNewer(const std::string& newVersion, const std::string& target,
                         TOverwriteType rule, TDateTime newDate);
  static int IsFileNewerByName(const std::string& newFile, const std::string& target,
                               TOverwriteType rule);
  // What IsFileNewer answers when target is known to be missing, without
  // looking for it.
  static int IsFileNewerThanMissing(const std::string& newVersion, TOverwriteType rule);

private:
  void Read();
  TFileName fileName_;
  TLanguage language_ = lnUSEnglish;
  TCharacterSet characterSet_ = csMultilingual;
  TVersionInfo info_;
};

// The module-wide instance (created on first use).
TVersionResource* ModuleVersionResource();
// FileVersion of a file read through the module-wide instance.
std::string FileVersionOf(const std::string& fileName);
std::string RunningExecutableName();
