#include "Classes.h"

#include <algorithm>

#include "SysUtils.h"

void TPersistent::Assign(const TPersistent& source) {
  throw Exception(Format("Cannot assign a %s to a %s", {source.ClassName(), ClassName()}));
}

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  BeginDestroy();
  // Owned components go first, last created first.
  while (!components_.empty()) {
    TComponent* c = components_.back();
    delete c;  // its destructor removes it from this list
  }
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::BeginDestroy() {
  if (destroyStarted_) return;
  destroyStarted_ = true;
  state_.Include(TComponentStateItem::csDestroying);
  // Components that asked to hear about this one forget it.
  std::vector<TComponent*> listeners;
  listeners.swap(freeNotifies_);
  for (TComponent* l : listeners) {
    l->RemoveFreeNotification(this);
    l->Notification(this, opRemove);
  }
  if (owner_) owner_->NotifyAll(this, opRemove);
}

void TComponent::SetName(const std::string& name) { name_ = name; }

void TComponent::SetLoadingState(bool on) {
  if (on) state_.Include(TComponentStateItem::csLoading);
  else state_.Exclude(TComponentStateItem::csLoading);
}

void TComponent::SetDesigning(bool on) {
  if (on) state_.Include(TComponentStateItem::csDesigning);
  else state_.Exclude(TComponentStateItem::csDesigning);
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->Name(), name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* c) {
  if (!c || c->owner_ == this) return;
  if (c->owner_) c->owner_->RemoveComponent(c);
  components_.push_back(c);
  c->owner_ = this;
  NotifyAll(c, opInsert);
}

void TComponent::RemoveComponent(TComponent* c) {
  auto it = std::find(components_.begin(), components_.end(), c);
  if (it == components_.end()) return;
  components_.erase(it);
  c->owner_ = nullptr;
}

void TComponent::FreeNotification(TComponent* c) {
  if (!c || c == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), c) == freeNotifies_.end())
    freeNotifies_.push_back(c);
  if (std::find(c->freeNotifies_.begin(), c->freeNotifies_.end(), this) == c->freeNotifies_.end())
    c->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* c) {
  freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), c), freeNotifies_.end());
}

void TComponent::NotifyAll(TComponent* c, TOperation op) {
  Notification(c, op);
  // Copy: a notification may free components.
  std::vector<TComponent*> list = components_;
  for (TComponent* other : list)
    if (other != c &&
        std::find(components_.begin(), components_.end(), other) != components_.end())
      other->Notification(c, op);
}

void TComponent::Loaded() { SetLoadingState(false); }

void TComponent::Notification(TComponent*, TOperation) {}
