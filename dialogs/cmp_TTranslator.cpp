#include "cmp_TTranslator.h"

#include "ControlReg.h"

#include <windows.h>

#include <cstdio>
#include <iterator>

#include "ClassReg.h"
#include "ComCtrls.h"
#include "Controls.h"
#include "ScopeExit.h"
#include "exceptions_Tarnwick.h"
#include "routines_LanguageFile.h"

namespace {

struct TLanguageRow {
  const char* Ident;
  const char* Property;
  const char* Bitmap;
  const char* File;
};

// Indexed by TTrnwLanguage.
const TLanguageRow kLanguages[kTrnwLanguageCount] = {
    {"tlChineseSimplified", "lgChineseSimplified", "BM_LANG_SIMPCHINESE", "tnwiChineseSimplified.txt"},
    {"tlChineseTraditional", "lgChineseTraditional", "BM_LANG_CHINESE_TRADITIONAL", "tnwiChineseTraditional.txt"},
    {"tlCzech", "lgCzech", "BM_LANG_CZECH", "tnwiCzech.txt"},
    {"tlDanish", "lgDanish", "BM_LANG_DANISH", "tnwiDanish.txt"},
    {"tlDutch", "lgDutch", "BM_LANG_DUTCH", "tnwiDutch.txt"},
    {"tlEnglish", "lgEnglish", "BM_LANG_ENGLISH", "tnwiEnglish.txt"},
    {"tlFrench", "lgFrench", "BM_LANG_FRENCH", "tnwiFrench.txt"},
    {"tlGerman", "lgGerman", "BM_LANG_GERMAN", "tnwiGerman.txt"},
    {"tlGreek", "lgGreek", "BM_LANG_GREEK", "tnwiGreek.txt"},
    {"tlHebrew", "lgHebrew", "BM_LANG_HEBREW", "tnwiHebrew.txt"},
    {"tlItalian", "lgItalian", "BM_LANG_ITALIAN", "tnwiItalian.txt"},
    {"tlJapanese", "lgJapanese", "BM_LANG_JAPANESE", "tnwiJapanese.txt"},
    {"tlKorean", "lgKorean", "BM_LANG_KOREAN", "tnwiKorean.txt"},
    {"tlNorwegianBokmal", "lgNorwegianBokmal", "BM_LANG_NORWEGIAN_BOKMAL", "tnwiNorwegianBokmal.txt"},
    {"tlNorwegianNynorsk", "lgNorwegianNynorsk", "BM_LANG_NORWEGIAN_NYNORSK", "tnwiNorwegianNynorsk.txt"},
    {"tlPolish", "lgPolish", "BM_LANG_POLISH", "tnwiPolish.txt"},
    {"tlPortugese", "lgPortugese", "BM_LANG_PORTUGESE", "tnwiPortugese.txt"},
    {"tlRussian", "lgRussian", "BM_LANG_RUSSIAN", "tnwiRussian.txt"},
    {"tlSpanish", "lgSpanish", "BM_LANG_SPANISH", "tnwiSpanish.txt"},
    {"tlSwedish", "lgSwedish", "BM_LANG_SWEDISH", "tnwiSwedish.txt"},
    {"tlUser", nullptr, nullptr, nullptr},
    {"tlVietnamese", "lgVietnamese", "BM_LANG_VIETNAMESE", "tnwiVietnamese.txt"},
};

TTranslator* g_translator = nullptr;

unsigned short SystemUserLangId() { return GetUserDefaultLangID(); }

bool SameTextAnsi(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

bool IsBlank(const std::string& s) { return TrimLanguageLine(s).empty(); }

}  // namespace

unsigned short (*UserLangIdHook)() = &SystemUserLangId;

TTranslator* Translator() { return g_translator; }

const char* TrnwLanguageIdent(TTrnwLanguage language) {
  return static_cast<int>(language) < kTrnwLanguageCount ? kLanguages[language].Ident : "";
}

TTrnwLanguage TrnwLanguageOfLangId(unsigned short langId) {
  const unsigned primary = langId & 0x3FF, sub = langId >> 10;
  switch (primary) {
    case 4: return sub == 1 ? tlChineseTraditional : tlChineseSimplified;
    case 5: return tlCzech;
    case 6: return tlDanish;
    case 7: return tlGerman;
    case 8: return tlGreek;
    case 10: return tlSpanish;
    case 12: return tlFrench;
    case 13: return tlHebrew;
    case 16: return tlItalian;
    case 17: return tlJapanese;
    case 18: return tlKorean;
    case 19: return tlDutch;
    // Norwegian without a written standard of its own reads Bokmal.
    case 20: return sub == 2 ? tlNorwegianNynorsk : tlNorwegianBokmal;
    case 21: return tlPolish;
    case 22: return tlPortugese;
    case 25: return tlRussian;
    case 29: return tlSwedish;
    case 42: return tlVietnamese;
    default: return tlEnglish;
  }
}

// ------------------------------------------------------------ TLangFormatStrings

void TLangFormatStrings::Changed() {
  if (language_ && language_->parse_) language_->Parse();
}

int TLangFormatStrings::Add(const std::string& s) {
  lines_.push_back(s);
  Changed();
  return Count() - 1;
}

void TLangFormatStrings::AddStrings(const std::vector<std::string>& lines) {
  lines_.insert(lines_.end(), lines.begin(), lines.end());
  Changed();
}

void TLangFormatStrings::Clear() {
  lines_.clear();
  Changed();
}

void TLangFormatStrings::Insert(int index, const std::string& s) {
  if (index < 0 || index > Count()) throw Exception("List index out of bounds (%d)", {index});
  lines_.insert(lines_.begin() + index, s);
  Changed();
}

void TLangFormatStrings::Delete(int index) {
  if (index < 0 || index >= Count()) throw Exception("List index out of bounds (%d)", {index});
  lines_.erase(lines_.begin() + index);
  if (language_)
    for (auto& t : language_->texts_)
      if (t->Line > index) --t->Line;
}

void TLangFormatStrings::Move(int from, int to) {
  if (from == to) return;
  if (from < 0 || from >= Count() || to < 0 || to >= Count())
    throw Exception("List index out of bounds (%d)", {from < 0 || from >= Count() ? from : to});
  std::string s = lines_[static_cast<std::size_t>(from)];
  lines_.erase(lines_.begin() + from);
  lines_.insert(lines_.begin() + to, s);
  Changed();
}

void TLangFormatStrings::LoadFromStream(const std::string& bytes) {
  lines_ = SplitLanguageText(bytes);
  Changed();
}

void TLangFormatStrings::Assign(const std::vector<std::string>& lines) {
  bool restore = language_ && language_->parse_;
  if (language_) language_->parse_ = false;
  lines_ = lines;
  if (language_) language_->parse_ = restore;
  Changed();
}

void TLangFormatStrings::Assign(const TPersistent& source) {
  if (auto* s = dynamic_cast<const TLangFormatStrings*>(&source)) {
    if (s != this) Assign(std::vector<std::string>(s->lines_));
    return;
  }
  TPersistent::Assign(source);
}

void TLangFormatStrings::LoadFromFile(const std::string& fileName) {
  std::FILE* probe = std::fopen(fileName.c_str(), "rb");
  if (!probe) throw Exception("Cannot open file \"%s\"", {fileName});
  std::fclose(probe);
  std::string bytes;
  if (!ReadFileBytes(fileName, bytes)) throw Exception("Cannot read file \"%s\"", {fileName});
  Assign(SplitLanguageText(bytes));
}

// ------------------------------------------------------------ TLanguage

TLanguage::TLanguage(TTranslator* translator, TTrnwLanguage ident)
    : translator_(translator),
      bitmapName_(kLanguages[ident].Bitmap ? kLanguages[ident].Bitmap : ""),
      fileName_(kLanguages[ident].File ? kLanguages[ident].File : ""),
      ident_(ident),
      strings_(this) {}

TLanguage::~TLanguage() = default;

void TLanguage::Assign(const TPersistent& source) {
  if (auto* s = dynamic_cast<const TLanguage*>(&source)) {
    font_.Assign(s->font_);
    FontOverride = s->FontOverride;
    strings_.Assign(s->strings_);
    return;
  }
  TPersistent::Assign(source);
}

void TLanguage::Parse() {
  texts_.clear();
  memos_.clear();
  TLanguageTable table = ParseLanguageLines(strings_.Lines());
  for (auto& m : table.Memos) {
    auto e = std::make_unique<TLanguageMemo>();
    e->Number = m.Number;
    e->Language = this;
    e->Line = m.Line;
    e->Lines = std::move(m.Lines);
    memos_.push_back(std::move(e));
  }
  for (auto& t : table.Texts) {
    auto e = std::make_unique<TLanguageString>();
    e->Number = t.Number;
    e->Language = this;
    e->Line = t.Line;
    e->Text = std::move(t.Text);
    texts_.push_back(std::move(e));
  }
}

const TLanguageString* TLanguage::FindText(const std::string& wording) const {
  for (const auto& t : texts_)
    if (SameTextAnsi(t->Text, wording)) return t.get();
  return nullptr;
}

const TLanguageString* TLanguage::TextById(int number) const {
  for (const auto& t : texts_)
    if (t->Number == number) return t.get();
  return nullptr;
}

const TLanguageMemo* TLanguage::FindMemo(const std::vector<std::string>& lines) const {
  for (const auto& m : memos_)
    if (m->Lines == lines) return m.get();
  return nullptr;
}

const TLanguageMemo* TLanguage::MemoById(int number) const {
  for (const auto& m : memos_)
    if (m->Number == number) return m.get();
  return nullptr;
}

// ------------------------------------------------------------ TTranslator

TTranslator::TTranslator(TComponent* owner) : TComponent(owner) {
  for (int i = 0; i < kTrnwLanguageCount; ++i)
    if (i != tlUser) languages_.push_back(std::make_unique<TLanguage>(this, static_cast<TTrnwLanguage>(i)));
  if (!g_translator) {
    g_translator = this;
    SetMessageTranslationHook([](const std::string& text) {
      return g_translator ? g_translator->TranslateMessage(text) : text;
    });
  }
}

TTranslator::~TTranslator() {
  BeginDestroy();
  if (g_translator == this) {
    g_translator = nullptr;
    SetMessageTranslationHook(nullptr);
  }
}

void TTranslator::SetTranslateIntoLanguage(TTrnwLanguage value) {
  into_ = value;
  if (OnLanguageChange) OnLanguageChange(this);
}

TLanguage* TTranslator::LanguageByIdent(TTrnwLanguage ident) const {
  for (const auto& l : languages_)
    if (l->LanguageIdent() == ident) return l.get();
  return nullptr;
}

TLanguage* TTranslator::UserLanguage() const {
  return LanguageByIdent(TrnwLanguageOfLangId(UserLangIdHook ? UserLangIdHook() : SystemUserLangId()));
}

TLanguage* TTranslator::TargetLanguage() const {
  return into_ == tlUser ? UserLanguage() : LanguageByIdent(into_);
}

std::string TTranslator::TranslateText(TTrnwLanguage source, const std::string& text) const {
  TLanguage* from = source == tlUser ? UserLanguage() : LanguageByIdent(source);
  TLanguage* to = TargetLanguage();
  if (!from || !to) return text;
  const TLanguageString* found = from->FindText(text);
  if (!found) return text;
  const TLanguageString* target = to->TextById(found->Number);
  return target ? target->Text : text;
}

std::string TTranslator::TranslateById(int number, const std::string& text) const {
  TLanguage* to = TargetLanguage();
  const TLanguageString* target = to ? to->TextById(number) : nullptr;
  return target ? target->Text : text;
}

std::vector<std::string> TTranslator::TranslateLines(TTrnwLanguage source,
                                                      const std::vector<std::string>& lines) const {
  TLanguage* from = source == tlUser ? UserLanguage() : LanguageByIdent(source);
  TLanguage* to = TargetLanguage();
  if (!from || !to) return lines;
  const TLanguageMemo* found = from->FindMemo(lines);
  if (!found) return lines;
  const TLanguageMemo* target = to->MemoById(found->Number);
  return target ? target->Lines : lines;
}

TTrnwLanguage TTranslator::TranslateComponent(TTrnwLanguage source, TComponent* component,
                                              TTrnwLanguage target) {
  TTrnwLanguage saved = into_;
  into_ = target;
  TScopeExit restore([this, saved] { into_ = saved; });
  return TranslateComponent(source, component);
}

TTrnwLanguage TTranslator::TranslateComponent(TTrnwLanguage source, TComponent* component) {
  if (!component) return source;
  TranslateTree(source, component);
  TLanguage* target = TargetLanguage();
  return target && target->HasTexts() ? into_ : source;
}

void TTranslator::TranslateTree(TTrnwLanguage source, TComponent* component) {
  auto* control = dynamic_cast<TControl*>(component);
  const bool hide = control && !dynamic_cast<TForm*>(control) && !dynamic_cast<TImage*>(control);
  const bool wasVisible = control && control->Visible();
  auto* label = dynamic_cast<TLabel*>(component);
  const bool autoSize = label && label->AutoSize();
  if (hide && wasVisible) control->SetVisible(false);
  if (autoSize) label->SetAutoSize(false);

  bool handled = false;
  if (auto* l = dynamic_cast<TTranslateLabel*>(component)) {
    if (l->GLID > 0) l->SetCaption(TranslateById(l->GLID, l->Caption()));
    handled = l->GLID != 0;
  } else if (auto* b = dynamic_cast<TTranslateBitBtn*>(component)) {
    if (b->GLID > 0) b->SetCaption(TranslateById(b->GLID, b->Caption()));
    handled = b->GLID != 0;
  }
  if (!handled) {
    if (control) {
      if (!IsBlank(control->Caption())) control->SetCaption(TranslateText(source, control->Caption()));
      if (!IsBlank(control->Hint())) control->SetHint(TranslateText(source, control->Hint()));
    } else if (const TClassInfo* info = FindClassInfo(component->ClassName())) {
      // Other components: every published string property but Name.
      for (const TClassInfo* c = info; c; c = c->Parent.empty() ? nullptr : FindClassInfo(c->Parent))
        for (const TPropInfo& p : c->Props) {
          if (p.Kind != TPropKind::pkString || !p.GetString || SameTextAnsi(p.Name, "Name")) continue;
          std::string value = p.GetString(*component);
          if (IsBlank(value)) continue;
          std::string translated = TranslateText(source, value);
          if (translated == value) continue;
          TPropContext ctx{component, [](const std::string&, std::function<void(TComponent*)>) {}};
          p.Set(*component, TFormValue::Str(translated), ctx);
        }
    }
    if (auto* list = dynamic_cast<TListBox*>(component)) {
      std::vector<std::string> items = list->Items();
      for (auto& s : items) s = TranslateText(source, s);
      list->SetItems(items);
    } else if (auto* radio = dynamic_cast<TRadioGroup*>(component)) {
      std::vector<std::string> items = radio->Items();
      int index = radio->ItemIndex();
      for (auto& s : items) s = TranslateText(source, s);
      radio->SetItems(items);
      radio->SetItemIndex(index);
    }
  }

  for (int i = 0; i < component->ComponentCount(); ++i) {
    TComponent* child = component->Component(i);
    if (!dynamic_cast<TForm*>(child)) TranslateTree(source, child);
  }

  if (autoSize) label->SetAutoSize(true);
  if (hide && wasVisible) control->SetVisible(true);
  if (auto* win = dynamic_cast<TWinControl*>(component)) win->Realign();
}

namespace {

struct TFontRule {
  int Charset;
  const char* Name;
  int MinSize;
};

const char kBig5Name[] = "\xB7\x73\xB2\xD3\xA9\xFA\xC5";
const char kPGothicName[] = "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E";
const char kBatangName[] = "\xB9\xD9\xC5\xC1";

TFontRule FontRuleOf(TTrnwLanguage language) {
  switch (language) {
    case tlChineseSimplified: return {134, kBig5Name, 9};
    case tlChineseTraditional: return {136, kBig5Name, 9};
    case tlJapanese: return {128, kPGothicName, 9};
    case tlKorean: return {129, kBatangName, 9};
    case tlGerman: return {0, "MS Sans Serif", 8};
    case tlGreek: return {0, "SGreek", 8};
    case tlCzech: case tlPolish: case tlPortugese: return {238, "Arial", 8};
    case tlRussian: return {204, "Arial", 8};
    case tlVietnamese: return {163, "Arial", 8};
    // Hebrew has a table of its own, so its forms need its character set.
    case tlHebrew: return {177, "Arial", 8};
    case tlDanish: case tlDutch: case tlEnglish: case tlFrench: case tlItalian:
    case tlNorwegianBokmal: case tlNorwegianNynorsk: case tlSpanish: case tlSwedish:
      return {0, "Arial", 8};
    default: throw Exception("Unrecognized language");
  }
}

void ApplyLanguageFont(TLanguage* language, TControl* control) {
  if (language->FontOverride) {
    control->Font().Assign(language->Font());
  } else {
    TFontRule rule = FontRuleOf(language->LanguageIdent());
    control->Font().SetCharset(rule.Charset);
    control->Font().SetName(rule.Name);
    if (control->Font().Size() < rule.MinSize) control->Font().SetSize(rule.MinSize);
  }
  if (auto* win = dynamic_cast<TWinControl*>(control))
    for (int i = 0; i < win->ControlCount(); ++i) ApplyLanguageFont(language, win->Control(i));
}

}  // namespace

void TTranslator::ApplyFonts(TControl* control, bool keepTarget, TTrnwLanguage target) {
  TTrnwLanguage saved = into_;
  into_ = target;
  TScopeExit restore([this, saved] { into_ = saved; });
  ApplyFonts(control, keepTarget);
}

void TTranslator::ApplyFonts(TControl* control, bool keepTarget) {
  TLanguage* language = TargetLanguage();
  if (!language || !control) return;
  if (!language->HasTexts() && !keepTarget) language = LanguageByIdent(tlEnglish);
  ApplyLanguageFont(language, control);
}

// ------------------------------------------------------------ streaming

namespace {


std::vector<std::string> LanguageIdents() {
  std::vector<std::string> idents;
  for (const auto& row : kLanguages) idents.push_back(row.Ident);
  return idents;
}

}  // namespace

void RegisterTranslatorClasses() {
  static bool done = false;
  if (done) return;
  done = true;

  RegisterControlClasses();

  TClassInfo& s = RegisterClassInfo("TLangFormatStrings", "", nullptr);
  s.Strings<TLangFormatStrings>("Strings", [](TLangFormatStrings& o, const std::vector<std::string>& v) {
    o.Assign(v);
  });

  TClassInfo& l = RegisterClassInfo("TLanguage", "", nullptr);
  l.Nested<TLanguage>("Font", "TFont", [](TLanguage& o) -> TPersistent& { return o.Font(); });
  l.Boolean<TLanguage>("FontOverride", [](TLanguage& o, bool v) { o.FontOverride = v; });
  l.Nested<TLanguage>("Strings", "TLangFormatStrings", [](TLanguage& o) -> TPersistent& { return o.Strings(); });

  TClassInfo& t = RegisterClassInfo("TTranslator", "TComponent",
                                    [](TComponent* owner) -> TComponent* { return new TTranslator(owner); });
  for (int i = 0; i < kTrnwLanguageCount; ++i) {
    if (i == tlUser) continue;
    const TTrnwLanguage ident = static_cast<TTrnwLanguage>(i);
    t.Nested<TTranslator>(kLanguages[i].Property, "TLanguage",
                          [ident](TTranslator& o) -> TPersistent& { return *o.LanguageByIdent(ident); });
  }
  t.Enum<TTranslator>("TranslateIntoLanguage", LanguageIdents(), [](TTranslator& o, int v) {
    o.SetTranslateIntoLanguage(static_cast<TTrnwLanguage>(v));
  });

  TClassInfo& tl = RegisterClassInfo("TTranslateLabel", FindClassInfo("TLabel") ? "TLabel" : "TComponent",
                                     [](TComponent* owner) -> TComponent* { return new TTranslateLabel(owner); });
  tl.Integer<TTranslateLabel>("GLID", [](TTranslateLabel& o, int v) { o.GLID = v; });
  TClassInfo& tb = RegisterClassInfo("TTranslateBitBtn", FindClassInfo("TBitBtn") ? "TBitBtn" : "TComponent",
                                     [](TComponent* owner) -> TComponent* { return new TTranslateBitBtn(owner); });
  tb.Integer<TTranslateBitBtn>("GLID", [](TTranslateBitBtn& o, int v) { o.GLID = v; });
}
