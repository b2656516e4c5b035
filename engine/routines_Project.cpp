#include "routines_Project.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>

#include "ClassReg.h"
#include "Controls.h"
#include "Graphics.h"
#include "cmp_TInstall.h"
#include "cmp_TInstallFile.h"
#include "format_Archive.h"
#include "routines_Strings.h"
#include "stream_WinFile.h"

namespace {

bool IsAbsolute(const std::string& p) {
  return (p.size() >= 2 && p[1] == ':') || (!p.empty() && (p[0] == '\\' || p[0] == '/'));
}

// A path of the project made absolute: relative ones are relative to the project.
std::string Resolve(const std::string& dir, const std::string& path) {
  if (path.empty()) return dir;
  return StripBackslash(FullPath(IsAbsolute(path) ? path : AddBackslash(dir) + path));
}

const TPropInfo* PropOf(const TFormObject& o, const std::string& name) {
  const TClassInfo* info = FindClassInfo(o.ClassName);
  return info ? info->FindProp(name) : nullptr;
}

bool IsClassOrDerived(std::string cls, const std::string& base) {
  for (int depth = 0; depth < 32 && !cls.empty(); ++depth) {
    if (SameText(cls, base)) return true;
    const TClassInfo* info = FindClassInfo(cls);
    if (!info) return false;
    cls = info->Parent;
  }
  return false;
}

// Picture data as a stream stores it: the graphic's class, then its bytes,
// a bitmap's and a JPEG picture's behind a 32-bit length.
std::string PictureData(const std::string& bytes) {
  const auto format = PictureFormatOf(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  const std::string cls = format == TPictureFormat::pfJpeg     ? "TJPEGImage"
                          : format == TPictureFormat::pfBitmap ? "TBitmap"
                                                               : "TPngImage";
  std::string data(1, static_cast<char>(cls.size()));
  data += cls;
  if (cls != "TPngImage") {
    const std::uint32_t n = static_cast<std::uint32_t>(bytes.size());
    for (int i = 0; i < 4; ++i) data += static_cast<char>((n >> (8 * i)) & 0xFF);
  }
  return data + bytes;
}

class TResolver {
public:
  TResolver(TProjectFile& project, const std::string& engineDir) : p_(project), engineDir_(engineDir) {}

  void Object(TFormObject& o) {
    if (!o.Name.empty()) p_.Lines.emplace(UpperCase(o.Name), o.Line);
    bool hasSourceDir = false;
    for (TFormProperty& prop : o.Properties) {
      const std::string upper = UpperCase(prop.Name);
      if (upper == "INCLUDEFROMDIR" && prop.Value.Type == TValueType::vaString) {
        hasSourceDir = true;
        prop.Value.Text = Resolve(p_.Dir, prop.Value.Text);
      } else if ((upper == "BUILDINFO.CREDENTIALSFILE" || upper == "BUILDINFO.PRIVATEKEYFILE") &&
                 prop.Value.Type == TValueType::vaString && !Trim(prop.Value.Text).empty()) {
        prop.Value.Text = Resolve(p_.Dir, Trim(prop.Value.Text));
      } else if (upper == "PRESETUPFILES.STRINGS" && prop.Value.Type == TValueType::vaList) {
        for (TFormValue& line : prop.Value.List)
          if (line.Type == TValueType::vaString && !Trim(line.Text).empty())
            line.Text = Resolve(p_.Dir, Trim(line.Text));
      } else if (upper.size() > 5 && upper.compare(upper.size() - 5, 5, ".FILE") == 0) {
        Picture(o, prop);
      }
    }
    if (!hasSourceDir && PropOf(o, "IncludeFromDir")) {
      // The uninstaller comes with the engine; other files lie beside the project.
      TFormProperty dir;
      dir.Name = "IncludeFromDir";
      dir.Line = o.Line;
      dir.Value = TFormValue::Str(IsClassOrDerived(o.ClassName, "TUninstallEXE") ? engineDir_ : p_.Dir);
      o.Properties.push_back(std::move(dir));
    }
    for (TFormObject& child : o.Children) Object(child);
  }

private:
  void Picture(const TFormObject& o, TFormProperty& prop) {
    if (prop.Value.Type != TValueType::vaString)
      throw EProject(p_.At(prop.Line, Format("%s.%s must name a picture file in quotes", {o.Name, prop.Name})));
    const std::string path = Resolve(p_.Dir, prop.Value.Text);
    std::string bytes;
    if (!twfile::FileExists(path) || !ReadFileBytes(path, bytes))
      throw EProject(p_.At(prop.Line, Format("the picture file %s of %s does not exist", {path, o.Name})));
    const std::string data = PictureData(bytes);
    try {
      TPicture check;
      check.LoadFromStreamData(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    } catch (const std::exception& e) {
      throw EProject(p_.At(prop.Line, Format("the picture file %s of %s cannot be read: %s", {path, o.Name, e.what()})));
    }
    prop.Name = prop.Name.substr(0, prop.Name.size() - 5) + ".Data";
    prop.Value = TFormValue::Binary(data);
  }

  TProjectFile& p_;
  const std::string& engineDir_;
};

bool FindObject(const TFormObject& o, const std::string& name, const TFormObject*& found) {
  if (SameText(o.Name, name)) {
    found = &o;
    return true;
  }
  for (const TFormObject& c : o.Children)
    if (FindObject(c, name, found)) return true;
  return false;
}

void CheckEvents(const TProjectFile& project, const TFormObject& o, const TForm& form) {
  for (const TFormProperty& prop : o.Properties) {
    const TPropInfo* info = prop.Name.find('.') == std::string::npos ? PropOf(o, prop.Name) : nullptr;
    if (!info || info->Kind != TPropKind::pkEvent || prop.Value.Type != TValueType::vaIdent) continue;
    const std::string& handler = prop.Value.Text;
    if (!form.MethodAddress(handler) && !form.CloseMethodAddress(handler) && !form.AllowMethodAddress(handler))
      throw EProject(project.At(prop.Line, Format("the event %s of %s names the handler %s, which this setup "
                                                  "program does not have",
                                                  {prop.Name, o.Name, handler})));
  }
  for (const TFormObject& c : o.Children) CheckEvents(project, c, form);
}

}  // namespace

std::string FullPath(const std::string& path) {
  char buffer[MAX_PATH * 4];
  const DWORD n = GetFullPathNameA(path.c_str(), sizeof(buffer), buffer, nullptr);
  return n > 0 && n < sizeof(buffer) ? std::string(buffer, n) : path;
}

int TProjectFile::LineOf(const std::string& component) const {
  auto it = Lines.find(UpperCase(component));
  return it == Lines.end() ? 0 : it->second;
}

std::string TProjectFile::At(int line, const std::string& text) const {
  const std::string name = ExtractFileName(Path);
  return line > 0 ? Format("%s, line %d: %s", {name, line, text}) : name + ": " + text;
}

std::string TProjectFile::Told(const std::string& message) const {
  static const std::string kPrefix = "Form text";
  if (message.rfind(kPrefix, 0) == 0) return ExtractFileName(Path) + message.substr(kPrefix.size());
  return ExtractFileName(Path) + ": " + message;
}

bool TProjectFile::Gives(const std::string& component, const std::string& property) const {
  const TFormObject* o = nullptr;
  if (!FindObject(Tree, component, o)) return false;
  for (const TFormProperty& p : o->Properties)
    if (SameText(p.Name, property)) return true;
  return false;
}

TProjectFile LoadProjectFile(const std::string& path, const std::string& engineDir) {
  TProjectFile p;
  p.Path = FullPath(path);
  p.Dir = StripBackslash(ExtractFileDir(p.Path));
  std::string text;
  if (!twfile::FileExists(p.Path) || !ReadFileBytes(p.Path, text))
    throw EProject(Format("The project file %s does not exist", {p.Path}));
  try {
    p.Tree = ParseFormText(text);
  } catch (const EReadError& e) {
    throw EProject(p.Told(e.Message()));
  }
  TResolver(p, engineDir).Object(p.Tree);
  try {
    p.Stream = WriteFormStream(p.Tree);
  } catch (const Exception& e) {
    throw EProject(p.Told(e.Message()));
  }
  return p;
}

void CheckProjectEvents(const TProjectFile& project, const TForm& form) { CheckEvents(project, project.Tree, form); }

void CheckProjectFiles(const TProjectFile& project, TCustomInstall&) {
  std::map<int, TCustomInstallFile*> ids;
  std::map<std::string, TCustomInstallFile*> targets;
  auto line = [&](TCustomInstallFile* f) { return project.LineOf(f->Name()); };
  for (int i = 0; i < InstallFiles().Count(); ++i) {
    TCustomInstallFile* f = InstallFiles().Items(i);
    auto id = ids.emplace(f->UniqueID(), f);
    if (!id.second)
      throw EProject(project.At(line(f), Format("the UniqueID %d of %s is used already by %s (line %d)",
                                                {f->UniqueID(), f->Name(), id.first->second->Name(),
                                                 line(id.first->second)})));
    if (!twfile::FileExists(f->SourcePath()))
      throw EProject(
          project.At(line(f), Format("the source file %s of %s does not exist", {f->SourcePath(), f->Name()})));
    std::string target;
    try {
      target = f->TargetPath();
    } catch (const std::exception&) {
      continue;  // a destination only the user's machine can tell
    }
    auto dest = targets.emplace(UpperCase(target), f);
    if (!dest.second)
      throw EProject(project.At(line(f), Format("%s is installed to %s, as %s (line %d) is",
                                                {f->Name(), target, dest.first->second->Name(),
                                                 line(dest.first->second)})));
  }
}

// ------------------------------------------------------------ starter project

namespace {

struct TFolderEntry {
  std::string Relative;  // below the folder, backslashes
  bool Directory;
};

// Everything below dir, sorted by name at every level (directories and files
// of one level together), so that the same folder gives the same project.
void ListFolder(const std::string& root, const std::string& relative, std::vector<TFolderEntry>& out, int depth) {
  if (depth > 64) throw EProject(Format("The folder %s is nested too deeply", {root}));
  std::vector<TFolderEntry> level;
  WIN32_FIND_DATAA data;
  const std::string base = relative.empty() ? root : root + "\\" + relative;
  HANDLE h = FindFirstFileA((base + "\\*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    level.push_back({relative.empty() ? name : relative + "\\" + name,
                     (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileA(h, &data));
  FindClose(h);
  std::sort(level.begin(), level.end(), [](const TFolderEntry& a, const TFolderEntry& b) {
    return UpperCase(a.Relative) < UpperCase(b.Relative);
  });
  for (const TFolderEntry& e : level) {
    out.push_back(e);
    if (e.Directory) ListFolder(root, e.Relative, out, depth + 1);
  }
}

std::string Quoted(const std::string& s) {
  std::string out;
  bool open = false;
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 32) {
      if (open) out += '\'';
      open = false;
      out += "#" + std::to_string(c);
      continue;
    }
    if (!open) out += '\'';
    open = true;
    out += ch == '\'' ? std::string("''") : std::string(1, ch);
  }
  if (open) out += '\'';
  return out.empty() ? "''" : out;
}

bool IsLicenceName(const std::string& name) {
  static const char* const kNames[] = {"LICENSE", "LICENSE.TXT", "LICENCE", "LICENCE.TXT", "LICENSE.MD",
                                       "COPYING", "COPYING.TXT", "EULA.TXT"};
  const std::string upper = UpperCase(name);
  for (const char* n : kNames)
    if (upper == n) return true;
  return false;
}

// The path from dir to path when path lies below dir, else path itself.
std::string RelativeTo(const std::string& dir, const std::string& path) {
  const std::string prefix = UpperCase(AddBackslash(dir));
  if (UpperCase(path) == UpperCase(dir)) return ".";
  if (UpperCase(path).rfind(prefix, 0) == 0) return path.substr(prefix.size());
  return path;
}

constexpr const char* kOS = "[oswin95, oswinNT, osUnidentified, oswin2K, oswin98, oswinME, oswinXP]";
constexpr const char* kTypes = "[itFull, itDefault, itCompact]";

const char* const kSpecifiers[] = {
    "psBDEDLL", "psCommonFiles", "psContainerArchiveFile", "psContainerDestDir", "psDesktopMenu",
    "psInstallSource", "psMainInstall", "psProgramFiles", "psProgramMenu", "psStartMenu", "psStartupMenu",
    "psSystem", "psMainArchiveFile", "psWindow", "psPrinters", "psRecent", "psSendTo", "psStartup",
    "psControlPanel", "psFavorites", "psBitBucket", "psCookies", "psCommonAltStartup", "psCommonStartup",
    "psCommonDesktopDirectory", "psCommonFavorites", "psCommonPrograms", "psCommonStartMenu",
    "psQuickLaunchMenu", "psOfficeUserTemplates", "psOfficeWorkgroupTemplates", "psOfficeClipartDirectory",
    "psOfficeStartupDirectory", "psOfficeToolsDirectory", "psOfficeFavoritesDirectory"};

}  // namespace

int StarterProjectCapacity() { return kUniqueIDSlots - 1; }

namespace {

std::string RtfEscaped(const std::string& text) {
  std::string out;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\\' || c == '{' || c == '}') out += std::string("\\") + ch;
    else if (c == '\t') out += "\\tab ";
    else if (c >= 0x80) out += std::string("\\'") + "0123456789abcdef"[c >> 4] + "0123456789abcdef"[c & 15];
    else if (c >= 32) out += ch;
  }
  return out;
}

// Whether a line of plain text starts a line of its own rather than going on
// with the one before: indented, or an item of a list.
bool StartsOwnLine(const std::string& line) {
  if (line.empty()) return true;
  const unsigned char c = static_cast<unsigned char>(line[0]);
  if (c == ' ' || c == '\t' || c == '-' || c == '*' || c == '+') return true;
  std::size_t i = 0;
  while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
  return i > 0 && i < line.size() && (line[i] == '.' || line[i] == ')');
}

}  // namespace

std::string PlainTextToRtf(const std::string& text) {
  // Hard-wrapped lines of a paragraph flow together, so that the page wraps
  // them at its own width; blank lines part paragraphs.
  std::vector<std::string> lines;
  std::string line;
  for (char ch : text) {
    if (ch == '\r') continue;
    if (ch == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += ch;
    }
  }
  if (!line.empty()) lines.push_back(line);
  std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs18\n";
  bool inParagraph = false;
  for (const std::string& l : lines) {
    const std::string trimmed = Trim(l);
    if (trimmed.empty()) {
      if (inParagraph) rtf += "\\par\n";
      rtf += "\\par\n";
      inParagraph = false;
      continue;
    }
    if (inParagraph) rtf += StartsOwnLine(l) ? "\\par\n" : " ";
    rtf += RtfEscaped(inParagraph && !StartsOwnLine(l) ? trimmed : l);
    inParagraph = true;
  }
  if (inParagraph) rtf += "\\par\n";
  return rtf + "}\n";
}

namespace {

// The files and folders below folder that a starter project installs, checked
// against what one project and its archive can hold.
std::vector<TFolderEntry> StarterEntries(const std::string& folder, const std::string& project) {
  const std::string projectDir = StripBackslash(ExtractFileDir(project));
  std::vector<TFolderEntry> entries;
  ListFolder(folder, "", entries, 0);
  // Nothing the generator writes itself is installed.
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [&](const TFolderEntry& e) {
                                 const std::string full = UpperCase(folder + "\\" + e.Relative);
                                 return full == UpperCase(project) ||
                                        full == UpperCase(AddBackslash(projectDir) + "License.rtf");
                               }),
                entries.end());
  const int fileCount = static_cast<int>(
      std::count_if(entries.begin(), entries.end(), [](const TFolderEntry& e) { return !e.Directory; }));
  if (fileCount > StarterProjectCapacity())
    throw EProject(Format("The folder %s holds %d files; a project holds at most %d (the identifier table has %d "
                          "slots and the uninstaller takes one)",
                          {folder, fileCount, StarterProjectCapacity(), kUniqueIDSlots}));
  // The archive keeps the first characters of each source path only.
  std::map<std::string, std::string> stored;
  for (const TFolderEntry& e : entries) {
    if (e.Directory) continue;
    const std::string full = folder + "\\" + e.Relative;
    auto it = stored.emplace(UpperCase(full.substr(0, MaxStoredName)), e.Relative);
    if (!it.second)
      throw EProject(Format("%s and %s would be stored under the same name, the first %d characters of their "
                            "paths: %s; move the folder to a shorter path or rename one of them",
                            {it.first->second, e.Relative, MaxStoredName, full.substr(0, MaxStoredName)}));
  }
  return entries;
}

