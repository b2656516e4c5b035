#include "cmp_TNetInstallLocation.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstring>
#include <cctype>
#include <cstdlib>

#include "Application.h"
#include "ClassReg.h"
#include "WinHandles.h"
#include "cmp_TTrnwCompress.h"
#include "routines_Log.h"
#include "routines_Strings.h"

TCustomNetInstallLocation* CurrentNetLocation = nullptr;
TCustomNetInstallLocation* ConnectedNetLocation = nullptr;

namespace {
void InstallModelAccess();
}
std::string NetLibraryName = "WININET.DLL";

namespace {

constexpr char kNoResponse[] = "No server response";
constexpr DWORD kBlockSize = 8192;
// Reload, reuse an existing connection, keep the data out of the cache.
constexpr DWORD kHttpRequestFlags = 0xA4000000;

struct TErrorName {
  DWORD Code;
  const char* Name;
};

#define E(n) {n, #n}
const TErrorName kErrorNames[] = {
    E(ERROR_INTERNET_OUT_OF_HANDLES), E(ERROR_INTERNET_TIMEOUT), E(ERROR_INTERNET_EXTENDED_ERROR),
    E(ERROR_INTERNET_INTERNAL_ERROR), E(ERROR_INTERNET_INVALID_URL), E(ERROR_INTERNET_UNRECOGNIZED_SCHEME),
    E(ERROR_INTERNET_NAME_NOT_RESOLVED), E(ERROR_INTERNET_PROTOCOL_NOT_FOUND), E(ERROR_INTERNET_INVALID_OPTION),
    E(ERROR_INTERNET_BAD_OPTION_LENGTH), E(ERROR_INTERNET_OPTION_NOT_SETTABLE), E(ERROR_INTERNET_SHUTDOWN),
    E(ERROR_INTERNET_INCORRECT_USER_NAME), E(ERROR_INTERNET_INCORRECT_PASSWORD), E(ERROR_INTERNET_LOGIN_FAILURE),
    E(ERROR_INTERNET_INVALID_OPERATION), E(ERROR_INTERNET_OPERATION_CANCELLED),
    E(ERROR_INTERNET_INCORRECT_HANDLE_TYPE), E(ERROR_INTERNET_INCORRECT_HANDLE_STATE),
    E(ERROR_INTERNET_NOT_PROXY_REQUEST), E(ERROR_INTERNET_REGISTRY_VALUE_NOT_FOUND),
    E(ERROR_INTERNET_BAD_REGISTRY_PARAMETER), E(ERROR_INTERNET_NO_DIRECT_ACCESS), E(ERROR_INTERNET_NO_CONTEXT),
    E(ERROR_INTERNET_NO_CALLBACK), E(ERROR_INTERNET_REQUEST_PENDING), E(ERROR_INTERNET_INCORRECT_FORMAT),
    E(ERROR_INTERNET_ITEM_NOT_FOUND), E(ERROR_INTERNET_CANNOT_CONNECT), E(ERROR_INTERNET_CONNECTION_ABORTED),
    E(ERROR_INTERNET_CONNECTION_RESET), E(ERROR_INTERNET_FORCE_RETRY), E(ERROR_INTERNET_INVALID_PROXY_REQUEST),
    E(ERROR_INTERNET_NEED_UI), E(ERROR_INTERNET_HANDLE_EXISTS), E(ERROR_INTERNET_SEC_CERT_DATE_INVALID),
    E(ERROR_INTERNET_SEC_CERT_CN_INVALID), E(ERROR_INTERNET_HTTP_TO_HTTPS_ON_REDIR),
    E(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR), E(ERROR_INTERNET_MIXED_SECURITY),
    E(ERROR_INTERNET_CHG_POST_IS_NON_SECURE), E(ERROR_INTERNET_POST_IS_NON_SECURE),
    E(ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED), E(ERROR_INTERNET_INVALID_CA),
    E(ERROR_INTERNET_CLIENT_AUTH_NOT_SETUP), E(ERROR_INTERNET_ASYNC_THREAD_FAILED),
    E(ERROR_INTERNET_REDIRECT_SCHEME_CHANGE), E(ERROR_INTERNET_DIALOG_PENDING), E(ERROR_INTERNET_RETRY_DIALOG),
    E(ERROR_INTERNET_HTTPS_HTTP_SUBMIT_REDIR), E(ERROR_INTERNET_INSERT_CDROM),
    E(ERROR_INTERNET_FORTEZZA_LOGIN_NEEDED), E(ERROR_INTERNET_SEC_CERT_ERRORS), E(ERROR_INTERNET_SEC_CERT_NO_REV),
    E(ERROR_INTERNET_SEC_CERT_REV_FAILED), E(ERROR_FTP_TRANSFER_IN_PROGRESS), E(ERROR_FTP_DROPPED),
    E(ERROR_FTP_NO_PASSIVE_MODE), E(ERROR_GOPHER_PROTOCOL_ERROR), E(ERROR_GOPHER_NOT_FILE),
    E(ERROR_GOPHER_DATA_ERROR), E(ERROR_GOPHER_END_OF_DATA), E(ERROR_GOPHER_INVALID_LOCATOR),
    E(ERROR_GOPHER_INCORRECT_LOCATOR_TYPE), E(ERROR_GOPHER_NOT_GOPHER_PLUS), E(ERROR_GOPHER_ATTRIBUTE_NOT_FOUND),
    E(ERROR_GOPHER_UNKNOWN_LOCATOR), E(ERROR_HTTP_HEADER_NOT_FOUND), E(ERROR_HTTP_DOWNLEVEL_SERVER),
    E(ERROR_HTTP_INVALID_SERVER_RESPONSE), E(ERROR_HTTP_INVALID_HEADER), E(ERROR_HTTP_INVALID_QUERY_REQUEST),
    E(ERROR_HTTP_HEADER_ALREADY_EXISTS), E(ERROR_HTTP_REDIRECT_FAILED), E(ERROR_HTTP_NOT_REDIRECTED),
    E(ERROR_HTTP_COOKIE_NEEDS_CONFIRMATION), E(ERROR_HTTP_COOKIE_DECLINED),
    E(ERROR_HTTP_REDIRECT_NEEDS_CONFIRMATION), E(ERROR_INTERNET_SECURITY_CHANNEL_ERROR),
    E(ERROR_INTERNET_UNABLE_TO_CACHE_FILE), E(ERROR_INTERNET_TCPIP_NOT_INSTALLED), E(ERROR_INTERNET_DISCONNECTED),
    E(ERROR_INTERNET_SERVER_UNREACHABLE), E(ERROR_INTERNET_PROXY_SERVER_UNREACHABLE),
    E(ERROR_INTERNET_BAD_AUTO_PROXY_SCRIPT), E(ERROR_INTERNET_UNABLE_TO_DOWNLOAD_SCRIPT),
    E(ERROR_INTERNET_SEC_INVALID_CERT), E(ERROR_INTERNET_SEC_CERT_REVOKED),
    E(ERROR_INTERNET_FAILED_DUETOSECURITYCHECK), E(ERROR_INTERNET_NOT_INITIALIZED),
    E(ERROR_INTERNET_NEED_MSN_SSPI_PKG), E(ERROR_INTERNET_LOGIN_FAILURE_DISPLAY_ENTITY_BODY),
};
#undef E

std::string TrimRight(std::string s) {
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.pop_back();
  return s;
}

// "host" or "host:port": the host name and the port (0 without one).
void SplitHost(const std::string& text, std::string& host, INTERNET_PORT& port) {
  host = Trim(text);
  port = 0;
  const std::size_t colon = host.rfind(':');
  if (colon == std::string::npos || colon + 1 >= host.size()) return;
  TIntegerRules rules;
  rules.Signed = false;
  rules.Min = 1;
  rules.Max = 65535;
  long long value = 0;
  if (!ParseInteger(host.substr(colon + 1), value, rules)) return;
  port = static_cast<INTERNET_PORT>(value);
  host.erase(colon);
}

std::string ApplicationName() {
  if (Application && !Trim(Application->Title()).empty()) return Application->Title();
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return ChangeFileExt(ExtractFileName(path), "");
}

// "<text>. Error message <name>. Server <host>. Response from server <text>"
std::string ExtendedNetMessage(const std::string& text) {
  const DWORD code = GetLastError();
  std::string host;
  std::string response = kNoResponse;
  if (ConnectedNetLocation) {
    host = ConnectedNetLocation->LoginInformation().Hostname();
    response = ConnectedNetLocation->LastResponse();
  }
  return Format("%s. Error message %s. Server %s. Response from server %s",
                {text, InternetErrorName(code), host, response});
}

}  // namespace

