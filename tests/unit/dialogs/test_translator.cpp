// The translator: languages streamed from a project, language files,
// translation by wording and by number, engine messages, fonts.
#include <gtest/gtest.h>

#include <memory>

#include "ClassReg.h"
#include "ComCtrls.h"
#include "FormReader.h"
#include "FormStream.h"
#include "TestSupport.h"
#include "cmp_TTranslator.h"
#include "exceptions_Tarnwick.h"

using testsupport::MessageOf;

namespace {

const char* const kLanguageProps[] = {
    "lgChineseSimplified", "lgChineseTraditional", "lgCzech", "lgDanish", "lgDutch", "lgEnglish",
    "lgFrench", "lgGerman", "lgGreek", "lgHebrew", "lgItalian", "lgJapanese", "lgKorean",
    "lgNorwegianBokmal", "lgNorwegianNynorsk", "lgPolish", "lgPortugese", "lgRussian", "lgSpanish",
    "lgSwedish", "lgVietnamese"};

class Translator : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterTranslatorClasses();
    RegisterColorIdent("clWindowText", static_cast<std::uint32_t>(clWindowText));
    form = std::make_unique<TComponent>(nullptr);
  }
  void TearDown() override { UserLangIdHook = savedHook; }
  TTranslator* Make() { return new TTranslator(form.get()); }
  std::unique_ptr<TComponent> form;
  unsigned short (*savedHook)() = UserLangIdHook;
};

}  // namespace

TEST_F(Translator, StreamSetsEveryLanguagesFontThroughTheBinaryForm) {
  std::string text = "object Form1: TComponent\n  object MainTranslator: TTranslator\n";
  int i = 0;
  for (const char* lg : kLanguageProps) {
    const std::string p = std::string("    ") + lg;
    text += p + ".Font.Charset = DEFAULT_CHARSET\n";
    text += p + ".Font.Color = clWindowText\n";
    text += p + ".Font.Height = -11\n";
    text += p + ".Font.Name = 'Font" + std::to_string(i++) + "'\n";
    text += p + ".Font.Style = []\n";
    text += p + ".FontOverride = False\n";
  }
  text += "    lgKorean.Font.Style = [fsBold, fsItalic]\n";
  text += "    lgKorean.FontOverride = True\n";
  text += "    lgRussian.Font.Charset = RUSSIAN_CHARSET\n";
  text += "    lgGerman.Strings.Strings = (\n      '5;Weiter >')\n";
  text += "    TranslateIntoLanguage = tlGerman\n  end\nend\n";
  // Through the binary stream: the heights are stored as 8-bit integers.
  const std::string binary = WriteFormStream(ParseFormText(text));
  ReadForm(form.get(), binary.data(), binary.size());

  auto* t = dynamic_cast<TTranslator*>(form->FindComponent("MainTranslator"));
  ASSERT_NE(t, nullptr);
  ASSERT_EQ(t->LanguageCount(), 21);
  for (int k = 0; k < t->LanguageCount(); ++k) {
    TLanguage* l = t->Languages(k);
    SCOPED_TRACE(l->FileName());
    EXPECT_EQ(l->Font().Name(), "Font" + std::to_string(k));
    EXPECT_EQ(l->Font().Height(), -11);
    EXPECT_EQ(l->Font().Color(), clWindowText);
    EXPECT_EQ(l->FontOverride, l->LanguageIdent() == tlKorean);
    if (l->LanguageIdent() == tlRussian) EXPECT_EQ(l->Font().Charset(), RUSSIAN_CHARSET);
    else EXPECT_EQ(l->Font().Charset(), DEFAULT_CHARSET);
  }
  EXPECT_EQ(t->LanguageByIdent(tlKorean)->Font().Style(), (TFontStyles{fsBold, fsItalic}));
  EXPECT_EQ(t->LanguageByIdent(tlVietnamese)->FileName(), "tnwiVietnamese.txt");
  EXPECT_EQ(t->LanguageByIdent(tlVietnamese)->BitmapName(), "BM_LANG_VIETNAMESE");
  EXPECT_EQ(t->LanguageByIdent(tlUser), nullptr);
  EXPECT_EQ(t->TranslateIntoLanguage(), tlGerman);
  EXPECT_EQ(t->TranslateById(5, "Next >"), "Weiter >");
}