// The licence page reads License.rtf: the folder's own, or one made beside
// the project from a plain-text licence. The path as the project names it;
// empty without a licence.
std::string StarterLicence(const std::vector<TFolderEntry>& entries, const std::string& folder,
                           const std::string& projectDir) {
  std::string licence;
  for (const TFolderEntry& e : entries) {
    if (e.Directory || e.Relative.find('\\') != std::string::npos) continue;
    if (SameText(e.Relative, "License.rtf")) return RelativeTo(projectDir, folder + "\\" + e.Relative);
    if (licence.empty() && IsLicenceName(e.Relative)) {
      std::string text;
      if (!ReadFileBytes(folder + "\\" + e.Relative, text))
        throw EProject(Format("Cannot read the licence %s", {folder + "\\" + e.Relative}));
      const std::string rtfPath = AddBackslash(projectDir) + "License.rtf";
      std::ofstream out(rtfPath, std::ios::binary | std::ios::trunc);
      out << PlainTextToRtf(text);
      if (!out) throw EProject(Format("Cannot write %s", {rtfPath}));
      licence = "License.rtf";
    }
  }
  return licence;
}

// The main form's own properties, its two backdrops and the path specifiers.
void WriteStarterFace(std::string& t, const std::string& name, const std::string& logo) {
  t += "object mainForm: TmainForm\n";
  t += "  Caption = " + Quoted(name) + "\n";
  t += "  BorderStyle = bsNone\n  ClientHeight = 515\n  ClientWidth = 691\n  Color = clBtnFace\n";
  t += "  Font.Charset = DEFAULT_CHARSET\n  Font.Color = clWindowText\n  Font.Height = -11\n";
  t += "  Font.Name = 'MS Sans Serif'\n  Font.Style = []\n  Position = poScreenCenter\n";
  t += "  object Backdrop1: TBackdrop\n    Tag = -1\n    Left = 0\n    Top = 0\n    Width = 691\n    Height = 98\n"
       "    Align = alTop\n    BevelOuter = bvNone\n    Direction = bdDown\n    StartColor = 13816530\n"
       "    EndColor = 14540253\n";
  t += "    object Label1: TLabel\n      Left = 88\n      Top = 30\n      Width = 590\n      Height = 35\n";
  t += "      Caption = " + Quoted(name) + "\n";
  t += "      Font.Charset = DEFAULT_CHARSET\n      Font.Color = 6697779\n      Font.Height = -27\n"
       "      Font.Name = 'Trebuchet MS'\n      Font.Style = [fsBold]\n      ParentFont = False\n"
       "      Transparent = True\n    end\n";
  t += "    object LogoImage: TImage\n      Left = 14\n      Top = 17\n      Width = 64\n      Height = 64\n"
       "      Transparent = True\n";
  if (!logo.empty()) t += "      Picture.File = " + Quoted(logo) + "\n";
  t += "    end\n  end\n";
  t += "  object Backdrop2: TBackdrop\n    Left = 0\n    Top = 98\n    Width = 691\n    Height = 417\n"
       "    Align = alClient\n    BevelOuter = bvNone\n    Direction = bdDown\n    StartColor = 13882323\n"
       "    EndColor = 10724259\n  end\n";
  for (const char* s : kSpecifiers) t += std::string("  object ") + s + ": T" + s + "\n  end\n";
}