std::string InternetErrorName(unsigned long code) {
  if (code == ERROR_INVALID_HANDLE) return "ERROR_INVALID_HANDLE";
  if (code >= INTERNET_ERROR_BASE + 1)
    for (const TErrorName& e : kErrorNames)
      if (e.Code == code) return e.Name;
  return "Unregistered error code";
}

// ------------------------------------------------------------ login information

void TCustomLoginInformation::Assign(const TPersistent& source) {
  auto* other = dynamic_cast<const TCustomLoginInformation*>(&source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  anonymous_ = other->anonymous_;
  directory_ = other->directory_;
  hostname_ = other->hostname_;
  password_ = other->password_;
  protocol_ = other->protocol_;
  username_ = other->username_;
}

// ------------------------------------------------------------ the list of locations

TCustomNetInstallLocationList& NetInstallLocations() {
  static TCustomNetInstallLocationList list;
  return list;
}

void TCustomNetInstallLocationList::Add(TCustomNetInstallLocation* location) {
  if (!location) throw IENetList("Cannot add a blank location to the global net location list");
  items_.push_back(location);
}

void TCustomNetInstallLocationList::Remove(TCustomNetInstallLocation* location) {
  items_.erase(std::remove(items_.begin(), items_.end(), location), items_.end());
}

// ------------------------------------------------------------ the location

struct TCustomNetInstallLocation::TEntryPoints {
  decltype(&::InternetGetLastResponseInfoA) GetLastResponseInfo = nullptr;
  decltype(&::InternetOpenA) Open = nullptr;
  decltype(&::InternetConnectA) ConnectTo = nullptr;
  decltype(&::FtpSetCurrentDirectoryA) FtpSetCurrentDirectory = nullptr;
  decltype(&::InternetCloseHandle) CloseHandle = nullptr;
  decltype(&::InternetQueryDataAvailable) QueryDataAvailable = nullptr;
  decltype(&::InternetReadFile) ReadFile = nullptr;
  decltype(&::FtpOpenFileA) FtpOpenFile = nullptr;
  decltype(&::HttpOpenRequestA) HttpOpenRequest = nullptr;
  decltype(&::HttpSendRequestA) HttpSendRequest = nullptr;
  decltype(&::HttpQueryInfoA) HttpQueryInfo = nullptr;
};

TCustomNetInstallLocation::TCustomNetInstallLocation(TComponent* owner)
    : TComponent(owner), api_(new TEntryPoints), loginInformation_(new TLoginInformation(this)) {
  InstallModelAccess();
  NetInstallLocations().Add(this);
}

TCustomNetInstallLocation::~TCustomNetInstallLocation() {
  if (ConnectedNetLocation == this) ConnectedNetLocation = nullptr;
  CloseRemote();
  Disconnect();
  // A handle whose close failed is left as it is: its closer goes with the
  // library.
  session_.Release();
  connection_.Release();
  if (library_) FreeLibrary(static_cast<HMODULE>(library_));
  library_ = nullptr;
  proceduresLoaded_ = false;
  delete loginInformation_;
  delete api_;
  if (CurrentNetLocation == this) CurrentNetLocation = nullptr;
  NetInstallLocations().Remove(this);
}

void TCustomNetInstallLocation::LoadProcedures() {
  if (!library_) {
    HMODULE module = LoadLibraryA(NetLibraryName.c_str());
    if (!module)
      throw ENIL_FailLoadWININET(
          "Failed to load the Wininet.dll. If this is a hybrid installation, you might want to include the "
          "WININET.DLL file in the PresetupFiles property of the TInstall component");
    library_ = module;
  }
  HMODULE module = static_cast<HMODULE>(library_);
  auto resolve = [module](auto& slot, const char* name) {
    FARPROC proc = GetProcAddress(module, name);
    if (!proc) {
      std::string shortName = name;
      if (shortName.size() > 1 && shortName.back() == 'A' && std::islower(static_cast<unsigned char>(
                                                                shortName[shortName.size() - 2])))
        shortName.pop_back();  // the ANSI suffix
      throw ENIL_FailLoadDLLProc("Failed to load the procedure %s from WININET.DLL", {shortName});
    }
    slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(reinterpret_cast<void*>(proc));
  };
  TEntryPoints& a = *api_;
  resolve(a.GetLastResponseInfo, "InternetGetLastResponseInfoA");
  resolve(a.Open, "InternetOpenA");
  resolve(a.ConnectTo, "InternetConnectA");
  resolve(a.FtpSetCurrentDirectory, "FtpSetCurrentDirectoryA");
  resolve(a.CloseHandle, "InternetCloseHandle");
  resolve(a.QueryDataAvailable, "InternetQueryDataAvailable");
  resolve(a.ReadFile, "InternetReadFile");
  resolve(a.FtpOpenFile, "FtpOpenFileA");
  resolve(a.HttpOpenRequest, "HttpOpenRequestA");
  resolve(a.HttpSendRequest, "HttpSendRequestA");
  resolve(a.HttpQueryInfo, "HttpQueryInfoA");
  proceduresLoaded_ = true;
}

void TCustomNetInstallLocation::Connect() {
  ConnectedNetLocation = this;
  if (!proceduresLoaded_) LoadProcedures();
  const TLoginInformation& login = *loginInformation_;
  if (!session_) {
    session_ = Own(api_->Open(ApplicationName().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session_) throw ENIL_OpenSession("Cannot open internet connection");
  }
  const bool ftp = login.Protocol() == ipFTP;
  const std::string directory = ftp ? ToServerPath(login.Directory()) : std::string();
  const std::string server = std::to_string(login.Protocol()) + login.Hostname() + '\n' +
                             (login.Anonymous() ? std::string() : login.Username() + '\n' + login.Password());
  // A changed login needs a new connection; so does another relative FTP
  // directory, which counts from the directory of the login.
  if (connection_ && (server != connectedTo_ || (directory[0] != '/' && !ftpDirectory_.empty() &&
                                                 directory != ftpDirectory_))) {
    connection_.Reset();
  }
  if (!connection_) {
    ftpDirectory_.clear();
    if (OnBeforeConnect) OnBeforeConnect(this);
    std::string host;
    INTERNET_PORT port = 0;
    SplitHost(login.Hostname(), host, port);
    if (!port) port = ftp ? INTERNET_DEFAULT_FTP_PORT : INTERNET_DEFAULT_HTTP_PORT;
    const char* user = nullptr;
    const char* password = nullptr;
    if (!login.Anonymous()) {
      user = login.Username().c_str();
      password = login.Password().c_str();
    } else if (!ftp) {
      user = "";
      password = "";
    }
    connection_ = Own(api_->ConnectTo(session_.Get(), host.c_str(), port, user, password,
                                      ftp ? INTERNET_SERVICE_FTP : INTERNET_SERVICE_HTTP,
                                      ftp ? INTERNET_FLAG_PASSIVE : 0, 0));
    if (!connection_) throw ENIL_OpenService("Cannot connect to host %s", {login.Hostname()});
    connectedTo_ = server;
    if (OnAfterConnect) OnAfterConnect(this);
  }
  if (ftp && (directory[0] == '/' || directory != ftpDirectory_)) {
    if (!api_->FtpSetCurrentDirectory(connection_.Get(), directory.c_str()))
      throw ENIL_FTPSetDir("Cannot set directory on server to %s", {directory});
    ftpDirectory_ = directory;
  }
}

void TCustomNetInstallLocation::Disconnect() {
  if (!proceduresLoaded_) return;
  // Each handle is forgotten when its close succeeds.
  connection_.Close();
  session_.Close();
}

std::string TCustomNetInstallLocation::ToServerPath(const std::string& text) {
  if (Trim(text).empty()) return "/";
  std::string path = text;
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

std::string TCustomNetInstallLocation::RemoteObject() const {
  std::string path = ToServerPath(AddBackslash(loginInformation_->Directory()) + remoteName_);
  if (path.empty() || path[0] != '/') path.insert(0, "/");
  return path;
}

bool TCustomNetInstallLocation::IsLoginComplete() const {
  const TLoginInformation& login = *loginInformation_;
  if (login.Anonymous()) return !Trim(login.Hostname()).empty();
  return !Trim(login.Hostname()).empty() || !Trim(login.Password()).empty() || !Trim(login.Username()).empty();
}

std::string TCustomNetInstallLocation::LastResponse() const {
  if (!proceduresLoaded_) return kNoResponse;
  char buffer[3000] = {};
  DWORD length = sizeof(buffer);
  DWORD error = 0;
  const DWORD saved = GetLastError();
  const BOOL ok = api_->GetLastResponseInfo(&error, buffer, &length);
  SetLastError(saved);
  if (!ok || length == 0) return kNoResponse;
  const std::string text = TrimRight(std::string(buffer, strnlen(buffer, std::min<DWORD>(length, sizeof(buffer)))));
  return text.empty() ? kNoResponse : text;
}

TInternetHandle TCustomNetInstallLocation::Own(void* handle) const {
  return TInternetHandle(handle, api_->CloseHandle);
}

void TCustomNetInstallLocation::CloseRemote() {
  remote_.Reset();
}

void TCustomNetInstallLocation::Download(const std::string& remoteName, const std::string& localFile) {
  // A stop asked for an earlier download does not stop this one; a cancel
  // of the run that is still standing does.
  abort_.Clear();
  Connect();
  remoteName_ = remoteName;
  localFile_ = localFile;
  if (OnBeforeDownload) OnBeforeDownload(this);
  if (loginInformation_->Protocol() == ipFTP) {
    remote_ = Own(api_->FtpOpenFile(connection_.Get(), remoteName.c_str(), GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0));
    if (!remote_) throw ENIL_FTPOpenFile("Cannot open file %s on server", {remoteName});
  } else {
    const std::string object = RemoteObject();
    remote_ = Own(api_->HttpOpenRequest(connection_.Get(), "GET", object.c_str(), nullptr, nullptr, nullptr,
                                        kHttpRequestFlags, 0));
    if (!remote_) throw ENIL_HTTPOpenFile("Cannot open file %s on server", {remoteName});
    static const char kHeaders[] = "Accept: */*\r\n\r\n";
    if (!api_->HttpSendRequest(remote_.Get(), kHeaders, static_cast<DWORD>(std::strlen(kHeaders)), nullptr, 0)) {
      ENIL_HTTPSendRequest failure("Cannot send request for file %s to the server", {remoteName});
      CloseRemote();
      throw failure;
    }
  }
  try {
    CopyData();
  } catch (...) {
    CloseRemote();
    throw;
  }
  const bool closed = remote_.Close();
  remote_.Release();
  if (!closed) throw ENIL_FTPCloseFile("Cannot close the file %s on the server", {remoteName});
  if (OnAfterDownload) OnAfterDownload(this, DownloadAborted());
}

bool TCustomNetInstallLocation::DownloadAborted() const {
  return abort_.Requested() || InstallCancel().Requested();
}

void TCustomNetInstallLocation::CopyData() {
  const bool ftp = loginInformation_->Protocol() == ipFTP;
  DWORD fileSize = 0;
  if (ftp) {
    // A data connection with nothing in it yet cannot say what it holds:
    // the size stays unknown and the reads below wait for the data.
    if (!api_->QueryDataAvailable(remote_.Get(), &fileSize, 0, 0)) {
      LogLine("No data available yet for " + remoteName_ + "; its size is not known");
      fileSize = 0;
    }
  } else {
    // An error status carries an error page, not the file.
    DWORD status = 0;
    DWORD statusLength = sizeof(status);
    if (api_->HttpQueryInfo(remote_.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &statusLength,
                            nullptr)) {
      if (status == HTTP_STATUS_NOT_FOUND || status == HTTP_STATUS_GONE)
        throw ENIL_FileNotFound("Could not find the file %s on the server", {remoteName_});
      if (status >= 400) throw ENIL_FailDataQuery("Could not query file %s on server", {remoteName_});
    }
    char length[33] = {};
    DWORD size = sizeof(length);
    if (api_->HttpQueryInfo(remote_.Get(), HTTP_QUERY_CONTENT_LENGTH, length, &size, nullptr)) {
      char* end = nullptr;
      const unsigned long value = std::strtoul(length, &end, 10);
      fileSize = (end != length && *end == '\0') ? static_cast<DWORD>(value) : 0;
    } else if (GetLastError() != ERROR_HTTP_HEADER_NOT_FOUND) {
      throw ENIL_FailDataQuery("Could not query file %s on server", {remoteName_});
    }
  }

  std::vector<char> buffer(kBlockSize);
  DWORD got = 0;
  if (!api_->ReadFile(remote_.Get(), buffer.data(), kBlockSize, &got))
    throw ENIL_ReadFile("Could not read from file %s on the server", {remoteName_});
  if (!ftp && got > 0) {
    const std::string head = UpperCase(std::string(buffer.data(), std::min<DWORD>(got, 30)));
    if (head.find("404") != std::string::npos)
      throw ENIL_FileNotFound("Could not find the file %s on the server", {remoteName_});
  }
  if (got == 0) throw ENIL_FileNotFound("Could not find the file %s on the server", {remoteName_});

  // The data goes to a sibling file first, so that a failed download leaves
  // whatever the local file held before.
  std::string directory = ExtractFileDir(localFile_);
  if (directory.empty()) directory = ".";
  char partial[MAX_PATH] = {};
  if (!GetTempFileNameA(directory.c_str(), "nil", 0, partial))
    throw ENIL_WriteDestFile("%s could not write to the local dest file %s", {Name(), localFile_});
  struct TPartial {
    const char* path;
    bool keep = false;
    ~TPartial() {
      if (!keep) DeleteFileA(path);
    }
  } cleanup{partial};
  TWinFile out(CreateFileA(partial, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) throw ENIL_WriteDestFile("%s could not write to the local dest file %s", {Name(), localFile_});

  std::uint32_t received = 0;
  while (got > 0) {
    received += got;
    if (OnDataReceived) OnDataReceived(this, remoteName_, got, received, fileSize, buffer.data());
    if (OnFileDataReceived) OnFileDataReceived(this, remoteName_, got, received, fileSize, buffer.data());
    ProcessPendingMessages();
    if (DownloadAborted()) break;
    DWORD written = 0;
    if (!WriteFile(out.Get(), buffer.data(), got, &written, nullptr) || written != got)
      throw ENIL_WriteDestFile("%s could not write to the local dest file %s", {Name(), localFile_});
    if (!api_->ReadFile(remote_.Get(), buffer.data(), kBlockSize, &got))
      throw ENIL_ReadFile("Could not read from file %s on the server", {remoteName_});
  }
  out.Reset();
  // A stopped download delivers no file: the partial one goes, the local
  // file keeps what it held.
  if (DownloadAborted()) return;
  // A connection that ends early delivers no file.
  if (fileSize > 0 && received != fileSize)
    throw ENIL_ReadFile("The file %s was received incompletely from the server: %d of %d bytes",
                        {remoteName_, static_cast<unsigned long>(received), static_cast<unsigned long>(fileSize)});
  if (!MoveFileExA(partial, localFile_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
    throw ENIL_WriteDestFile("%s could not write to the local dest file %s", {Name(), localFile_});
  cleanup.keep = true;
}

// ------------------------------------------------------------ registration

namespace {

void LoginProperties(TClassInfo& c) {
  using L = TCustomLoginInformation;
  c.Boolean<L>("Anonymous", [](L& o, bool v) { o.SetAnonymous(v); });
  c.String<L>(
      "Directory", [](L& o, const std::string& v) { o.SetDirectory(v); }, [](L& o) { return o.Directory(); });
  c.String<L>(
      "Hostname", [](L& o, const std::string& v) { o.SetHostname(v); }, [](L& o) { return o.Hostname(); });
  c.String<L>(
      "Password", [](L& o, const std::string& v) { o.SetPassword(v); }, [](L& o) { return o.Password(); });
  c.Enum<L>("Protocol", {"ipFTP", "ipHTTP"}, [](L& o, int v) { o.SetProtocol(static_cast<TInternetProtocol>(v)); });
  c.String<L>(
      "Username", [](L& o, const std::string& v) { o.SetUsername(v); }, [](L& o) { return o.Username(); });
}

void LocationProperties(TClassInfo& c) {
  c.Nested<TNetInstallLocation>("LoginInformation", "TLoginInformation",
                                [](TNetInstallLocation& o) -> TPersistent& { return o.LoginInformation(); });
}

TCustomNetInstallLocation* AsLocation(TComponent* component) {
  return dynamic_cast<TCustomNetInstallLocation*>(component);
}

void InstallModelAccess() {
  if (NILMessageHook == ExtendedNetMessage) return;
  TNetLocationAccess& net = NetLocationAccess();
  net.FromComponent = AsLocation;
  net.AsComponent = [](TCustomNetInstallLocation* location) -> TComponent* { return location; };
  net.IsLoginComplete = [](TCustomNetInstallLocation* location) { return location->IsLoginComplete(); };
  net.Hostname = [](TCustomNetInstallLocation* location) { return location->LoginInformation().Hostname(); };
  net.Directory = [](TCustomNetInstallLocation* location) { return location->LoginInformation().Directory(); };
  net.IsFTP = [](TCustomNetInstallLocation* location) { return location->LoginInformation().Protocol() == ipFTP; };
  net.Download = [](TCustomNetInstallLocation* location, TFileRelated* receiver, const std::string& remote,
                    const std::string& local) {
    struct TRegistration {
      TCustomNetInstallLocation* location;
      ~TRegistration() {
        location->DownloadingFile = nullptr;
        location->OnFileDataReceived = nullptr;
      }
    } registration{location};
    location->DownloadingFile = receiver;
    if (receiver)
      location->OnFileDataReceived = [receiver](TComponent*, const std::string& fileName, std::uint32_t bytes,
                                                std::uint32_t received, std::uint32_t fileSize,
                                                const char* buffer) {
        receiver->DownloadProgress(fileName, static_cast<int>(bytes), std::int64_t{received},
                                   std::int64_t{fileSize}, buffer);
      };
    location->Download(remote, local);
  };
  net.DownloadAborted = [](TCustomNetInstallLocation* location) { return location->DownloadAborted(); };
  NILMessageHook = ExtendedNetMessage;
}

}  // namespace

void RegisterNetLocationClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  InstallModelAccess();
  LoginProperties(RegisterClassInfo("TCustomLoginInformation", "TPersistent", nullptr));
  RegisterClassInfo("TLoginInformation", "TCustomLoginInformation", nullptr);
  RegisterClassInfo("TCustomNetInstallLocation", "TComponent",
                    [](TComponent* owner) -> TComponent* { return new TCustomNetInstallLocation(owner); });
  LocationProperties(RegisterClassInfo("TNetInstallLocation", "TCustomNetInstallLocation",
                                       [](TComponent* owner) -> TComponent* { return new TNetInstallLocation(owner); }));
}
