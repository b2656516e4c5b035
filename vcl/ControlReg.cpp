#include "ControlReg.h"

#include "Controls.h"

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
  c.Boolean<TControl>("Visible", [](TControl& o, bool v) { o.SetVisible(v); });
  c.Boolean<TControl>("Enabled", [](TControl& o, bool v) { o.SetEnabled(v); });
  Ignored<TControl>(c, {"ParentColor", "ShowHint", "ParentShowHint", "Constraints", "DesignSize", "Anchors",
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
  Ignored<TLabel>(c, {"Layout", "FocusControl", "ShowAccelChar"});
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

// An event identifier names a method the form defined; an unknown one is a
// stream error like an unknown property.
std::function<void(TComponent*)> FormMethod(TComponent* form, const std::string& name) {
  auto* f = dynamic_cast<TForm*>(form);
  TNotifyEvent m = f ? f->MethodAddress(name) : TNotifyEvent();
  if (!m) throw EReadError("Invalid property value");
  return m;
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
  Ignored<TForm>(c, {"OldCreateOrder", "PixelsPerInch", "TextHeight", "Scaled", "WindowState", "FormStyle",
                     "KeyPreview", "AutoScroll", "BorderIcons"});
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
      RegisterClassInfo("TLabel", "TGraphicControl", [](TComponent* owner) -> TComponent* { return new TLabel(owner); }));
  ImageProperties(
      RegisterClassInfo("TImage", "TGraphicControl", [](TComponent* owner) -> TComponent* { return new TImage(owner); }));
  BevelProperties(
      RegisterClassInfo("TBevel", "TGraphicControl", [](TComponent* owner) -> TComponent* { return new TBevel(owner); }));
  FormProperties(RegisterClassInfo("TForm", "TWinControl", nullptr));
}
