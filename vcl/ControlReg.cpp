#include "ControlReg.h"

#include "ComCtrls.h"
#include "Controls.h"

#include <type_traits>

namespace {

class TPictureTarget : public TPictureBase {
public:
  const char* ClassName() const override { return "TPicture"; }
  void LoadGraphic(const std::string& graphicClass, const std::string& data) override {
    std::string bytes(1, static_cast<char>(graphicClass.size()));
    bytes += graphicClass;
    bytes += data;
    Target->LoadFromStreamData(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  TPicture* Target = nullptr;
};

const std::vector<std::string> kAlignIdents{"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"};
const std::vector<std::string> kAlignmentIdents{"taLeftJustify", "taRightJustify", "taCenter"};
const std::vector<std::string> kBevelCutIdents{"bvNone", "bvLowered", "bvRaised", "bvSpace"};

// Stream properties that carry no meaning for these controls.
template <class T>
void Ignored(TClassInfo& c, std::initializer_list<const char*> names) {
  for (const char* n : names) c.Raw<T>(n, [](T&, const TFormValue&) {});
}

// An event identifier names a method the form defined; an unknown one is a
// stream error like an unknown property.
std::function<void(TComponent*)> FormMethod(TComponent* form, const std::string& name) {
  auto* f = dynamic_cast<TForm*>(form);
  TNotifyEvent m = f ? f->MethodAddress(name) : TNotifyEvent();
  if (!m) throw EReadError("Invalid property value");
  return m;
}

void FontProperties(TClassInfo& c) {
  c.Raw<TFont>("Charset", [](TFont& f, const TFormValue& v) { f.SetCharset(CharsetOf(v)); });
  c.Color<TFont>("Color", [](TFont& f, std::uint32_t v) { f.SetColor(static_cast<TColor>(v)); });
  c.Integer<TFont>("Height", [](TFont& f, int v) { f.SetHeight(v); });
  c.String<TFont>("Name", [](TFont& f, const std::string& v) { f.SetName(v); });
  c.Integer<TFont>("Size", [](TFont& f, int v) { f.SetSize(v); });
  c.Set<TFont>("Style", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"},
               [](TFont& f, unsigned v) { f.SetStyle(TFontStyles::FromBits(static_cast<unsigned char>(v))); });
  Ignored<TFont>(c, {"Pitch"});
}

void ControlProperties(TClassInfo& c) {
  c.Integer<TControl>("Left", [](TControl& o, int v) { o.SetLeft(v); });
  c.Integer<TControl>("Top", [](TControl& o, int v) { o.SetTop(v); });
  c.Integer<TControl>("Width", [](TControl& o, int v) { o.SetWidth(v); });
  c.Integer<TControl>("Height", [](TControl& o, int v) { o.SetHeight(v); });
  c.Enum<TControl>("Align", kAlignIdents, [](TControl& o, int v) { o.SetAlign(static_cast<TAlign>(v)); });
  c.String<TControl>(
      "Caption", [](TControl& o, const std::string& v) { o.SetCaption(v); },
      [](TControl& o) { return o.Caption(); });
  c.String<TControl>(
      "Hint", [](TControl& o, const std::string& v) { o.SetHint(v); }, [](TControl& o) { return o.Hint(); });
  c.Color<TControl>("Color", [](TControl& o, std::uint32_t v) { o.SetColor(static_cast<TColor>(v)); });
  c.Nested<TControl>("Font", "TFont", [](TControl& o) -> TPersistent& { return o.Font(); });
  c.Boolean<TControl>("ParentFont", [](TControl& o, bool v) { o.SetParentFont(v); });
  c.Boolean<TControl>("ParentColor", [](TControl& o, bool v) { o.SetParentColor(v); });
  c.Event<TControl>("OnClick", [](TControl& o, TComponent* form, const std::string& m) { o.OnClick = FormMethod(form, m); });
  c.Boolean<TControl>("Visible", [](TControl& o, bool v) { o.SetVisible(v); });
  c.Boolean<TControl>("Enabled", [](TControl& o, bool v) { o.SetEnabled(v); });
  Ignored<TControl>(c, {"ShowHint", "ParentShowHint", "Constraints", "DesignSize", "Anchors",
                        "ParentBiDiMode", "BiDiMode", "Cursor", "DragMode", "PopupMenu"});
}

void WinControlProperties(TClassInfo& c) {
  c.Integer<TWinControl>("TabOrder", [](TWinControl& o, int v) { o.SetTabOrder(v); });
  c.Boolean<TWinControl>("TabStop", [](TWinControl& o, bool v) { o.SetTabStop(v); });
  Ignored<TWinControl>(c, {"ParentBackground", "Ctl3D", "ParentCtl3D"});
}

void PanelProperties(TClassInfo& c) {
  c.Enum<TCustomPanel>("BevelOuter", kBevelCutIdents,
                       [](TCustomPanel& o, int v) { o.SetBevelOuter(static_cast<TBevelCut>(v)); });
  c.Enum<TCustomPanel>("BevelInner", kBevelCutIdents,
                       [](TCustomPanel& o, int v) { o.SetBevelInner(static_cast<TBevelCut>(v)); });
  c.Integer<TCustomPanel>("BorderWidth", [](TCustomPanel& o, int v) { o.SetBorderWidth(v); });
  c.Enum<TCustomPanel>("Alignment", kAlignmentIdents,
                       [](TCustomPanel& o, int v) { o.SetAlignment(static_cast<TAlignment>(v)); });
  Ignored<TCustomPanel>(c, {"FullRepaint", "BevelWidth"});
}

void LabelProperties(TClassInfo& c) {
  c.Boolean<TLabel>("AutoSize", [](TLabel& o, bool v) { o.SetAutoSize(v); });
  c.Boolean<TLabel>("Transparent", [](TLabel& o, bool v) { o.SetTransparent(v); });
  c.Boolean<TLabel>("WordWrap", [](TLabel& o, bool v) { o.SetWordWrap(v); });
  c.Enum<TLabel>("Alignment", kAlignmentIdents,
                 [](TLabel& o, int v) { o.SetAlignment(static_cast<TAlignment>(v)); });
  c.Boolean<TLabel>("ShowAccelChar", [](TLabel& o, bool v) { o.SetShowAccelChar(v); });
  c.Reference<TLabel>("FocusControl", [](TLabel& o, TComponent* v) {
    auto* w = dynamic_cast<TWinControl*>(v);
    if (!w) TClassInfo::Invalid();
    o.SetFocusControl(w);
  });
  Ignored<TLabel>(c, {"Layout"});
}

void ImageProperties(TClassInfo& c) {
  c.Picture<TImage>("Picture", [](TImage& o) -> TPersistent& { return PictureSlot(o.Picture()); });
  c.Boolean<TImage>("Stretch", [](TImage& o, bool v) { o.SetStretch(v); });
  c.Boolean<TImage>("Center", [](TImage& o, bool v) { o.SetCenter(v); });
  c.Boolean<TImage>("Transparent", [](TImage& o, bool v) { o.SetTransparent(v); });
  Ignored<TImage>(c, {"Proportional", "AutoSize", "IncrementalDisplay"});
}

void BevelProperties(TClassInfo& c) {
  c.Enum<TBevel>("Shape", {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine", "bsSpacer"},
                 [](TBevel& o, int v) { o.SetShape(static_cast<TBevelShape>(v)); });
  c.Enum<TBevel>("Style", {"bsLowered", "bsRaised"},
                 [](TBevel& o, int v) { o.SetStyle(static_cast<TBevelStyle>(v)); });
}

void FormProperties(TClassInfo& c) {
  c.Enum<TForm>("BorderStyle", {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"},
                [](TForm& o, int v) { o.SetBorderStyle(static_cast<TFormBorderStyle>(v)); });
  c.Enum<TForm>("Position",
                {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter",
                 "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"},
                [](TForm& o, int v) { o.SetPosition(static_cast<TPosition>(v)); });
  c.Integer<TForm>("ClientWidth", [](TForm& o, int v) { o.SetClientWidth(v); });
  c.Integer<TForm>("ClientHeight", [](TForm& o, int v) { o.SetClientHeight(v); });
  c.Event<TForm>("OnCreate", [](TForm& o, TComponent* form, const std::string& m) { o.OnCreate = FormMethod(form, m); });
  c.Event<TForm>("OnActivate",
                 [](TForm& o, TComponent* form, const std::string& m) { o.OnActivate = FormMethod(form, m); });
  c.Event<TForm>("OnShow", [](TForm& o, TComponent* form, const std::string& m) { o.OnShow = FormMethod(form, m); });
  c.Event<TForm>("OnResize", [](TForm& o, TComponent* form, const std::string& m) { o.OnResize = FormMethod(form, m); });
  c.Event<TForm>("OnDestroy",
                 [](TForm& o, TComponent* form, const std::string& m) { o.OnDestroy = FormMethod(form, m); });
  c.Event<TForm>("OnClose", [](TForm& o, TComponent* form, const std::string& m) {
    auto* f = dynamic_cast<TForm*>(form);
    TCloseEvent handler = f ? f->CloseMethodAddress(m) : TCloseEvent();
    if (!handler) TClassInfo::Invalid();
    o.OnClose = handler;
  });
  c.Set<TForm>("BorderIcons", {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"},
               [](TForm& o, unsigned v) { o.SetBorderIcons(v); });
  Ignored<TForm>(c, {"OldCreateOrder", "PixelsPerInch", "TextHeight", "Scaled", "WindowState", "FormStyle",
                     "KeyPreview", "AutoScroll"});
}

// "Items.Strings", "Tabs.Strings", "Lines.Strings": a string list reached
// through a nested slot that hands the lines to its control.
class TStringsSlot : public TPersistent {
public:
  const char* ClassName() const override { return "TStrings"; }
  std::function<void(const std::vector<std::string>&)> Assign;
};

template <class T>
void StringsProperty(TClassInfo& c, const char* name, void (*assign)(T&, const std::vector<std::string>&)) {
  c.Nested<T>(name, "TStrings", [assign](T& o) -> TPersistent& {
    static TStringsSlot slot;
    slot.Assign = [&o, assign](const std::vector<std::string>& v) { assign(o, v); };
    return slot;
  });
}

void ButtonProperties(TClassInfo& c) {
  c.Boolean<TButton>("Default", [](TButton& o, bool v) { o.SetDefault(v); });
  c.Boolean<TButton>("Cancel", [](TButton& o, bool v) { o.SetCancel(v); });
  c.Integer<TButton>("ModalResult", [](TButton& o, int v) { o.SetModalResult(v); });
  Ignored<TButton>(c, {"WordWrap"});
}

void BitBtnProperties(TClassInfo& c) {
  c.Enum<TBitBtn>("Kind", {"bkCustom", "bkOK", "bkCancel", "bkHelp", "bkYes", "bkNo", "bkClose", "bkAbort",
                           "bkRetry", "bkIgnore", "bkAll"},
                  [](TBitBtn& o, int v) { o.SetKind(static_cast<TBitBtnKind>(v)); });
  Ignored<TBitBtn>(c, {"Layout", "NumGlyphs", "Margin", "Spacing", "Style"});
}

void EditProperties(TClassInfo& c) {
  c.String<TEdit>(
      "Text", [](TEdit& o, const std::string& v) { o.SetText(v); }, [](TEdit& o) { return o.Text(); });
  c.Boolean<TEdit>("ReadOnly", [](TEdit& o, bool v) { o.SetReadOnly(v); });
  c.Event<TEdit>("OnChange", [](TEdit& o, TComponent* form, const std::string& m) { o.OnChange = FormMethod(form, m); });
  Ignored<TEdit>(c, {"AutoSize", "MaxLength", "AutoSelect", "BorderStyle", "CharCase", "HideSelection"});
}

void ListBoxProperties(TClassInfo& c) {
  StringsProperty<TListBox>(c, "Items", [](TListBox& o, const std::vector<std::string>& v) { o.SetItems(v); });
  c.Boolean<TListBox>("Sorted", [](TListBox& o, bool v) { o.SetSorted(v); });
  c.Integer<TListBox>("ItemHeight", [](TListBox& o, int v) { o.SetItemHeight(v); });
  c.Event<TListBox>("OnDblClick",
                    [](TListBox& o, TComponent* form, const std::string& m) { o.OnDblClick = FormMethod(form, m); });
  Ignored<TListBox>(c, {"BorderStyle", "MultiSelect", "ExtendedSelect", "IntegralHeight", "Style"});
}

void RadioGroupProperties(TClassInfo& c) {
  StringsProperty<TRadioGroup>(c, "Items",
                               [](TRadioGroup& o, const std::vector<std::string>& v) { o.SetItems(v); });
  c.Integer<TRadioGroup>("ItemIndex", [](TRadioGroup& o, int v) { o.SetItemIndex(v); });
  c.Integer<TRadioGroup>("Columns", [](TRadioGroup& o, int v) { o.SetColumns(v); });
  c.Event<TRadioGroup>("OnClick",
                       [](TRadioGroup& o, TComponent* form, const std::string& m) { o.OnClick = FormMethod(form, m); });
}

void ProgressBarProperties(TClassInfo& c) {
  c.Integer<TProgressBar>("Min", [](TProgressBar& o, int v) { o.SetMin(v); });
  c.Integer<TProgressBar>("Max", [](TProgressBar& o, int v) { o.SetMax(v); });
  c.Integer<TProgressBar>("Position", [](TProgressBar& o, int v) { o.SetPosition(v); });
  c.Integer<TProgressBar>("Step", [](TProgressBar& o, int v) { o.SetStep(v); });
  Ignored<TProgressBar>(c, {"Smooth", "Orientation"});
}

void TabControlProperties(TClassInfo& c) {
  StringsProperty<TTabControl>(c, "Tabs",
                               [](TTabControl& o, const std::vector<std::string>& v) { o.SetTabs(v); });
  c.Integer<TTabControl>("TabIndex", [](TTabControl& o, int v) { o.SetTabIndex(v); });
  c.Event<TTabControl>("OnChange",
                       [](TTabControl& o, TComponent* form, const std::string& m) { o.OnChange = FormMethod(form, m); });
  c.Event<TTabControl>("OnChanging", [](TTabControl& o, TComponent* form, const std::string& m) {
    auto* f = dynamic_cast<TForm*>(form);
    TAllowEvent handler = f ? f->AllowMethodAddress(m) : TAllowEvent();
    if (!handler) TClassInfo::Invalid();
    o.OnChanging = handler;
  });
  Ignored<TTabControl>(c, {"MultiLine", "Style", "TabPosition"});
}

void RichEditProperties(TClassInfo& c) {
  c.Boolean<TRichEdit>("ReadOnly", [](TRichEdit& o, bool v) { o.SetReadOnly(v); });
  c.Boolean<TRichEdit>("PlainText", [](TRichEdit& o, bool v) { o.SetPlainText(v); });
  c.Enum<TRichEdit>("BorderStyle", {"bsNone", "bsSingle"}, [](TRichEdit& o, int v) { o.SetBorder(v == 1); });
  StringsProperty<TRichEdit>(c, "Lines", [](TRichEdit& o, const std::vector<std::string>& v) {
    std::string text;
    for (const auto& line : v) text += line + "\r\n";
    o.LoadFromString(text);
  });
  Ignored<TRichEdit>(c, {"ScrollBars", "WantReturns", "WantTabs", "WordWrap", "HideScrollBars", "HideSelection"});
}

}  // namespace

TPictureBase& PictureSlot(TPicture& picture) {
  static TPictureTarget slot;
  slot.Target = &picture;
  return slot;
}

int CharsetOf(const TFormValue& v) {
  if (v.IsInteger()) {
    if (v.Integer < 0 || v.Integer > 255) TClassInfo::Invalid();
    return v.Integer;
  }
  static const std::pair<const char*, int> kCharsets[] = {
      {"ANSI_CHARSET", 0},       {"DEFAULT_CHARSET", 1},     {"SYMBOL_CHARSET", 2},   {"MAC_CHARSET", 77},
      {"SHIFTJIS_CHARSET", 128}, {"HANGEUL_CHARSET", 129},   {"JOHAB_CHARSET", 130},  {"GB2312_CHARSET", 134},
      {"CHINESEBIG5_CHARSET", 136}, {"GREEK_CHARSET", 161},  {"TURKISH_CHARSET", 162}, {"VIETNAMESE_CHARSET", 163},
      {"HEBREW_CHARSET", 177},   {"ARABIC_CHARSET", 178},    {"BALTIC_CHARSET", 186}, {"RUSSIAN_CHARSET", 204},
      {"THAI_CHARSET", 222},     {"EASTEUROPE_CHARSET", 238}, {"OEM_CHARSET", 255}};
  if (v.Type == TValueType::vaIdent)
    for (const auto& c : kCharsets)
      if (v.Text == c.first) return c.second;
  TClassInfo::Invalid();
}

void RegisterControlClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  TClassInfo& font = RegisterClassInfo("TFont", "", nullptr);
  FontProperties(font);
  RegisterClassInfo("TPicture", "", nullptr);
  ControlProperties(RegisterClassInfo("TControl", "TComponent", nullptr));
  WinControlProperties(RegisterClassInfo("TWinControl", "TControl", nullptr));
  RegisterClassInfo("TGraphicControl", "TControl", nullptr);
  PanelProperties(RegisterClassInfo("TCustomPanel", "TWinControl", nullptr));
  RegisterClassInfo("TPanel", "TCustomPanel", [](TComponent* owner) -> TComponent* { return new TPanel(owner); });
  LabelProperties(
      RegisterClassInfo("TLabel", "TWinControl", [](TComponent* owner) -> TComponent* { return new TLabel(owner); }));
  ImageProperties(
      RegisterClassInfo("TImage", "TGraphicControl", [](TComponent* owner) -> TComponent* { return new TImage(owner); }));
  BevelProperties(
      RegisterClassInfo("TBevel", "TGraphicControl", [](TComponent* owner) -> TComponent* { return new TBevel(owner); }));
  FormProperties(RegisterClassInfo("TForm", "TWinControl", nullptr));
  RegisterClassInfo("TStrings", "", nullptr)
      .Strings<TStringsSlot>("Strings", [](TStringsSlot& o, const std::vector<std::string>& v) { o.Assign(v); });
  auto factory = [](auto* tag) {
    using T = std::remove_pointer_t<decltype(tag)>;
    return [](TComponent* owner) -> TComponent* { return new T(owner); };
  };
  ButtonProperties(RegisterClassInfo("TButton", "TWinControl", factory(static_cast<TButton*>(nullptr))));
  BitBtnProperties(RegisterClassInfo("TBitBtn", "TButton", factory(static_cast<TBitBtn*>(nullptr))));
  EditProperties(RegisterClassInfo("TEdit", "TWinControl", factory(static_cast<TEdit*>(nullptr))));
  RegisterClassInfo("TGroupBox", "TWinControl", factory(static_cast<TGroupBox*>(nullptr)));
  RadioGroupProperties(RegisterClassInfo("TRadioGroup", "TGroupBox", factory(static_cast<TRadioGroup*>(nullptr))));
  ListBoxProperties(RegisterClassInfo("TListBox", "TWinControl", factory(static_cast<TListBox*>(nullptr))));
  ProgressBarProperties(
      RegisterClassInfo("TProgressBar", "TWinControl", factory(static_cast<TProgressBar*>(nullptr))));
  TabControlProperties(RegisterClassInfo("TTabControl", "TWinControl", factory(static_cast<TTabControl*>(nullptr))));
  RichEditProperties(RegisterClassInfo("TRichEdit", "TWinControl", factory(static_cast<TRichEdit*>(nullptr))));
}
