#include "ClassReg.h"

#include <map>

namespace {
std::map<std::string, TClassInfo>& Classes() {
  static std::map<std::string, TClassInfo> m;
  return m;
}
std::map<std::string, std::uint32_t>& Colors() {
  static std::map<std::string, std::uint32_t> m;
  return m;
}
}  // namespace

TClassInfo& RegisterClassInfo(const std::string& name, const std::string& parent,
                              TComponentFactory factory) {
  TClassInfo& c = Classes()[name];
  c.Name = name;
  c.Parent = parent;
  c.Factory = std::move(factory);
  return c;
}

const TClassInfo* FindClassInfo(const std::string& name) {
  auto it = Classes().find(name);
  return it == Classes().end() ? nullptr : &it->second;
}

void RegisterColorIdent(const std::string& name, std::uint32_t value) { Colors()[name] = value; }

const TPropInfo* TClassInfo::FindProp(const std::string& name) const {
  int guard = 0;
  for (const TClassInfo* c = this; c && guard < 64; c = FindClassInfo(c->Parent), ++guard)
    for (const auto& p : c->Props)
      if (p.Name == name) return &p;
  return nullptr;
}

TPropInfo& TClassInfo::Add(const std::string& n, TPropKind k,
                           std::function<void(TPersistent&, const TFormValue&, TPropContext&)> set) {
  for (auto& p : Props)
    if (p.Name == n) {
      p = TPropInfo{n, k, {}, {}, std::move(set), nullptr, nullptr};
      return p;
    }
  Props.push_back(TPropInfo{n, k, {}, {}, std::move(set), nullptr, nullptr});
  return Props.back();
}

void TClassInfo::Invalid() { throw EReadError("Invalid property value"); }

int TClassInfo::IntOf(const TFormValue& v) {
  if (!v.IsInteger()) Invalid();
  return v.Integer;
}

std::uint32_t TClassInfo::ColorOf(const TFormValue& v) {
  if (v.IsInteger()) return static_cast<std::uint32_t>(v.Integer);
  if (v.Type == TValueType::vaIdent) {
    auto it = Colors().find(v.Text);
    if (it != Colors().end()) return it->second;
  }
  Invalid();
}

std::string TClassInfo::StrOf(const TFormValue& v) {
  if (v.Type != TValueType::vaString) Invalid();
  return v.Text;
}

bool TClassInfo::BoolOf(const TFormValue& v) {
  if (v.Type == TValueType::vaTrue) return true;
  if (v.Type == TValueType::vaFalse) return false;
  Invalid();
}

int TClassInfo::OrdinalOf(const TFormValue& v, const std::vector<std::string>& idents) {
  if (v.Type == TValueType::vaIdent)
    for (std::size_t i = 0; i < idents.size(); ++i)
      if (idents[i] == v.Text) return static_cast<int>(i);
  Invalid();
}

unsigned TClassInfo::SetBitsOf(const TFormValue& v, const std::vector<std::string>& idents) {
  if (v.Type != TValueType::vaSet) Invalid();
  unsigned bits = 0;
  for (const auto& e : v.Set) {
    std::size_t i = 0;
    while (i < idents.size() && idents[i] != e) ++i;
    if (i == idents.size() || i >= 32) Invalid();
    bits |= 1u << i;
  }
  return bits;
}

// Properties every component stores: Tag, and the design positions of
// non-visual components, which mean nothing at run time.
static TClassRegistrar<TComponent> regComponent("TComponent", "", [](TClassInfo& c) {
  c.Integer<TComponent>("Tag", [](TComponent& o, int v) { o.SetTag(v); });
  c.Integer<TComponent>("Left", [](TComponent&, int) {});
  c.Integer<TComponent>("Top", [](TComponent&, int) {});
}, nullptr);
