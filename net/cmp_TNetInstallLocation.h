// Network install locations: a server's login information and the download
// of one remote file at a time into a local file over FTP or HTTP, through
// the system's internet library, loaded at run time.
//
// A Hostname may end in ":port" to reach a server on another port than the
// protocol's default.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Classes.h"
#include "WinHandles.h"
#include "cmp_TFileContainer.h"
#include "exceptions_Tarnwick.h"
#include "routines_Cancel.h"

enum TInternetProtocol : std::uint8_t { ipFTP = 0, ipHTTP = 1 };

// Failures of the internet library itself; their messages are not extended.
TW_EXCEPTION(ENIL_FailLoadWININET, Exception);
TW_EXCEPTION(ENIL_FailLoadDLLProc, Exception);
TW_EXCEPTION(ENIL_WriteDestFile, Exception);
// Failures talking to the server.
TW_EXCEPTION(ENIL_OpenSession, ENIL);
TW_EXCEPTION(ENIL_OpenService, ENIL);
TW_EXCEPTION(ENIL_FTPSetDir, ENIL);
TW_EXCEPTION(ENIL_FTPOpenFile, ENIL);
TW_EXCEPTION(ENIL_FTPCloseFile, ENIL);
TW_EXCEPTION(ENIL_HTTPOpenFile, ENIL);
TW_EXCEPTION(ENIL_HTTPSendRequest, ENIL);
TW_EXCEPTION(ENIL_FailDataQuery, ENIL);
TW_EXCEPTION(ENIL_ReadFile, ENIL);
TW_EXCEPTION(ENIL_FileNotFound, ENIL);
// The list of all locations was misused.
TW_EXCEPTION(IENetList, IException);

class TCustomNetInstallLocation;

class TCustomLoginInformation : public TPersistent {
public:
  const char* ClassName() const override { return "TCustomLoginInformation"; }
  // Copies all six properties from another login information.
  void Assign(const TPersistent& source) override;

  bool Anonymous() const { return anonymous_; }
  void SetAnonymous(bool value) { anonymous_ = value; }
  const std::string& Directory() const { return directory_; }
  void SetDirectory(const std::string& value) { directory_ = value; }
  const std::string& Hostname() const { return hostname_; }
  void SetHostname(const std::string& value) { hostname_ = value; }
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& value) { password_ = value; }
  TInternetProtocol Protocol() const { return protocol_; }
  void SetProtocol(TInternetProtocol value) { protocol_ = value; }
  const std::string& Username() const { return username_; }
  void SetUsername(const std::string& value) { username_ = value; }

private:
  bool anonymous_ = true;
  std::string directory_;
  std::string hostname_;
  std::string password_;
  TInternetProtocol protocol_ = ipHTTP;
  std::string username_;
};

class TLoginInformation : public TCustomLoginInformation {
public:
  explicit TLoginInformation(TCustomNetInstallLocation* owner) : Owner(owner) {}
  const char* ClassName() const override { return "TLoginInformation"; }
  TCustomNetInstallLocation* const Owner;
};

using TNetNotifyEvent = std::function<void(TComponent* sender)>;
using TAfterDownloadEvent = std::function<void(TComponent* sender, bool aborted)>;

class TCustomNetInstallLocation : public TComponent {
public:
  explicit TCustomNetInstallLocation(TComponent* owner);
  ~TCustomNetInstallLocation() override;
  const char* ClassName() const override { return "TCustomNetInstallLocation"; }

  void LoadProcedures();
  void Connect();
  void Disconnect();
  // Fetches one remote file into the local file.
  void Download(const std::string& remoteName, const std::string& localFile);
  // Stops the running download at its next block; each download starts
  // without it. The install run's cancel (InstallCancel) stops a download
  // as well.
  void AbortDownload() { abort_.Request(); }
  // Whether the running or last download was stopped.
  bool DownloadAborted() const;
  bool IsLoginComplete() const;
  static std::string ToServerPath(const std::string& text);

  TLoginInformation& LoginInformation() { return *loginInformation_; }
  const TLoginInformation& LoginInformation() const { return *loginInformation_; }
  void SetLoginInformation(const TCustomLoginInformation& value) { loginInformation_->Assign(value); }

  bool ProceduresLoaded() const { return proceduresLoaded_; }
  // The names of the current or last download.
  const std::string& RemoteName() const { return remoteName_; }
  const std::string& LocalFile() const { return localFile_; }
  bool Connected() const { return static_cast<bool>(connection_); }
  // The server's last response text, "No server response" when there is none.
  std::string LastResponse() const;

  TAfterDownloadEvent OnAfterDownload;
  TNetNotifyEvent OnAfterConnect;
  TNetNotifyEvent OnBeforeDownload;
  TNetNotifyEvent OnBeforeConnect;
  TDataReceivedEvent OnDataReceived;
  // Set by a file-related object for the duration of its own download.
  TDataReceivedEvent OnFileDataReceived;
  TFileRelated* DownloadingFile = nullptr;

private:
  struct TEntryPoints;

  void CopyData();
  void CloseRemote();
  // A handle of the loaded library, closed by it.
  TInternetHandle Own(void* handle) const;
  std::string RemoteObject() const;

  bool proceduresLoaded_ = false;
  std::string localFile_;
  TInternetHandle remote_;
  void* library_ = nullptr;
  TInternetHandle session_;
  TInternetHandle connection_;
  std::string remoteName_;
  std::string connectedTo_;   // protocol, host and user of the connection
  std::string ftpDirectory_;  // the server directory set on the connection
  TEntryPoints* api_;
  TLoginInformation* loginInformation_;
  TCancelRequest abort_;
};

// The published location of a project.
class TNetInstallLocation : public TCustomNetInstallLocation {
public:
  using TCustomNetInstallLocation::TCustomNetInstallLocation;
  const char* ClassName() const override { return "TNetInstallLocation"; }
};

// Every location of the process, in creation order.
class TCustomNetInstallLocationList {
public:
  void Add(TCustomNetInstallLocation* location);
  void Remove(TCustomNetInstallLocation* location);
  int Count() const { return static_cast<int>(items_.size()); }
  TCustomNetInstallLocation* Items(int index) const { return items_.at(static_cast<std::size_t>(index)); }

private:
  std::vector<TCustomNetInstallLocation*> items_;
};
TCustomNetInstallLocationList& NetInstallLocations();

// The current network location of the process (the install's NetLocation).
extern TCustomNetInstallLocation* CurrentNetLocation;
// The location that last connected; named in error messages.
extern TCustomNetInstallLocation* ConnectedNetLocation;
// The internet library the locations load ("WININET.DLL").
extern std::string NetLibraryName;

// The symbolic name of an internet library error code.
std::string InternetErrorName(unsigned long code);

// Registers the stream classes and installs the model's access to locations.
void RegisterNetLocationClasses();
