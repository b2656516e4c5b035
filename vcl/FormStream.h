// The binary form stream ("TPF0") and its text form, as plain data.
//
// ParseFormStream reads a binary stream into a tree of TFormObject records;
// WriteFormStream writes one back (integers in their smallest width).
// FormToText / ParseFormText convert to and from the text form:
//
//   object Install1: TInstall
//     DestDir = '\Kelvo'#13#10
//     Tag = -1
//     Include = True
//     DestDirType = psProgramFiles
//     InstallTypes = [itFull, itDefault]
//     PresetupFiles.Strings = (
//       'LICENSE.rtf'
//       12)
//     Data = {0A0B0C}
//     object Child: TInstallGroup
//     end
//   end
//
// Every failure (bad signature, early end, malformed value, input nested too
// deeply) raises EReadError with a message saying what and where. The
// parser checks every length against the bytes left before it allocates.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "SysUtils.h"

enum class TValueType : std::uint8_t {
  vaNull = 0, vaList = 1, vaInt8 = 2, vaInt16 = 3, vaInt32 = 4,
  vaString = 6, vaIdent = 7, vaFalse = 8, vaTrue = 9, vaBinary = 10, vaSet = 11
};

struct TFormValue {
  TValueType Type = TValueType::vaNull;
  std::int32_t Integer = 0;            // vaInt8/16/32
  std::string Text;                    // vaString, vaIdent, vaBinary (raw bytes)
  std::vector<std::string> Set;        // vaSet
  std::vector<TFormValue> List;        // vaList

  static TFormValue Int(std::int32_t v);
  static TFormValue Str(std::string s);
  static TFormValue Ident(std::string s);
  static TFormValue Bool(bool b);
  static TFormValue Binary(std::string bytes);
  bool IsInteger() const {
    return Type == TValueType::vaInt8 || Type == TValueType::vaInt16 || Type == TValueType::vaInt32;
  }
  bool operator==(const TFormValue& o) const;
  bool operator!=(const TFormValue& o) const { return !(*this == o); }
};

struct TFormProperty {
  std::string Name;  // may be dotted: Information.CompanyName
  TFormValue Value;
  int Line = 0;  // where the text form gave it (0: from a binary stream); not compared
  bool operator==(const TFormProperty& o) const { return Name == o.Name && Value == o.Value; }
};

struct TFormObject {
  std::string ClassName;
  std::string Name;
  std::vector<TFormProperty> Properties;
  std::vector<TFormObject> Children;
  int Line = 0;  // the line of its 'object' in the text form (0: from a binary stream); not compared
  bool operator==(const TFormObject& o) const {
    return ClassName == o.ClassName && Name == o.Name && Properties == o.Properties &&
           Children == o.Children;
  }
};

// Deepest nesting of component records and of lists that a stream may use.
constexpr int kFormMaxDepth = 64;

TFormObject ParseFormStream(const void* data, std::size_t size);
std::string WriteFormStream(const TFormObject& root);

std::string FormToText(const TFormObject& root);
TFormObject ParseFormText(const std::string& text);