TEST_F(Translator, FirstTranslatorServesTheProcessAndTranslatesEngineMessages) {
  ASSERT_EQ(::Translator(), nullptr);
  TTranslator* first = Make();
  TTranslator* second = Make();
  EXPECT_EQ(::Translator(), first);

  testsupport::TTempDir dir("trn");
  testsupport::WriteFileText(dir.File("tnwiEnglish.txt"),
                             "* messages\r\n12;Could not open %s\r\n13;Cancel\r\n");
  testsupport::WriteFileText(dir.File("tnwiGerman.txt"),
                             "12;Konnte %s nicht oeffnen\r\n13;Abbrechen\r\n");
  first->LanguageByIdent(tlEnglish)->Strings().LoadFromFile(dir.File("tnwiEnglish.txt"));
  first->LanguageByIdent(tlGerman)->Strings().LoadFromFile(dir.File("tnwiGerman.txt"));
  first->SetTranslateIntoLanguage(tlGerman);

  EXPECT_EQ(IException("Could not open %s", {"a.txt"}).Message(), "Konnte a.txt nicht oeffnen");
  // By wording without regard to case; unknown texts stay.
  EXPECT_EQ(first->TranslateText(tlEnglish, "CANCEL"), "Abbrechen");
  EXPECT_EQ(first->TranslateText(tlEnglish, "Unknown"), "Unknown");
  EXPECT_EQ(IException("Unknown text").Message(), "Unknown text");

  // The second translator takes over nothing, and gone, the first leaves
  // messages untranslated.
  delete second;
  EXPECT_EQ(::Translator(), first);
  delete first;
  EXPECT_EQ(::Translator(), nullptr);
  EXPECT_EQ(IException("Could not open %s", {"a.txt"}).Message(), "Could not open a.txt");
}

TEST_F(Translator, MultiLineTextsTranslateAsAWhole) {
  TTranslator* t = Make();
  t->LanguageByIdent(tlEnglish)->Strings().Assign(
      std::vector<std::string>{"#52;", "Several components could not be installed", "because they were in use.", "#"});
  t->LanguageByIdent(tlFrench)->Strings().Assign(
      std::vector<std::string>{"#52", "Plusieurs composants", "etaient utilises.", "#"});
  t->SetTranslateIntoLanguage(tlFrench);
  EXPECT_EQ(t->TranslateLines(tlEnglish, {"Several components could not be installed", "because they were in use."}),
            (std::vector<std::string>{"Plusieurs composants", "etaient utilises."}));
  EXPECT_EQ(t->TranslateLines(tlEnglish, {"Several components could not be installed"}),
            (std::vector<std::string>{"Several components could not be installed"}));
}

TEST_F(Translator, BadTablesKeepTheirLinesAndMissingFilesChangeNothing) {
  TTranslator* t = Make();
  TLanguage* en = t->LanguageByIdent(tlEnglish);
  en->Strings().Assign(std::vector<std::string>{"1;One", "2;Two"});
  ASSERT_TRUE(en->HasTexts());

  EXPECT_EQ(MessageOf([&] { en->Strings().Add("#"); }),
            "Found the end of memo marker # at line 2. Was not in a memo however");
  EXPECT_FALSE(en->HasTexts());
  EXPECT_EQ(en->Strings().Count(), 3);

  en->Strings().Delete(2);  // deleting does not re-parse
  EXPECT_FALSE(en->HasTexts());
  en->Strings().Insert(0, "* header");
  ASSERT_TRUE(en->HasTexts());
  EXPECT_EQ(en->TextById(2)->Line, 2);
  en->Strings().Delete(0);
  EXPECT_EQ(en->TextById(2)->Line, 1);
  EXPECT_EQ(en->TextById(1)->Line, 0);

  testsupport::TTempDir dir("trn");
  EXPECT_NE(MessageOf([&] { en->Strings().LoadFromFile(dir.File("missing.txt")); }), "no error");
  EXPECT_EQ(en->Strings().Lines(), (std::vector<std::string>{"1;One", "2;Two"}));
  EXPECT_TRUE(en->ParseEnabled());
  EXPECT_EQ(en->TextById(2)->Text, "Two");
}

