#include "FormReader.h"

namespace {

struct TFixup {
  std::string Name;
  std::string Where;  // component.property for the error message
  int Line;
  std::function<void(TComponent*)> Assign;
};

class TFormReader {
public:
  explicit TFormReader(TComponent* root) : root_(root) {}

  void Read(const TFormObject& form) {
    const TClassInfo* info = FindClassInfo(form.ClassName);
    if (!info && !SameText(form.ClassName, root_->ClassName()))
      throw EReadError(AtLine(form.Line, "Class %s not found"), {form.ClassName});
    root_->SetLoadingState(true);
    if (!form.Name.empty()) root_->SetName(form.Name);
    loaded_.push_back(root_);
    ReadProps(*root_, info, form);
    ReadChildren(root_, form);
    for (auto& f : fixups_) {
      TComponent* c = Find(f.Name);
      if (!c)
        throw EReadError(AtLine(f.Line, "Error reading %s: unresolved reference to component %s"), {f.Where, f.Name});
      f.Assign(c);
    }
    for (TComponent* c : loaded_) c->Loaded();
  }

private:
  TComponent* Find(const std::string& name) const {
    if (SameText(name, root_->Name())) return root_;
    return root_->FindComponent(name);
  }

  bool NameTaken(const std::string& name, const TComponent* except) const {
    for (int i = 0; i < root_->ComponentCount(); ++i) {
      const TComponent* other = root_->Component(i);
      if (other != except && SameText(other->Name(), name)) return true;
    }
    return false;
  }

  void ReadChildren(TComponent* parent, const TFormObject& rec) {
    for (const auto& child : rec.Children) {
      const TClassInfo* info = FindClassInfo(child.ClassName);
      if (!info || !info->Factory) throw EReadError(AtLine(child.Line, "Class %s not found"), {child.ClassName});
      if (!child.Name.empty() && SameText(child.Name, root_->Name()))
        throw EReadError(AtLine(child.Line, "A component named %s already exists"), {child.Name});
      TComponent* c = info->Factory(root_);
      c->SetLoadingState(true);
      // A component may give up its name to a streamed one (a container's
      // own path specifier does); any other clash is an error.
      c->SetName(child.Name);
      if (!child.Name.empty() && NameTaken(child.Name, c)) {
        delete c;
        throw EReadError(AtLine(child.Line, "A component named %s already exists"), {child.Name});
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
      line_ = p.Line;
      try {
        SetProp(comp, info, p.Name, p.Value, where);
      } catch (const EReadError& e) {
        if (e.Message().rfind("Error reading ", 0) == 0 || e.Message().rfind("Form text, ", 0) == 0) throw;
        throw EReadError(AtLine(p.Line, "Error reading %s: %s"), {where, e.Message()});
      } catch (const Exception& e) {
        // A setter's own refusal, told with the text form's line when there is one.
        if (p.Line <= 0) throw;
        throw EReadError(AtLine(p.Line, "Error reading %s: %s"), {where, e.Message()});
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
                           else fixups_.push_back({n, where, line_, std::move(assign)});
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

  // A message format with the text form's line in front, when it is known.
  static std::string AtLine(int line, const char* format) {
    return line > 0 ? "Form text, line " + std::to_string(line) + ": " + format : std::string(format);
  }

  TComponent* root_;
  int line_ = 0;  // of the property being read
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
