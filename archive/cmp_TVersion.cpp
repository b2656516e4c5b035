#include "cmp_TVersion.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "routines_Strings.h"
#include "stream_WinFile.h"

namespace {
const std::uint16_t kLanguageIds[] = {
    0x0401, 0x0402, 0x0403, 0x0404, 0x0405, 0x0406, 0x0407, 0x0408, 0x0409, 0x040A, 0x040B, 0x040C,
    0x040D, 0x040E, 0x040F, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418,
    0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0804, 0x0807, 0x0809,
    0x080A, 0x080C, 0x0810, 0x0813, 0x0814, 0x0816, 0x081A, 0x0C0C, 0x100C};
const std::uint16_t kCodePages[] = {0, 932, 949, 950, 1200, 1250, 1251, 1252, 1253, 1254, 1255, 1256};

std::string Hex4(unsigned v) {
  static const char hex[] = "0123456789ABCDEF";
  std::string s(4, '0');
  for (int i = 3; i >= 0; --i, v >>= 4) s[static_cast<size_t>(i)] = hex[v & 15];
  return s;
}

std::string FileOSText(DWORD os) {
  switch (os) {
    case 1: return "Windows 3.0 or later";
    case 2: return "16 bit OS/2 Presentation Manager";
    case 3: return "32 bit OS/2 Presentation Manager";
    case 4: return "32 bit Windows";
    case 0x10000: return "MS-Dos";
    case 0x10001: return "Windows 3.0 or later with MS-Dos";
    case 0x10004: return "32 bit Windows with MS-Dos";
    case 0x20000: return "16 bit OS/2";
    case 0x20002: return "16 bit OS/2 with Presentation Manager";
    case 0x30000: return "32 bit OS/2";
    case 0x30003: return "32 bit OS/2 with Presentation Manager";
    case 0x40000: return "Windows NT";
    case 0x40004: return "Windows NT with 32 bit Windows";
  }
  return "Unknown";
}

std::string FileTypeText(DWORD t) {
  switch (t) {
    case 1: return "Application";
    case 2: return "Dynamic-Link Library";
    case 3: return "Device Driver";
    case 4: return "Font";
    case 5: return "Virtual Device Driver";
    case 7: return "Static-Link Library";
  }
  return "Unknown";
}

std::string FileSubTypeText(DWORD type, DWORD sub) {
  static const char* const drv[] = {"Printer", "Keyboard", "Language", "Display", "Mouse",
                                    "Network", "System", "Installable", "Sound", "Communications"};
  static const char* const font[] = {"Raster", "Vector", "TrueType"};
  if (type == 3) return sub >= 1 && sub <= 10 ? drv[sub - 1] : "Unknown";
  if (type == 4) return sub >= 1 && sub <= 3 ? font[sub - 1] : "Unknown";
  return std::string();
}

std::string Quad(DWORD ms, DWORD ls) {
  return std::to_string(HIWORD(ms)) + "." + std::to_string(LOWORD(ms)) + "." +
         std::to_string(HIWORD(ls)) + "." + std::to_string(LOWORD(ls));
}

std::unique_ptr<TVersionResource>& ModuleInstance() {
  static std::unique_ptr<TVersionResource> instance;
  return instance;
}

// Creates the module-wide instance when the program starts.
struct TModuleInit {
  TModuleInit() { ModuleVersionResource(); }
} moduleInit;

// Opens a file for reading and takes its date; false when it cannot be opened.
bool DateOf(const std::string& name, TDateTime& date) {
  auto f = TWinFileStream::Open(name, TWinFileStream::fmOpenRead);
  return f && twfile::GetFileDate(f->Handle(), date);
}

int CompareDates(TDateTime newDate, TDateTime existing) {
  long long a = twfile::DosTicks(newDate), b = twfile::DosTicks(existing);
  return a > b ? vrReplace : a == b ? vrSame : vrKeep;
}

int VersionDecision(const std::string& newVersion, const std::string& existing) {
  int c = CompareVersionStrings(newVersion, existing);
  return c == 0 ? vrSame : c > 0 ? vrReplace : vrKeep;
}
}  // namespace

std::uint16_t LanguageId(TLanguage l) {
  if (l >= sizeof kLanguageIds / sizeof kLanguageIds[0]) throw Exception(std::string());
  return kLanguageIds[l];
}

std::uint16_t CodePage(TCharacterSet c) {
  if (c >= sizeof kCodePages / sizeof kCodePages[0]) throw Exception(std::string());
  return kCodePages[c];
}

void TVersionInfo::Assign(const TPersistent& source) {
  if (auto* v = dynamic_cast<const TVersionInfo*>(&source)) {
    *this = *v;
    return;
  }
  TPersistent::Assign(source);
}

void TVersionInfo::Clear() { *this = TVersionInfo(); }

