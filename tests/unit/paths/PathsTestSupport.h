// Helpers of the path specifier tests: a saved registry value that is put
// back as it was, and a form with a stand-in install component.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "cmp_TInstallContainer.h"
#include "cmp_TPathSpecifier.h"

namespace pathstest {

// Remembers one registry value (or its absence) and restores it exactly,
// type included, when destroyed.
class TSavedValue {
public:
  TSavedValue(HKEY root, const std::string& key, const std::string& name) : root_(root), key_(key), name_(name) {
    HKEY h;
    if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(h, name_.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
      data_.resize(size);
      if (RegQueryValueExA(h, name_.c_str(), nullptr, &type, data_.data(), &size) == ERROR_SUCCESS) {
        existed_ = true;
        type_ = type;
        data_.resize(size);
      }
    }
    RegCloseKey(h);
  }
  ~TSavedValue() {
    if (existed_) {
      HKEY h;
      if (RegCreateKeyExA(root_, key_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(h, name_.c_str(), 0, type_, data_.data(), static_cast<DWORD>(data_.size()));
        RegCloseKey(h);
      }
    } else {
      Remove();
    }
  }
  TSavedValue(const TSavedValue&) = delete;
  TSavedValue& operator=(const TSavedValue&) = delete;

  bool Existed() const { return existed_; }
  void Set(const std::string& value) {
    HKEY h;
    if (RegCreateKeyExA(root_, key_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
      return;
    RegSetValueExA(h, name_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(h);
  }
  void Remove() {
    HKEY h;
    if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_SET_VALUE, &h) != ERROR_SUCCESS) return;
    RegDeleteValueA(h, name_.c_str());
    RegCloseKey(h);
  }

private:
  HKEY root_;
  std::string key_, name_;
  bool existed_ = false;
  DWORD type_ = REG_SZ;
  std::vector<BYTE> data_;
};

// The install component of a test project: a root container with a
// destination.
class TTestInstall : public TInstallContainer {
public:
  explicit TTestInstall(TComponent* owner) : TInstallContainer(owner) {
    SetName("Install1");
    CurrentInstall = this;
  }
  ~TTestInstall() override {
    if (CurrentInstall == this) CurrentInstall = nullptr;
  }
  const char* ClassName() const override { return "TPathsTestInstall"; }
  int Rank() const override { return 1000; }
};

// An install object below a container.
class TTestObject : public TInstallObject {
public:
  TTestObject(TComponent* owner, const std::string& name) : TInstallObject(owner) { SetName(name); }
  const char* ClassName() const override { return "TPathsTestObject"; }
  int Rank() const override { return 3000; }
};

// A form that owns everything a test creates; the standard specifiers are
// created on it. Path specifier links are reset afterwards.
class TProject {
public:
  TProject() : form(new TComponent(nullptr)) {
    RegisterPathSpecifierClasses();
    StandardPathSpecifiers().CreateStandardSpecifiers(form.get(), true);
  }
  ~TProject() {
    form.reset();
    PathSpecifierLinks() = TPathSpecifierLinks();
  }
  template <class T>
  T* Specifier() {
    return StandardPathSpecifiers().FindByClass<T>();
  }
  std::unique_ptr<TComponent> form;
};

}  // namespace pathstest