void WriteStarterDirectory(std::string& t, const std::string& component, const std::string& parent,
                           const std::string& description, const std::string& destDir) {
  t += "  object " + component + ": TInstallDirectory\n    Container = " + parent + "\n";
  t += "    Description = " + Quoted(description) + "\n";
  if (!destDir.empty()) t += "    DestDir = " + Quoted(destDir) + "\n";
  t += "    DestDirType = psContainerDestDir\n    ArchiveFileType = psContainerArchiveFile\n";
  t += "    InstallTypes = " + std::string(kTypes) + "\n    OS = " + kOS + "\n  end\n";
}

// One directory component per folder and one install file per file, the
// files numbered from 1 in the order of entries; returns the folders' count.
int WriteStarterFiles(std::string& t, const std::vector<TFolderEntry>& entries, const std::string& folderInProject) {
  auto sourceDir = [&](const std::string& relativeDir) {
    if (relativeDir.empty()) return folderInProject;
    return folderInProject == "." ? relativeDir : folderInProject + "\\" + relativeDir;
  };
  WriteStarterDirectory(t, "Files", "Install1", "Program files", "");
  std::map<std::string, std::string> dirComponent{{"", "Files"}};
  int dirNo = 0, fileNo = 0;
  for (const TFolderEntry& e : entries) {
    const std::size_t cut = e.Relative.rfind('\\');
    const std::string parentDir = cut == std::string::npos ? "" : e.Relative.substr(0, cut);
    const std::string parent = dirComponent[UpperCase(parentDir)];
    const std::string leaf = e.Relative.substr(cut == std::string::npos ? 0 : cut + 1);
    if (e.Directory) {
      const std::string component = "Dir" + std::to_string(++dirNo);
      dirComponent[UpperCase(e.Relative)] = component;
      WriteStarterDirectory(t, component, parent, e.Relative, "\\" + leaf);
      continue;
    }
    ++fileNo;
    t += "  object File" + std::to_string(fileNo) + ": TInstallFile\n    Container = " + parent + "\n";
    t += "    ArchiveFileType = psContainerArchiveFile\n    DestDirType = psContainerDestDir\n";
    t += "    InstallTypes = " + std::string(kTypes) + "\n    OS = " + kOS + "\n";
    t += "    FileName = " + Quoted(leaf) + "\n    DestName = " + Quoted(leaf) + "\n";
    t += "    IncludeFromDir = " + Quoted(sourceDir(parentDir)) + "\n";
    t += "    UniqueID = " + std::to_string(fileNo) + "\n  end\n";
  }
  return dirNo;
}

