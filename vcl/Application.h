// The application object: title, main form, message loop, termination
// request and the handling of exceptions that reach the loop.
#pragma once
#include <exception>
#include <functional>
#include <string>

#include "Classes.h"

class TApplication : public TComponent {
public:
  explicit TApplication(TComponent* owner);
  const char* ClassName() const override { return "TApplication"; }

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }
  // The main form (a TForm); the application runs while it exists.
  TComponent* MainForm() const { return mainForm_; }
  void SetMainForm(TComponent* form);

  // Runs the message loop until termination is requested.
  void Run();
  // Requests the end of the message loop; takes effect when control
  // returns to the loop.
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Handles every pending message, then returns.
  void ProcessMessages();
  // Waits for and handles one message; false once termination was requested.
  bool HandleMessage();

  // Exceptions that reach the loop: EAbort is silent; others go to
  // OnException when set, else to ShowException. Window procedures catch
  // what their handlers raise and pass it here.
  void HandleException(const std::exception& e);
  // A message box with the exception's message and the application's title.
  void ShowException(const std::exception& e);
  std::function<void(const std::exception&)> OnException;

  void Notification(TComponent* component, TOperation operation) override;

private:
  bool ProcessMessage();
  std::string title_;
  TComponent* mainForm_ = nullptr;
  bool terminated_ = false;
};

// The program's application object.
extern TApplication* Application;
