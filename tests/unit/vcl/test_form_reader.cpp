#include <gtest/gtest.h>

#include "Graphics.h"
#include "FormResource.h"
#include "MessageOf.h"

namespace {

std::vector<std::string> g_loaded;

class TTestStrings : public TPersistent {
public:
  std::vector<std::string> Lines;
};
class TTestFont : public TPersistent {
public:
  std::string Name;
};
class TTestLanguage : public TPersistent {
public:
  TTestFont Font;
};
class TTestInfo : public TPersistent {
public:
  std::string CompanyName;
};
class TTestPicture : public TPictureBase {
public:
  void LoadGraphic(const std::string& cls, const std::string& data) override {
    GraphicClass = cls;
    Data = data;
  }
  std::string GraphicClass, Data;
};

class TTestItem : public TComponent {
public:
  using TComponent::TComponent;
  const char* ClassName() const override { return "TTestItem"; }
  void SetLink(TComponent* c) {
    if (Link) Link->RemoveFreeNotification(this);
    Link = c;
    if (c) c->FreeNotification(this);
  }
  void Notification(TComponent* c, TOperation op) override {
    if (op == opRemove && c == Link) Link = nullptr;
  }
  void Loaded() override {
    TComponent::Loaded();
    g_loaded.push_back(Name() + (Link ? "->" + Link->Name() : std::string("->none")));
  }
  void SetParentComponent(TComponent* p) override { Parent = p; }
  TComponent* Link = nullptr;
  TComponent* Parent = nullptr;
  unsigned Kinds = 99, NoKinds = 99;
  int Big = 0;
  TTestInfo Information;
  TTestLanguage lgEnglish;
  TTestStrings Lines, NoLines;
  std::vector<int> DesignSize;
  std::string Blob = "x";
  TTestPicture Picture;
  TFormValue Nested;
};

class TTestForm : public TComponent {
public:
  using TComponent::TComponent;
  const char* ClassName() const override { return "TTestForm"; }
  void Loaded() override {
    TComponent::Loaded();
    g_loaded.push_back(Name());
  }
  void FormCreate() { ++created; }
  int Left = 5, Top = 0, ClientWidth = 0, ClientHeight = 0;
  std::uint32_t Color = 0;
  std::string Caption, Empty = "x";
  bool Visible = false, Enabled = true;
  std::function<void()> OnCreate;
  int created = 0;
};

const std::vector<std::string> kInstallTypes{"itFull", "itDefault", "itCompact", "itCustom"};

TClassRegistrar<TTestStrings> regStrings("TTestStrings", "", [](TClassInfo& c) {
  c.Strings<TTestStrings>("Strings", [](TTestStrings& o, const std::vector<std::string>& v) { o.Lines = v; });
}, nullptr);
TClassRegistrar<TTestFont> regFont("TTestFont", "", [](TClassInfo& c) {
  c.String<TTestFont>("Name", [](TTestFont& o, const std::string& v) { o.Name = v; });
}, nullptr);
TClassRegistrar<TTestLanguage> regLang("TTestLanguage", "", [](TClassInfo& c) {
  c.Nested<TTestLanguage>("Font", "TTestFont", [](TTestLanguage& o) -> TPersistent& { return o.Font; });
}, nullptr);
TClassRegistrar<TTestInfo> regInfo("TTestInfo", "", [](TClassInfo& c) {
  c.String<TTestInfo>("CompanyName", [](TTestInfo& o, const std::string& v) { o.CompanyName = v; });
}, nullptr);

TClassRegistrar<TTestItem> regItem("TTestItem", "TComponent", [](TClassInfo& c) {
  c.Reference<TTestItem>("Link", [](TTestItem& o, TComponent* v) { o.SetLink(v); });
  c.Set<TTestItem>("Kinds", kInstallTypes, [](TTestItem& o, unsigned v) { o.Kinds = v; });
  c.Set<TTestItem>("NoKinds", kInstallTypes, [](TTestItem& o, unsigned v) { o.NoKinds = v; });
  c.Nested<TTestItem>("Information", "TTestInfo", [](TTestItem& o) -> TPersistent& { return o.Information; });
  c.Nested<TTestItem>("lgEnglish", "TTestLanguage", [](TTestItem& o) -> TPersistent& { return o.lgEnglish; });
  c.Integer<TTestItem>("Big", [](TTestItem& o, int v) { o.Big = v; });
  c.Nested<TTestItem>("Lines", "TTestStrings", [](TTestItem& o) -> TPersistent& { return o.Lines; });
  c.Nested<TTestItem>("NoLines", "TTestStrings", [](TTestItem& o) -> TPersistent& { return o.NoLines; });
  c.IntegerList<TTestItem>("DesignSize", [](TTestItem& o, const std::vector<int>& v) { o.DesignSize = v; });
  c.Raw<TTestItem>("Nested", [](TTestItem& o, const TFormValue& v) { o.Nested = v; });
  c.Binary<TTestItem>("Blob", [](TTestItem& o, const std::string& v) { o.Blob = v; });
  c.Picture<TTestItem>("Picture", [](TTestItem& o) -> TPersistent& { return o.Picture; });
});

TClassRegistrar<TTestForm> regForm("TTestForm", "TComponent", [](TClassInfo& c) {
  c.Integer<TTestForm>("Left", [](TTestForm& o, int v) { o.Left = v; });
  c.Integer<TTestForm>("Top", [](TTestForm& o, int v) { o.Top = v; });
  c.Integer<TTestForm>("ClientWidth", [](TTestForm& o, int v) { o.ClientWidth = v; });
  c.Integer<TTestForm>("ClientHeight", [](TTestForm& o, int v) { o.ClientHeight = v; });
  c.Color<TTestForm>("Color", [](TTestForm& o, std::uint32_t v) { o.Color = v; });
  c.String<TTestForm>("Caption", [](TTestForm& o, const std::string& v) { o.Caption = v; });
  c.String<TTestForm>("Empty", [](TTestForm& o, const std::string& v) { o.Empty = v; });
  c.Boolean<TTestForm>("Visible", [](TTestForm& o, bool v) { o.Visible = v; });
  c.Boolean<TTestForm>("Enabled", [](TTestForm& o, bool v) { o.Enabled = v; });
  c.Event<TTestForm>("OnCreate", [](TTestForm& o, TComponent* form, const std::string& m) {
    auto* f = static_cast<TTestForm*>(form);
    if (m != "FormCreate") throw EReadError("Method %s not found", {m});
    o.OnCreate = [f] { f->FormCreate(); };
  });
});

struct ColorSetup {
  ColorSetup() { RegisterColorIdent("clBtnFace", 0xF0F0F0); }
} g_colors;

std::string ReadError(const std::string& text) {
  g_loaded.clear();
  TTestForm form(nullptr);
  return testsupport::MessageOf<EReadError>([&] { ReadForm(&form, ParseFormText(text)); });
}

}  // namespace

