// Persistent objects and components: ownership, names, state flags,
// loading and removal notifications.
#pragma once
#include <string>
#include <vector>

#include "Sets.h"

class TPersistent {
public:
  virtual ~TPersistent() = default;
  // Copies the state of source; the base refuses with EConvertError-like text.
  virtual void Assign(const TPersistent& source);
  virtual const char* ClassName() const { return "TPersistent"; }
};

enum class TComponentStateItem : unsigned char {
  csLoading, csReading, csWriting, csDestroying, csDesigning, csAncestor, csUpdating, csFixups
};
using TComponentState = TSet<TComponentStateItem, unsigned short>;

enum TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const char* ClassName() const override { return "TComponent"; }

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  virtual void SetName(const std::string& name);
  long Tag() const { return tag_; }
  void SetTag(long tag) { tag_ = tag; }

  TComponentState ComponentState() const { return state_; }
  bool IsLoading() const { return state_.Contains(TComponentStateItem::csLoading); }
  bool IsDesigning() const { return state_.Contains(TComponentStateItem::csDesigning); }
  bool IsDestroying() const { return state_.Contains(TComponentStateItem::csDestroying); }
  void SetLoadingState(bool on);   // set by the stream reader
  void SetDesigning(bool on);

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Component(int i) const { return components_.at(static_cast<size_t>(i)); }
  TComponent* FindComponent(const std::string& name) const;

  // Adds or removes a component from this owner's list (ownership moves).
  void InsertComponent(TComponent* c);
  void RemoveComponent(TComponent* c);

  // Asks to be told when `c` is destroyed although this does not own it.
  void FreeNotification(TComponent* c);
  void RemoveFreeNotification(TComponent* c);

  // Called once after the whole form was read.
  virtual void Loaded();
  // Gives a component read from a stream the component whose record holds
  // it (controls take it as their parent window).
  virtual void SetParentComponent(TComponent* parent) {}
  // Told when a component is inserted or removed; clears weak references.
  virtual void Notification(TComponent* component, TOperation operation);

protected:
  // Marks the component as being destroyed and sends the removal
  // notifications; derived destructors call it first so that overrides of
  // Notification still run on a complete object.
  void BeginDestroy();

private:
  void NotifyAll(TComponent* c, TOperation op);

  TComponent* owner_ = nullptr;
  std::string name_;
  long tag_ = 0;
  TComponentState state_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  bool destroyStarted_ = false;
};