TEST_F(Translator, UserLanguageFollowsTheWindowsLanguage) {
  TTranslator* t = Make();
  static unsigned short id;
  UserLangIdHook = [] { return id; };
  const std::pair<unsigned short, TTrnwLanguage> cases[] = {
      {0x0407, tlGerman}, {0x0404, tlChineseTraditional}, {0x0804, tlChineseSimplified},
      {0x0414, tlNorwegianBokmal}, {0x0814, tlNorwegianNynorsk}, {0x042A, tlVietnamese},
      {0x0416, tlPortugese}, {0x0409, tlEnglish}, {0x041F, tlEnglish}};
  for (const auto& c : cases) {
    id = c.first;
    ASSERT_NE(t->UserLanguage(), nullptr);
    EXPECT_EQ(t->UserLanguage()->LanguageIdent(), c.second) << std::hex << c.first;
  }
  // tlUser targets the user's language.
  id = 0x040C;
  t->LanguageByIdent(tlFrench)->Strings().Assign(std::vector<std::string>{"6;Annuler"});
  EXPECT_EQ(t->TranslateIntoLanguage(), tlUser);
  EXPECT_EQ(t->TranslateById(6, "Cancel"), "Annuler");
}

TEST_F(Translator, ComponentsTranslateByNumberOrWordingAndGetTheirLanguagesFonts) {
  TTranslator* t = Make();
  t->LanguageByIdent(tlEnglish)->Strings().Assign(std::vector<std::string>{"4;< Back", "5;Next >", "7;Red"});
  t->LanguageByIdent(tlRussian)->Strings().Assign(std::vector<std::string>{"4;Nazad", "5;Dalee", "7;Krasny"});
  t->SetTranslateIntoLanguage(tlRussian);

  TForm page(nullptr);
  auto* byNumber = new TTranslateLabel(&page);
  byNumber->SetParent(&page);
  byNumber->SetCaption("Back");
  byNumber->GLID = 4;
  auto* never = new TTranslateLabel(&page);
  never->SetParent(&page);
  never->SetCaption("Next >");
  never->GLID = -1;
  auto* byWording = new TTranslateLabel(&page);
  byWording->SetParent(&page);
  byWording->SetCaption("next >");
  auto* list = new TListBox(&page);
  list->SetParent(&page);
  list->SetItems({"Red", "Blue"});
  page.Font().SetSize(6);

  EXPECT_EQ(t->TranslateComponent(tlEnglish, &page), tlRussian);
  EXPECT_EQ(byNumber->Caption(), "Nazad");
  EXPECT_EQ(never->Caption(), "Next >");
  EXPECT_EQ(byWording->Caption(), "Dalee");
  EXPECT_EQ(list->Items(), (std::vector<std::string>{"Krasny", "Blue"}));
  EXPECT_TRUE(byNumber->Visible());

  t->ApplyFonts(&page, false);
  EXPECT_EQ(page.Font().Charset(), 204);
  EXPECT_EQ(page.Font().Name(), "Arial");
  EXPECT_EQ(page.Font().Size(), 8);
  EXPECT_EQ(list->Font().Charset(), 204);

  // A target without texts: English fonts, unless asked to keep the target.
  t->SetTranslateIntoLanguage(tlJapanese);
  EXPECT_EQ(t->TranslateComponent(tlRussian, &page), tlRussian);
  t->ApplyFonts(&page, false);
  EXPECT_EQ(page.Font().Charset(), 0);
  t->ApplyFonts(&page, true);
  EXPECT_EQ(page.Font().Charset(), 128);
  EXPECT_EQ(page.Font().Size(), 9);

  // FontOverride copies the language's font.
  TLanguage* ja = t->LanguageByIdent(tlJapanese);
  ja->FontOverride = true;
  ja->Font().SetName("Tahoma");
  ja->Font().SetHeight(-20);
  t->ApplyFonts(&page, true);
  EXPECT_EQ(list->Font().Name(), "Tahoma");
  EXPECT_EQ(list->Font().Height(), -20);

  // Hebrew forms get the Hebrew character set; the target returns afterwards.
  ja->FontOverride = false;
  EXPECT_EQ(MessageOf([&] { t->ApplyFonts(&page, true, tlHebrew); }), "no error");
  EXPECT_EQ(list->Font().Charset(), 177);
  EXPECT_EQ(t->TranslateIntoLanguage(), tlJapanese);
}