TEST(FormReader, TestFormFromItsResourceBuildsTheTreeInStreamOrder) {
  g_loaded.clear();
  TTestForm form(nullptr);
  ReadFormResource(&form, "TTestForm");
  EXPECT_EQ(form.Name(), "TestForm");
  EXPECT_EQ(form.Top, -11);
  EXPECT_EQ(form.ClientWidth, 691);
  EXPECT_EQ(form.ClientHeight, 40000);
  EXPECT_EQ(form.Color, 0xF0F0F0u);
  EXPECT_EQ(form.Caption, "Installation of 'Kelvo'\r\nnext line");
  EXPECT_EQ(form.Empty, "");
  EXPECT_TRUE(form.Visible);
  EXPECT_FALSE(form.Enabled);
  ASSERT_TRUE(form.OnCreate);
  form.OnCreate();
  EXPECT_EQ(form.created, 1);

  ASSERT_EQ(form.ComponentCount(), 3);
  auto* child1 = dynamic_cast<TTestItem*>(form.FindComponent("Child1"));
  auto* grand = dynamic_cast<TTestItem*>(form.FindComponent("Grandchild"));
  auto* child2 = dynamic_cast<TTestItem*>(form.FindComponent("Child2"));
  ASSERT_TRUE(child1 && grand && child2);
  EXPECT_EQ(grand->Owner(), &form);
  EXPECT_EQ(grand->Parent, child1);
  EXPECT_EQ(child1->Parent, &form);
  // Forward, backward and root references; every one set before any Loaded.
  EXPECT_EQ(g_loaded, (std::vector<std::string>{"TestForm", "Child1->Child2", "Grandchild->Child1",
                                                "Child2->TestForm"}));
  EXPECT_FALSE(child1->IsLoading());
  EXPECT_EQ(child1->Kinds, 7u);
  EXPECT_EQ(child1->NoKinds, 0u);
  EXPECT_EQ(child1->Big, INT32_MIN);
  EXPECT_EQ(child1->Information.CompanyName, "Kelvo Software");
  EXPECT_EQ(child1->lgEnglish.Font.Name, "MS Sans Serif");
  EXPECT_EQ(child1->Lines.Lines, (std::vector<std::string>{"LICENSE.rtf", "second"}));
  EXPECT_TRUE(child1->NoLines.Lines.empty());
  EXPECT_EQ(child1->DesignSize, (std::vector<int>{691, 515}));
  EXPECT_EQ(child1->Nested.List.size(), 2u);
  EXPECT_EQ(child1->Blob, "");
  EXPECT_EQ(child1->Picture.GraphicClass, "TBitmap");
  EXPECT_EQ(child1->Picture.Data.substr(4, 2), "BM");
  // Removal clears weak references.
  delete child2;
  EXPECT_EQ(child1->Link, nullptr);
}

