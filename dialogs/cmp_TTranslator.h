// The translator: per language a table of numbered texts and multi-line
// texts and the language's font settings; translates texts by number or by
// wording (through the English table) and engine messages as they are
// raised. The first translator created serves the whole process.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "Controls.h"
#include "Graphics.h"

class TTranslator;
class TLanguage;

enum TTrnwLanguage : unsigned char {
  tlChineseSimplified, tlChineseTraditional, tlCzech, tlDanish, tlDutch, tlEnglish, tlFrench,
  tlGerman, tlGreek, tlHebrew, tlItalian, tlJapanese, tlKorean, tlNorwegianBokmal,
  tlNorwegianNynorsk, tlPolish, tlPortugese, tlRussian, tlSpanish, tlSwedish,
  tlUser,  // the user's Windows language, not a language of its own
  tlVietnamese
};
constexpr int kTrnwLanguageCount = 22;  // identifiers, tlUser included

// The identifier's stream name ("tlGerman"); empty outside the enumeration.
const char* TrnwLanguageIdent(TTrnwLanguage language);
// The language of a Windows language identifier (primary and sublanguage).
TTrnwLanguage TrnwLanguageOfLangId(unsigned short langId);

class TLanguageElement {
public:
  virtual ~TLanguageElement() = default;
  int Number = 0;
  TLanguage* Language = nullptr;
  int Line = 0;  // zero-based line of Strings it came from
};

class TLanguageString : public TLanguageElement {
public:
  std::string Text;  // at most 255 characters
};

class TLanguageMemo : public TLanguageElement {
public:
  std::vector<std::string> Lines;
};

// A language's text source: the lines of its table. Changes re-parse the
// language while its parse switch is on.
class TLangFormatStrings : public TPersistent {
public:
  explicit TLangFormatStrings(TLanguage* language) : language_(language) {}
  const char* ClassName() const override { return "TLangFormatStrings"; }

  int Count() const { return static_cast<int>(lines_.size()); }
  const std::string& Strings(int index) const { return lines_.at(static_cast<std::size_t>(index)); }
  const std::vector<std::string>& Lines() const { return lines_; }
  TLanguage* Language() const { return language_; }

  int Add(const std::string& s);
  void AddStrings(const std::vector<std::string>& lines);
  void Clear();
  void Insert(int index, const std::string& s);
  // Does not re-parse: text elements below the line move up by one.
  void Delete(int index);
  void Move(int from, int to);
  // Replaces the text with a file's bytes (lines at CR LF, LF or CR).
  void LoadFromStream(const std::string& bytes);
  // Copies the lines; parsing waits until they are all in.
  void Assign(const TPersistent& source) override;
  void Assign(const std::vector<std::string>& lines);
  // Reads a language file. A file that cannot be read raises Exception and
  // leaves the lines as they were.
  void LoadFromFile(const std::string& fileName);

private:
  void Changed();
  TLanguage* language_;
  std::vector<std::string> lines_;
};

class TLanguage : public TPersistent {
public:
  TLanguage(TTranslator* translator, TTrnwLanguage ident);
  ~TLanguage() override;
  const char* ClassName() const override { return "TLanguage"; }
  void Assign(const TPersistent& source) override;

  TTranslator* Translator() const { return translator_; }
  const std::string& BitmapName() const { return bitmapName_; }
  const std::string& FileName() const { return fileName_; }
  TFont& Font() { return font_; }
  void SetFont(const TFont& value) { font_.Assign(value); }
  bool FontOverride = false;
  TTrnwLanguage LanguageIdent() const { return ident_; }
  TLangFormatStrings& Strings() { return strings_; }
  const TLangFormatStrings& Strings() const { return strings_; }
  void SetStrings(const TLangFormatStrings& value) { strings_.Assign(value); }

  // Builds the elements from Strings, replacing all. A format error
  // discards every element and raises Exception; the lines stay.
  void Parse();
  bool ParseEnabled() const { return parse_; }
  void SetParseEnabled(bool on) { parse_ = on; }