// The Start-menu folder with a shortcut to each program and one to the
// uninstaller, and the dialog managers of every stage.
void WriteStarterLinksAndManagers(std::string& t, const std::string& name,
                                  const std::vector<std::pair<std::string, std::string>>& programs) {
  t += "  object MainFolder: TMainLinkGroup\n    Container = Install1\n    DestDir = " + Quoted("\\" + name) +
       "\n    OS = " + kOS + "\n  end\n";
  t += "  object psObjectLink: TpsObjectLink\n  end\n";
  int linkNo = 0;
  for (const auto& program : programs)
    t += "  object Link" + std::to_string(++linkNo) + ": TInstallMainLink\n    Container = MainFolder\n" +
         "    LinkName = " + Quoted(ChangeFileExt(program.second, "") + ".lnk") + "\n    ObjectLink = " +
         program.first + "\n    OS = " + kOS + "\n  end\n";
  t += "  object UninstallLink: TInstallMainLink\n    Container = MainFolder\n";
  t += "    LinkName = " + Quoted("Uninstall " + name + ".lnk") + "\n";
  t += "    ObjectLink = ifUninstallEXE\n    ObjectLocationType = psObjectLink\n    OS = " + std::string(kOS) +
       "\n  end\n";
  const char* const kManagers[] = {"", "dmAfterGoodInstall", "dmAfterBadInstall", "dmDuringCopyFiles",
                                   "dmChangeDisk", "dmReboot"};
  int managerNo = 0;
  for (const char* m : kManagers) {
    t += "  object DialogManager" + (managerNo ? std::to_string(managerNo) : std::string()) +
         ": TDialogManager\n    Container = Install1\n";
    if (*m) t += std::string("    ManagerType = ") + m + "\n";
    t += "  end\n";
    ++managerNo;
  }
}

}  // namespace