std::string RunningExecutableName() {
  char buf[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  return std::string(buf, n);
}

TVersionResource::TVersionResource(TComponent* owner)
    : TComponent(owner), fileName_(RunningExecutableName()) {
  Read();
}

void TVersionResource::SetFileName(const TFileName& name) {
  fileName_ = name;
  Read();
}

void TVersionResource::SetLanguage(TLanguage l) {
  LanguageId(l);
  language_ = l;
  Read();
}

void TVersionResource::SetCharacterSet(TCharacterSet c) {
  CodePage(c);
  characterSet_ = c;
  Read();
}

bool TVersionResource::FileNameStored() const { return !SameText(fileName_, RunningExecutableName()); }

void TVersionResource::Read() {
  info_.Clear();
  DWORD dummy = 0;
  DWORD size = GetFileVersionInfoSizeA(fileName_.c_str(), &dummy);
  if (size == 0) return;
  std::vector<char> buf(size);
  if (!GetFileVersionInfoA(fileName_.c_str(), 0, size, buf.data())) return;
  void* p = nullptr;
  UINT len = 0;
  if (VerQueryValueA(buf.data(), "\\", &p, &len) && len >= sizeof(VS_FIXEDFILEINFO)) {
    auto* fi = static_cast<VS_FIXEDFILEINFO*>(p);
    info_.FileVersion = Quad(fi->dwFileVersionMS, fi->dwFileVersionLS);
    info_.ProductVersion = Quad(fi->dwProductVersionMS, fi->dwProductVersionLS);
    info_.FileOS = FileOSText(fi->dwFileOS);
    info_.FileType = FileTypeText(fi->dwFileType);
    info_.FileSubType = FileSubTypeText(fi->dwFileType, fi->dwFileSubtype);
  }
  if (VerQueryValueA(buf.data(), "\\VarFileInfo\\Translation", &p, &len) && len == 4)
    info_.PrimaryLanguage = static_cast<std::uint16_t>(*static_cast<WORD*>(p) & 0x3FF);
  const std::string block =
      "\\StringFileInfo\\" + Hex4(LanguageId(language_)) + Hex4(CodePage(characterSet_)) + "\\";
  struct { const char* key; std::string TVersionInfo::*field; } keys[] = {
      {"Comment", &TVersionInfo::Comment},
      {"CompanyName", &TVersionInfo::CompanyName},
      {"FileDescription", &TVersionInfo::FileDescription},
      {"InternalName", &TVersionInfo::InternalName},
      {"LegalCopyright", &TVersionInfo::LegalCopyright},
      {"LegalTradeMarks", &TVersionInfo::LegalTradeMarks},
      {"OriginalFileName", &TVersionInfo::OriginalFileName},
      {"PrivateBuild", &TVersionInfo::PrivateBuild},
      {"ProductName", &TVersionInfo::ProductName},
      {"ProductVersion", &TVersionInfo::ProductVersion},
      {"SpecialBuild", &TVersionInfo::SpecialBuild},
  };
  for (auto& k : keys) {
    std::string path = block + k.key;
    if (VerQueryValueA(buf.data(), path.c_str(), &p, &len) && p && len > 0) {
      const char* s = static_cast<const char*>(p);
      size_t n = 0;
      while (n < len && s[n]) ++n;
      info_.*k.field = std::string(s, n);
    }
  }
}

TVersionResource* ModuleVersionResource() {
  auto& i = ModuleInstance();
  if (!i) i.reset(new TVersionResource(nullptr));
  return i.get();
}

std::string FileVersionOf(const std::string& fileName) {
  TVersionResource* v = ModuleVersionResource();
  v->SetFileName(fileName);
  return v->VersionInfo().FileVersion;
}

int TVersionResource::IsFileNewer(const std::string& newVersion, const std::string& target,
                                  TOverwriteType rule, TDateTime newDate) {
  switch (rule) {
    case owAlways: return vrReplace;
    case owNever: return !Trim(target).empty() && twfile::FileExists(target) ? vrKeep : vrReplace;
    case owVersion: return VersionDecision(newVersion, FileVersionOf(target));
    case owDate: {
      TDateTime existing;
      if (!DateOf(target, existing)) return vrCannotCompare;
      return CompareDates(newDate, existing);
    }
    case owVersionDate: {
      int v = VersionDecision(newVersion, FileVersionOf(target));
      return v != vrSame ? v : IsFileNewer(newVersion, target, owDate, newDate);
    }
    case owAsk: return vrAsk;
  }
  return vrCannotCompare;
}

int TVersionResource::IsFileNewerThanMissing(const std::string& newVersion, TOverwriteType rule) {
  switch (rule) {
    case owAlways:
    case owNever: return vrReplace;
    case owVersion: return VersionDecision(newVersion, std::string());
    case owDate: return vrCannotCompare;
    case owVersionDate: {
      const int v = VersionDecision(newVersion, std::string());
      return v != vrSame ? v : vrCannotCompare;
    }
    case owAsk: return vrAsk;
  }
  return vrCannotCompare;
}

int TVersionResource::IsFileNewerByName(const std::string& newFile, const std::string& target,
                                        TOverwriteType rule) {
  switch (rule) {
    case owAlways:
    case owNever:
    case owAsk: return IsFileNewer(std::string(), target, rule, 0.0);
    case owVersion: return VersionDecision(FileVersionOf(newFile), FileVersionOf(target));
    case owDate:
    case owVersionDate: {
      TDateTime newDate, existing;
      if (!DateOf(newFile, newDate) || !DateOf(target, existing)) return vrCannotCompare;
      if (rule == owVersionDate) {
        int v = VersionDecision(FileVersionOf(newFile), FileVersionOf(target));
        if (v != vrSame) return v;
      }
      return CompareDates(newDate, existing);
    }
  }
  return vrCannotCompare;
}