  bool HasTexts() const { return !texts_.empty() || !memos_.empty(); }
  const std::vector<std::unique_ptr<TLanguageString>>& Texts() const { return texts_; }
  const std::vector<std::unique_ptr<TLanguageMemo>>& Memos() const { return memos_; }
  // By wording, without regard to case; none when absent.
  const TLanguageString* FindText(const std::string& wording) const;
  const TLanguageString* TextById(int number) const;
  // The multi-line text whose lines equal these exactly.
  const TLanguageMemo* FindMemo(const std::vector<std::string>& lines) const;
  const TLanguageMemo* MemoById(int number) const;

private:
  friend class TLangFormatStrings;
  TTranslator* translator_;
  std::string bitmapName_;
  std::string fileName_;
  TFont font_;
  std::vector<std::unique_ptr<TLanguageMemo>> memos_;
  std::vector<std::unique_ptr<TLanguageString>> texts_;
  TTrnwLanguage ident_;
  TLangFormatStrings strings_;
  bool parse_ = true;
};

class TTranslator : public TComponent {
public:
  explicit TTranslator(TComponent* owner);
  ~TTranslator() override;
  const char* ClassName() const override { return "TTranslator"; }

  // The languages in table order (tlUser has none).
  int LanguageCount() const { return static_cast<int>(languages_.size()); }
  TLanguage* Languages(int index) const { return languages_.at(static_cast<std::size_t>(index)).get(); }

  TTrnwLanguage TranslateIntoLanguage() const { return into_; }
  void SetTranslateIntoLanguage(TTrnwLanguage value);
  // Fired when TranslateIntoLanguage is set.
  std::function<void(TTranslator* sender)> OnLanguageChange;

  // The language the user's default Windows language maps to.
  TLanguage* UserLanguage() const;
  TLanguage* LanguageByIdent(TTrnwLanguage ident) const;
  TLanguage* TargetLanguage() const;

  std::string TranslateText(TTrnwLanguage source, const std::string& text) const;
  std::string TranslateById(int number, const std::string& text) const;
  std::vector<std::string> TranslateLines(TTrnwLanguage source, const std::vector<std::string>& lines) const;
  std::string TranslateMessage(const std::string& text) const { return TranslateText(tlEnglish, text); }

  // Translates a component's texts and those of the components it owns
  // (forms excepted) into the target; answers the language they are in
  // afterwards. The variant with a target replaces TranslateIntoLanguage
  // for the call only.
  TTrnwLanguage TranslateComponent(TTrnwLanguage source, TComponent* component);
  TTrnwLanguage TranslateComponent(TTrnwLanguage source, TComponent* component, TTrnwLanguage target);
  // Gives a control and its children the target language's fonts.
  void ApplyFonts(TControl* control, bool keepTarget);
  void ApplyFonts(TControl* control, bool keepTarget, TTrnwLanguage target);

private:
  void TranslateTree(TTrnwLanguage source, TComponent* component);
  std::vector<std::unique_ptr<TLanguage>> languages_;
  TTrnwLanguage into_ = tlUser;
};

// The process-wide translator, or none.
TTranslator* Translator();
// The user's Windows language identifier; replaceable for tests.
extern unsigned short (*UserLangIdHook)();

// The translatable controls: GLID > 0 translates by number, 0 by wording,
// < 0 not at all.
class TTranslateLabel : public TLabel {
public:
  using TLabel::TLabel;
  const char* ClassName() const override { return "TTranslateLabel"; }
  int GLID = 0;
};
class TTranslateBitBtn : public TBitBtn {
public:
  using TBitBtn::TBitBtn;
  const char* ClassName() const override { return "TTranslateBitBtn"; }
  int GLID = 0;
};

// Registers the translator's classes for streaming; the program calls it
// at start.
void RegisterTranslatorClasses();
