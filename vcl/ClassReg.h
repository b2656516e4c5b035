// Class metadata for streaming: registered classes, their factories and their
// published properties.
//
// Registration API (call from the class's own .cpp, at static-init time):
//
//   static TClassRegistrar<TMyThing> regMyThing("TMyThing", "TComponent",
//       [](TClassInfo& c) {
//         c.Integer<TMyThing>("Order", [](TMyThing& o, int v) { o.SetOrder(v); });
//         c.String<TMyThing>("DestDir", [](TMyThing& o, const std::string& v) { o.SetDestDir(v); });
//         c.Boolean<TMyThing>("Include", [](TMyThing& o, bool v) { o.Include = v; });
//         c.Enum<TMyThing>("Kind", {"kA", "kB"}, [](TMyThing& o, int ordinal) { ... });
//         c.Set<TMyThing>("Types", {"itFull", "itDefault"}, [](TMyThing& o, unsigned bits) { ... });
//         c.Reference<TMyThing>("Container", [](TMyThing& o, TComponent* v) { ... });
//         c.Event<TMyThing>("OnCreate", [](TMyThing& o, TComponent* form, const std::string& m) { ... });
//         c.Nested<TMyThing>("Information", "TInfo", [](TMyThing& o) -> TPersistent& { return o.Info; });
//         c.Strings<TMyThing>("Lines", [](TMyThing& o, const std::vector<std::string>& v) { ... });
//         c.Picture<TMyThing>("Glyph", [](TMyThing& o) -> TPersistent& { return o.Glyph; });
//       });
//
// The factory is `new TMyThing(owner)`; pass a nullptr factory in
// TClassRegistrar's fourth argument for nested (non-component) classes.
// Properties of the base class named second are inherited. A getter can be
// given to String() for callers that walk string properties.
//
// The linker drops an object file of a static library that nothing
// references, and its registrars with it: a unit whose classes are reached
// only through streams exports a registration function (RegisterXxxClasses)
// that the program calls at start, or is referenced otherwise.
//
// Pictures: a Picture() property is read from `<name>.Data`; the graphic's
// class name stored there and its data go to TPictureBase::LoadGraphic,
// which picks the graphic class.
#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Classes.h"
#include "FormStream.h"

class TClassInfo;

enum class TPropKind {
  pkInteger, pkString, pkBoolean, pkEnum, pkSet, pkReference, pkEvent, pkStrings,
  pkBinary, pkColor, pkNested, pkPicture
};

struct TPropContext {
  TComponent* Root;  // the form being read
  // Resolves a component name now or records a fix-up that calls `assign`.
  std::function<void(const std::string& name, std::function<void(TComponent*)> assign)> Resolve;
};

struct TPropInfo {
  std::string Name;
  TPropKind Kind;
  std::vector<std::string> Idents;  // enumeration or set element names
  std::string NestedClass;          // pkNested
  // Assigns a stream value; raises EReadError("Invalid property value") on a mismatch.
  std::function<void(TPersistent& obj, const TFormValue& value, TPropContext& ctx)> Set;
  std::function<std::string(TPersistent& obj)> GetString;  // optional
  std::function<TPersistent&(TPersistent& obj)> GetNested; // pkNested, pkPicture
};

using TComponentFactory = std::function<TComponent*(TComponent* owner)>;

class TClassInfo {
public:
  std::string Name;
  std::string Parent;
  TComponentFactory Factory;
  std::vector<TPropInfo> Props;

  // A property of this class or its registered ancestors, or nullptr.
  const TPropInfo* FindProp(const std::string& name) const;

