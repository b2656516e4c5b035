// Extended uninstall information that the Windows 2000 control panel shows
// for an installed product (support links, telephone, read-me, icon).
#pragma once
#include <cstddef>
#include <string>
#include <type_traits>

#include "Classes.h"

class TCustomInstallFile;

class TControlPanelExtensionInformation : public TComponent {
public:
  explicit TControlPanelExtensionInformation(TComponent* owner);
  ~TControlPanelExtensionInformation() override;

  const char* ClassName() const override { return "TControlPanelExtensionInformation"; }
  // Copies every property of another extension information.
  void Assign(const TPersistent& source) override;

  // The install file whose installed path is the product's icon. The
  // reference does not own the file and is cleared when the file goes.
  TCustomInstallFile* DisplayIcon() const { return displayIcon_.file; }
  template <typename F>
  void SetDisplayIcon(F* file) { SetReference(displayIcon_, CheckedFile(file), file); }
  void SetDisplayIcon(std::nullptr_t) { SetReference(displayIcon_, nullptr, nullptr); }

  const std::string& HelpLink() const { return helpLink_; }
  void SetHelpLink(const std::string& v) { helpLink_ = v; }
  const std::string& HelpTelephone() const { return helpTelephone_; }
  void SetHelpTelephone(const std::string& v) { helpTelephone_ = v; }

  // The install file that is the product's read-me; a reference as DisplayIcon.
  TCustomInstallFile* ReadMe() const { return readMe_.file; }
  template <typename F>
  void SetReadMe(F* file) { SetReference(readMe_, CheckedFile(file), file); }
  void SetReadMe(std::nullptr_t) { SetReference(readMe_, nullptr, nullptr); }

  const std::string& URLInfoAbout() const { return urlInfoAbout_; }
  void SetURLInfoAbout(const std::string& v) { urlInfoAbout_ = v; }
  const std::string& ProductID() const { return productID_; }
  void SetProductID(const std::string& v) { productID_ = v; }
  const std::string& URLUpdateInfo() const { return urlUpdateInfo_; }
  void SetURLUpdateInfo(const std::string& v) { urlUpdateInfo_ = v; }
  const std::string& Comments() const { return comments_; }
  void SetComments(const std::string& v) { comments_ = v; }
  const std::string& Contact() const { return contact_; }
  void SetContact(const std::string& v) { contact_ = v; }

  void Notification(TComponent* component, TOperation operation) override;

private:
  // A weak reference to an install file, kept beside the component it is,
  // so that its removal can be recognised without knowing the file's class.
  struct TFileReference {
    TCustomInstallFile* file = nullptr;
    TComponent* component = nullptr;
  };

  template <typename F>
  static TCustomInstallFile* CheckedFile(F* file) {
    static_assert(std::is_same<F, TCustomInstallFile>::value || std::is_base_of<TCustomInstallFile, F>::value,
                  "the reference must be an install file");
    return file;
  }
  void SetReference(TFileReference& ref, TCustomInstallFile* file, TComponent* component);
  void Release(TFileReference& ref);

  TFileReference displayIcon_;
  std::string helpLink_;
  std::string helpTelephone_;
  TFileReference readMe_;
  std::string urlInfoAbout_;
  std::string productID_;
  std::string urlUpdateInfo_;
  std::string comments_;
  std::string contact_;
};