TEST(FormReader, FailuresNameWhatWentWrongAndTheTextFormsLine) {
  EXPECT_EQ(ReadError("object F: TTestForm\n  object X: TNoSuchClass\n  end\nend\n"),
            "Form text, line 2: Class TNoSuchClass not found");
  EXPECT_EQ(ReadError("object F: TTestForm\n  Width = 3\nend\n"),
            "Form text, line 2: Error reading F.Width: Property Width does not exist");
  EXPECT_EQ(ReadError("object F: TTestForm\n  Left = 'a'\nend\n"),
            "Form text, line 2: Error reading F.Left: Invalid property value");
  EXPECT_EQ(ReadError("object F: TTestForm\n  object A: TTestItem\n    Link = Nobody\n  end\nend\n"),
            "Form text, line 3: Error reading A.Link: unresolved reference to component Nobody");
  EXPECT_EQ(ReadError("object F: TTestForm\n  object A: TTestItem\n    Kinds = [itFull, itNone]\n  end\nend\n"),
            "Form text, line 3: Error reading A.Kinds: Invalid property value");
  EXPECT_EQ(ReadError("object F: TTestForm\n  object A: TTestItem\n    Information.Nothing = 'x'\n  end\nend\n"),
            "Form text, line 3: Error reading A.Information.Nothing: Property Information.Nothing does not exist");
  EXPECT_EQ(ReadError("object F: TTestForm\n  object A: TTestItem\n  end\n  object A: TTestItem\n  end\nend\n"),
            "Form text, line 4: A component named A already exists");
  EXPECT_EQ(ReadError("object F: TTestForm\n  Color = clNoSuchColour\nend\n"),
            "Form text, line 2: Error reading F.Color: Invalid property value");
  // From a binary stream no line is known.
  g_loaded.clear();
  TTestForm binary(nullptr);
  EXPECT_EQ(testsupport::MessageOf<EReadError>([&] {
              const std::string stream = WriteFormStream(ParseFormText("object F: TTestForm\n  Width = 3\nend\n"));
              ReadForm(&binary, stream.data(), stream.size());
            }),
            "Error reading F.Width: Property Width does not exist");
  TTestForm form(nullptr);
  EXPECT_THROW(ReadFormResource(&form, "TNoSuchForm"), EReadError);
  EXPECT_THROW(ReadForm(&form, "TPF1", 4), EReadError);
}

TEST(FormReader, SystemAndNamedColourIdentifiersResolve) {
  TFormValue v;
  v.Type = TValueType::vaIdent;
  v.Text = "clWindowText";
  EXPECT_EQ(TClassInfo::ColorOf(v), static_cast<std::uint32_t>(clWindowText));
  v.Text = "clTeal";
  EXPECT_EQ(TClassInfo::ColorOf(v), 0x808000u);
  v.Text = "clNoSuchColour";
  EXPECT_THROW(TClassInfo::ColorOf(v), Exception);
}
