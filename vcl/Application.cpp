#include "Application.h"

#include <windows.h>

#include "Controls.h"
#include "SysUtils.h"

TApplication* Application = nullptr;

TApplication::TApplication(TComponent* owner) : TComponent(owner) {}

void TApplication::SetMainForm(TComponent* form) {
  if (mainForm_ == form) return;
  if (mainForm_) mainForm_->RemoveFreeNotification(this);
  mainForm_ = form;
  if (form) form->FreeNotification(this);
}

void TApplication::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == mainForm_) mainForm_ = nullptr;
}

void TApplication::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  PostQuitMessage(0);
}

bool TApplication::ProcessMessage() {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
  } else {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

void TApplication::ProcessMessages() {
  // Within a long operation: the quit request stays queued for the loops
  // that end on it, the modal ones included.
  if (::ProcessMessages()) terminated_ = true;
}

bool TApplication::HandleMessage() {
  if (terminated_) return false;
  if (!ProcessMessage() && !terminated_) WaitMessage();
  return !terminated_;
}

void TApplication::Run() {
  while (!terminated_) {
    try {
      HandleMessage();
    } catch (const std::exception& e) {
      HandleException(e);
    }
  }
}

void TApplication::HandleException(const std::exception& e) {
  if (dynamic_cast<const EAbort*>(&e)) return;
  if (OnException) OnException(e);
  else ShowException(e);
}

void TApplication::ShowException(const std::exception& e) {
  std::string text = e.what();
  if (!text.empty() && text.back() != '.') text += '.';
  MessageBoxA(GetActiveWindow(), text.c_str(), title_.c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}
