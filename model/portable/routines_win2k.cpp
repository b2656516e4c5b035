#include "routines_win2k.h"

TControlPanelExtensionInformation::TControlPanelExtensionInformation(TComponent* owner)
    : TComponent(owner) {}

TControlPanelExtensionInformation::~TControlPanelExtensionInformation() {
  BeginDestroy();
  Release(displayIcon_);
  Release(readMe_);
}

void TControlPanelExtensionInformation::Assign(const TPersistent& source) {
  auto* other = dynamic_cast<const TControlPanelExtensionInformation*>(&source);
  if (!other) {
    TComponent::Assign(source);
    return;
  }
  if (other == this) return;
  SetReference(displayIcon_, other->displayIcon_.file, other->displayIcon_.component);
  helpLink_ = other->helpLink_;
  helpTelephone_ = other->helpTelephone_;
  SetReference(readMe_, other->readMe_.file, other->readMe_.component);
  urlInfoAbout_ = other->urlInfoAbout_;
  productID_ = other->productID_;
  urlUpdateInfo_ = other->urlUpdateInfo_;
  comments_ = other->comments_;
  contact_ = other->contact_;
}

void TControlPanelExtensionInformation::SetReference(TFileReference& ref, TCustomInstallFile* file,
                                                     TComponent* component) {
  if (ref.component == component) return;
  Release(ref);
  ref.file = file;
  ref.component = component;
  if (component) FreeNotification(component);
}

void TControlPanelExtensionInformation::Release(TFileReference& ref) {
  TComponent* old = ref.component;
  ref = TFileReference();
  if (!old) return;
  // Keep hearing about the file while the other reference still holds it.
  if (displayIcon_.component != old && readMe_.component != old) {
    RemoveFreeNotification(old);
    old->RemoveFreeNotification(this);
  }
}

void TControlPanelExtensionInformation::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove || !component) return;
  if (displayIcon_.component == component) displayIcon_ = TFileReference();
  if (readMe_.component == component) readMe_ = TFileReference();
}
