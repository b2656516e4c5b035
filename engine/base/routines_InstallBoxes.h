// The message boxes of the install driver (build and transfer failures, the
// disk prompt, the reboot failure, the exception box of a failed run) and
// its access to the translator's target language. Both go through
// replaceable hooks so that a caller without a user (tests, scripts) can
// answer them.
#pragma once
#include <exception>
#include <functional>
#include <string>

// Answers a box: text and MB_* flags in, IDOK/IDCANCEL/... out.
using TInstallBoxHook = std::function<int(const std::string& text, unsigned flags)>;
extern TInstallBoxHook InstallBoxHook;

// A plain message box with the application's title (or the hook's answer).
// In a silent installation the text goes to the log instead and the box's
// default button answers.
int InstallMessageBox(const std::string& text, unsigned flags);
// A question for the person at the screen even in a silent installation
// (the Cancel of the copy progress asks under /SILENT).
int AskInstallQuestion(const std::string& text, unsigned flags);
// The application's exception box (or the hook, with MB_ICONSTOP); the log
// in a silent installation.
void ShowInstallException(const std::exception& e);

// The translator's target language ordinal, while a translator exists. The
// translator installs both; Get answers false when there is none.
struct TTargetLanguageAccess {
  std::function<bool(int& ordinal)> Get;
  std::function<void(int ordinal)> Set;
};
extern TTargetLanguageAccess TargetLanguage;
// The ordinal used when no translator exists.
constexpr int kDefaultLanguageOrdinal = 20;