  template <class T>
  void Integer(const std::string& n, std::function<void(T&, int)> f) {
    Add(n, TPropKind::pkInteger, [f](TPersistent& o, const TFormValue& v, TPropContext&) {
      f(Cast<T>(o), IntOf(v));
    });
  }
  template <class T>
  void Color(const std::string& n, std::function<void(T&, std::uint32_t)> f) {
    Add(n, TPropKind::pkColor, [f](TPersistent& o, const TFormValue& v, TPropContext&) {
      f(Cast<T>(o), ColorOf(v));
    });
  }
  template <class T>
  void String(const std::string& n, std::function<void(T&, const std::string&)> f,
              std::function<std::string(T&)> get = nullptr) {
    TPropInfo& p = Add(n, TPropKind::pkString, [f](TPersistent& o, const TFormValue& v, TPropContext&) {
      f(Cast<T>(o), StrOf(v));
    });
    if (get) p.GetString = [get](TPersistent& o) { return get(Cast<T>(o)); };
  }
  template <class T>
  void Boolean(const std::string& n, std::function<void(T&, bool)> f) {
    Add(n, TPropKind::pkBoolean, [f](TPersistent& o, const TFormValue& v, TPropContext&) {
      f(Cast<T>(o), BoolOf(v));
    });
  }
  template <class T>
  void Enum(const std::string& n, std::vector<std::string> idents, std::function<void(T&, int)> f) {
    TPropInfo& p = Add(n, TPropKind::pkEnum, nullptr);
    p.Idents = idents;
    p.Set = [f, idents](TPersistent& o, const TFormValue& v, TPropContext&) {
      f(Cast<T>(o), OrdinalOf(v, idents));
    };
  }
  template <class T>
  void Set(const std::string& n, std::vector<std::string> idents, std::function<void(T&, unsigned)> f) {
    TPropInfo& p = Add(n, TPropKind::pkSet, nullptr);
    p.Idents = idents;
    p.Set = [f, idents](TPersistent& o, const TFormValue& v, TPropContext&) {
      f(Cast<T>(o), SetBitsOf(v, idents));
    };
  }
  template <class T>
  void Reference(const std::string& n, std::function<void(T&, TComponent*)> f) {
    Add(n, TPropKind::pkReference, [f](TPersistent& o, const TFormValue& v, TPropContext& ctx) {
      T* obj = &Cast<T>(o);
      if (v.Type == TValueType::vaNull) return;
      if (v.Type != TValueType::vaIdent) Invalid();
      ctx.Resolve(v.Text, [f, obj](TComponent* c) { f(*obj, c); });
    });
  }
  template <class T>
  void Event(const std::string& n, std::function<void(T&, TComponent* form, const std::string&)> f) {
    Add(n, TPropKind::pkEvent, [f](TPersistent& o, const TFormValue& v, TPropContext& ctx) {
      if (v.Type != TValueType::vaIdent) Invalid();
      f(Cast<T>(o), ctx.Root, v.Text);
    });
  }
  template <class T>
  void Strings(const std::string& n, std::function<void(T&, const std::vector<std::string>&)> f) {
    Add(n, TPropKind::pkStrings, [f](TPersistent& o, const TFormValue& v, TPropContext&) {
      if (v.Type != TValueType::vaList) Invalid();
      std::vector<std::string> lines;
      for (const auto& e : v.List) lines.push_back(StrOf(e));
      f(Cast<T>(o), lines);
    });
  }
  template <class T>
  void IntegerList(const std::string& n, std::function<void(T&, const std::vector<int>&)> f) {
    Add(n, TPropKind::pkStrings, [f](TPersistent& o, const TFormValue& v, TPropContext&) {
      if (v.Type != TValueType::vaList) Invalid();
      std::vector<int> items;
      for (const auto& e : v.List) items.push_back(IntOf(e));
      f(Cast<T>(o), items);
    });
  }
  template <class T>
  void Binary(const std::string& n, std::function<void(T&, const std::string&)> f) {
    Add(n, TPropKind::pkBinary, [f](TPersistent& o, const TFormValue& v, TPropContext&) {
      if (v.Type != TValueType::vaBinary) Invalid();
      f(Cast<T>(o), v.Text);
    });
  }
  template <class T>
  void Nested(const std::string& n, const std::string& nestedClass, std::function<TPersistent&(T&)> get) {
    TPropInfo& p = Add(n, TPropKind::pkNested, nullptr);
    p.NestedClass = nestedClass;
    p.GetNested = [get](TPersistent& o) -> TPersistent& { return get(Cast<T>(o)); };
  }
  // A picture: read through `<name>.Data`; the object returned must be a TPictureBase.
  template <class T>
  void Picture(const std::string& n, std::function<TPersistent&(T&)> get) {
    TPropInfo& p = Add(n, TPropKind::pkPicture, nullptr);
    p.GetNested = [get](TPersistent& o) -> TPersistent& { return get(Cast<T>(o)); };
  }

  // Any stream value, for properties of their own shape.
  template <class T>
  void Raw(const std::string& n, std::function<void(T&, const TFormValue&)> f) {
    Add(n, TPropKind::pkBinary, [f](TPersistent& o, const TFormValue& v, TPropContext&) {
      f(Cast<T>(o), v);
    });
  }

  template <class T>
  static T& Cast(TPersistent& o) {
    return static_cast<T&>(o);
  }
  [[noreturn]] static void Invalid();
  static int IntOf(const TFormValue& v);
  static std::uint32_t ColorOf(const TFormValue& v);
  static std::string StrOf(const TFormValue& v);
  static bool BoolOf(const TFormValue& v);
  static int OrdinalOf(const TFormValue& v, const std::vector<std::string>& idents);
  static unsigned SetBitsOf(const TFormValue& v, const std::vector<std::string>& idents);

private:
  TPropInfo& Add(const std::string& n, TPropKind k,
                 std::function<void(TPersistent&, const TFormValue&, TPropContext&)> set);
};

// The class table.
TClassInfo& RegisterClassInfo(const std::string& name, const std::string& parent,
                              TComponentFactory factory);
const TClassInfo* FindClassInfo(const std::string& name);

template <class T>
struct TClassRegistrar {
  TClassRegistrar(const char* name, const char* parent, std::function<void(TClassInfo&)> props,
                  TComponentFactory factory = [](TComponent* owner) -> TComponent* { return new T(owner); }) {
    TClassInfo& c = RegisterClassInfo(name, parent, std::move(factory));
    if (props) props(c);
  }
};

// Colour identifiers (clBtnFace ...) and their values; the form toolkit
// registers the system colours.
void RegisterColorIdent(const std::string& name, std::uint32_t value);

// A picture property's target: receives the graphic class name and its data.
class TPictureBase : public TPersistent {
public:
  virtual void LoadGraphic(const std::string& graphicClass, const std::string& data) = 0;
};
