#include "FormReader.h"

#include <cctype>

namespace {

struct TFixup {
  std::string Name;
  std::string Where;  // component.property for the error message
  std::function<void(TComponent*)> Assign;
};

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

class TFormReader {
public:
  explicit TFormReader(TComponent* root) : root_(root) {}

  void Read(const TFormObject& form) {
    const TClassInfo* info = FindClassInfo(form.ClassName);
    if (!info && !SameText(form.ClassName, root_->ClassName()))
      throw EReadError("Class %s not found", {form.ClassName});
    root_->SetLoadingState(true);
    if (!form.Name.empty()) root_->SetName(form.Name);
    loaded_.push_back(root_);
    ReadProps(*root_, info, form);
    ReadChildren(root_, form);
    for (auto& f : fixups_) {
      TComponent* c = Find(f.Name);
      if (!c)
        throw EReadError("Error reading %s: unresolved reference to component %s", {f.Where, f.Name});
      f.Assign(c);
    }
    for (TComponent* c : loaded_) c->Loaded();
  }

private:
  TComponent* Find(const std::string& name) const {
    if (SameText(name, root_->Name())) return root_;
    return root_->FindComponent(name);
  }

  bool NamedOtherThan(const std::string& name, const TComponent* self) const {
    if (SameText(name, root_->Name())) return true;
    for (int i = 0; i < root_->ComponentCount(); ++i) {
      const TComponent* c = root_->Component(i);
      if (c != self && SameText(c->Name(), name)) return true;
    }
    return false;
  }

  void ReadChildren(TComponent* parent, const TFormObject& rec) {
    for (const auto& child : rec.Children) {
      const TClassInfo* info = FindClassInfo(child.ClassName);
      if (!info || !info->Factory) throw EReadError("Class %s not found", {child.ClassName});
      TComponent* c = info->Factory(root_);
      c->SetLoadingState(true);
      // A class may resolve a clash itself when named (it renames the other).
      c->SetName(child.Name);
      if (!child.Name.empty() && NamedOtherThan(child.Name, c)) {
        delete c;
        throw EReadError("A component named %s already exists", {child.Name});
      }
      loaded_.push_back(c);
      c->SetParentComponent(parent);
      ReadProps(*c, info, child);
      ReadChildren(c, child);
    }
  }

  void ReadProps(TComponent& comp, const TClassInfo* info, const TFormObject& rec) {
    for (const auto& p : rec.Properties) {
      const std::string where = rec.Name + "." + p.Name;
      try {
        SetProp(comp, info, p.Name, p.Value, where);
      } catch (const EReadError& e) {
        if (e.Message().rfind("Error reading ", 0) == 0) throw;
        throw EReadError("Error reading %s: %s", {where, e.Message()});
      }
    }
  }

  void SetProp(TPersistent& obj, const TClassInfo* info, const std::string& name,
               const TFormValue& value, const std::string& where) {
    // Walk dotted names through nested objects.
    TPersistent* target = &obj;
    std::string rest = name;
    for (int depth = 0;; ++depth) {
      std::size_t dot = rest.find('.');
      std::string head = rest.substr(0, dot);
      const TPropInfo* prop = info ? info->FindProp(head) : nullptr;
      if (!prop) throw EReadError("Property %s does not exist", {name});
      if (dot == std::string::npos) {
        if (prop->Kind == TPropKind::pkNested || prop->Kind == TPropKind::pkPicture || !prop->Set)
          throw EReadError("Property %s does not exist", {name});
        TPropContext ctx{root_, [&](const std::string& n, std::function<void(TComponent*)> assign) {
                           if (TComponent* c = Find(n)) assign(c);
                           else fixups_.push_back({n, where, std::move(assign)});
                         }};
        prop->Set(*target, value, ctx);
        return;
      }
      rest = rest.substr(dot + 1);
      if (prop->Kind == TPropKind::pkPicture) {
        if (rest != "Data") throw EReadError("Property %s does not exist", {name});
        LoadPicture(prop->GetNested(*target), value);
        return;
      }
      if (prop->Kind != TPropKind::pkNested || depth > 16)
        throw EReadError("Property %s does not exist", {name});
      target = &prop->GetNested(*target);
      info = FindClassInfo(prop->NestedClass);
    }
  }

  static void LoadPicture(TPersistent& target, const TFormValue& value) {
    auto* pic = dynamic_cast<TPictureBase*>(&target);
    if (!pic || value.Type != TValueType::vaBinary) TClassInfo::Invalid();
    const std::string& d = value.Text;
    if (d.empty()) TClassInfo::Invalid();
    std::size_t len = static_cast<unsigned char>(d[0]);
    if (len == 0 || len + 1 > d.size()) TClassInfo::Invalid();
    pic->LoadGraphic(d.substr(1, len), d.substr(1 + len));
  }

  TComponent* root_;
  std::vector<TComponent*> loaded_;
  std::vector<TFixup> fixups_;
};

}  // namespace

void ReadForm(TComponent* root, const TFormObject& form) {
  TFormReader r(root);
  r.Read(form);
}

void ReadForm(TComponent* root, const void* data, std::size_t size) {
  ReadForm(root, ParseFormStream(data, size));
}