std::string WriteStarterProject(const TStarterProject& options) {
  const std::string folder = StripBackslash(FullPath(options.Folder));
  const std::string project = FullPath(options.Project);
  const std::string projectDir = StripBackslash(ExtractFileDir(project));
  if (!twfile::DirectoryExists(folder)) throw EProject(Format("The folder %s does not exist", {folder}));
  const std::string name = Trim(options.Name).empty() ? ExtractFileName(folder) : Trim(options.Name);
  const std::vector<TFolderEntry> entries = StarterEntries(folder, project);
  const std::string licence = StarterLicence(entries, folder, projectDir);
  auto picture = [&](const std::string& file) { return RelativeTo(projectDir, FullPath(file)); };

  // The programs at the top level get shortcuts; the first is the product's icon.
  std::vector<std::pair<std::string, std::string>> programs;  // component, file name
  int fileCount = 0;
  for (const TFolderEntry& e : entries)
    if (!e.Directory) {
      ++fileCount;
      if (e.Relative.find('\\') == std::string::npos && SameText(ExtractFileExt(e.Relative), ".exe") &&
          !SameText(e.Relative, "uninstall.exe"))
        programs.emplace_back("File" + std::to_string(fileCount), e.Relative);
    }

  std::string t;
  WriteStarterFace(t, name, options.Logo.empty() ? "" : picture(options.Logo));
  t += "  object Install1: TInstall\n";
  t += "    DestDir = " + Quoted("\\" + name) + "\n    DestDirType = psProgramFiles\n";
  if (!options.Side.empty()) t += "    DialogThemeBitmap.File = " + Quoted(picture(options.Side)) + "\n";
  t += "    Information.CompanyName = " + Quoted(name) + "\n";
  t += "    Information.ProductName = " + Quoted(name) + "\n    Information.Version = '1.0'\n";
  t += "    InstallTypes = " + std::string(kTypes) + "\n    OS = " + kOS + "\n";
  if (!programs.empty()) t += "    win2KExtendedInformation.DisplayIcon = " + programs.front().first + "\n";
  t += "    win2KExtendedInformation.ProductID = " + Quoted(name) + "\n";
  if (!licence.empty()) t += "    PresetupFiles.Strings = (\n      " + Quoted(licence) + ")\n";
  t += "    Reboot = False\n    UseLoadingProgram = True\n  end\n";
  t += "  object MainTranslator: TTranslator\n  end\n";

  WriteStarterDirectory(t, "idUninstall", "Install1", "Uninstall", "\\Uninstall");
  t += "  object ifUninstallEXE: TUninstallEXE\n    Container = idUninstall\n"
       "    ArchiveFileType = psContainerArchiveFile\n    DestDirType = psContainerDestDir\n";
  t += "    InstallTypes = " + std::string(kTypes) + "\n    OS = " + kOS + "\n";
  t += "    FileName = 'uninstall.exe'\n    DestName = 'uninstall.exe'\n    Order = -1\n    Net = False\n"
       "    UniqueID = 0\n  end\n";
  const int dirCount = WriteStarterFiles(t, entries, RelativeTo(projectDir, folder));
  WriteStarterLinksAndManagers(t, name, programs);
  t += "end\n";

  std::ofstream out(project, std::ios::binary | std::ios::trunc);
  out << t;
  out.close();
  if (!out) throw EProject(Format("Cannot write the project file %s", {project}));
  return Format("%s: %d files in %d folders, %d shortcuts%s", {project, fileCount, dirCount,
                                                              static_cast<int>(programs.size()) + 1,
                                                              licence.empty() ? "" : ", the licence page"});
}
