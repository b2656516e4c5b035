// The engine's exception family. IException and its descendants pass their
// text through the message translator before formatting it.
#pragma once
#include <functional>
#include <string>

#include "SysUtils.h"

// Failures that end an installation run.
TW_EXCEPTION(EAI, Exception);
// The user cancelled the installation.
class EAIUserAbort : public EAI {
public:
  EAIUserAbort() : EAI("Installation aborted by the user") {}
  const char* ClassName() const override { return "EAIUserAbort"; }
};
TW_EXCEPTION(EAICannotExpandContainerDirMV, EAI);
TW_EXCEPTION(EAICannotExpandInstallDirMV, EAI);
// The user cancelled the floppy transfer.
TW_EXCEPTION(EUserAbortInstall, Exception);

TW_EXCEPTION(ECustomTarnwickAbnormal, Exception);
TW_EXCEPTION(ETarnwickAbnormal, ECustomTarnwickAbnormal);
TW_EXCEPTION(ETrnwCompress, ETarnwickAbnormal);
TW_EXCEPTION(EtcDiskFull, ETrnwCompress);
TW_EXCEPTION(EtcAborted, ETrnwCompress);
TW_EXCEPTION(EAPIRoutines, ETarnwickAbnormal);
TW_EXCEPTION(EProgramLauncher, ETarnwickAbnormal);
// A program could not be started; keeps the system error code.
class EProgramLauncherFailed : public EProgramLauncher {
public:
  EProgramLauncherFailed(const std::string& message, int errorCode)
      : EProgramLauncher(message), ErrorCode(errorCode) {}
  const char* ClassName() const override { return "EProgramLauncherFailed"; }
  int ErrorCode;
};

// Translates a message text; installed by the translator while one exists.
using TMessageTranslationHook = std::function<std::string(const std::string&)>;
void SetMessageTranslationHook(TMessageTranslationHook hook);
std::string TranslateExceptionMessage(const std::string& text);

class IException : public ECustomTarnwickAbnormal {
public:
  explicit IException(const std::string& message)
      : ECustomTarnwickAbnormal(TranslateExceptionMessage(message)) {}
  IException(const std::string& format, std::initializer_list<TFormatArg> args)
      : ECustomTarnwickAbnormal(Format(TranslateExceptionMessage(format), args)) {}
  const char* ClassName() const override { return "IException"; }
};

TW_EXCEPTION(IEInstall, IException);
TW_EXCEPTION(IEInstallNetLocNil, IEInstall);
TW_EXCEPTION(IEInstallHardLink, IException);
TW_EXCEPTION(IEPathSpecifier, IException);
TW_EXCEPTION(IEPathSpecifierList, IException);
TW_EXCEPTION(IEPathSpecifierClassList, IException);
TW_EXCEPTION(IEInstallContainer, IException);
TW_EXCEPTION(IEFileRelated, IException);
TW_EXCEPTION(IEFileRel_NoNetLocation, IEFileRelated);
TW_EXCEPTION(IEFileContainer, IException);
TW_EXCEPTION(IEfcDuplicateFile, IEFileContainer);
TW_EXCEPTION(IEfcSetAttributes, IEFileContainer);
TW_EXCEPTION(IENoTarnwickPath, IException);
TW_EXCEPTION(IECustomInstallFile, IException);
TW_EXCEPTION(IECustomInstallFileList, IException);
TW_EXCEPTION(IEContainerList, IException);
TW_EXCEPTION(IEInstallGroup, IException);
TW_EXCEPTION(IEUninstallEXE, IException);
TW_EXCEPTION(IEInstallShellLink, IException);
TW_EXCEPTION(IEShellLinkGroup, IException);
TW_EXCEPTION(IEInstallShellLinkList, IException);

// A COM call failed.
TW_EXCEPTION(EOleSysError, Exception);
// A registry value could not be written.
TW_EXCEPTION(EIRCannotWriteValue, Exception);
// Network install locations. Every ENIL message is extended with the last
// system error, the server and its last response; the network unit installs
// the extension.
using TNILMessageHook = std::string (*)(const std::string& text);
extern TNILMessageHook NILMessageHook;
std::string ExtendNILMessage(const std::string& text);

class ENIL : public Exception {
public:
  explicit ENIL(const std::string& message) : Exception(ExtendNILMessage(message)) {}
  ENIL(const std::string& format, std::initializer_list<TFormatArg> args)
      : Exception(ExtendNILMessage(Format(format, args))) {}
  const char* ClassName() const override { return "ENIL"; }
};
