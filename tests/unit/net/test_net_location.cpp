// Network install locations against local HTTP and FTP servers: downloads,
// progress, failures and their messages, abort, login rules, the list of
// locations and streaming.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Controls.h"
#include "FormReader.h"
#include "NetTestSupport.h"
#include "cmp_TFileContainer.h"
#include "cmp_TInstall.h"
#include "routines_Cancel.h"
#include "uInstMain.h"

using namespace nettest;
using testsupport::FileExists;
using testsupport::Noise;
using testsupport::ReadFileText;
using testsupport::UniqueName;
using testsupport::WriteFileText;

namespace {

struct Block {
  std::uint32_t bytes, received, size;
  std::string data;
};

class NetLocation : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterNetLocationClasses();
    InstallCancel().Clear();
    owner = std::make_unique<TComponent>(nullptr);
    temp = std::make_unique<testsupport::TTempDir>("net");
    sub = UniqueName("served");
  }
  void TearDown() override {
    owner.reset();
    InstallCancel().Clear();
    testsupport::RemoveTree(Servers().Root() + "\\" + sub);
  }

  // Records every block the location reports.
  void Record(TCustomNetInstallLocation* location) {
    location->OnDataReceived = [this](TComponent*, const std::string& name, std::uint32_t bytes,
                                      std::uint32_t received, std::uint32_t size, const char* buffer) {
      blocks.push_back({bytes, received, size, std::string(buffer, bytes)});
      names.push_back(name);
    };
  }

  std::string Local(const std::string& name) const { return temp->File(name); }

  std::unique_ptr<TComponent> owner;
  std::unique_ptr<testsupport::TTempDir> temp;
  std::string sub;
  std::vector<Block> blocks;
  std::vector<std::string> names;
};

// An install that never starts a run.
class TNetProbeInstall : public TInstall {
public:
  using TInstall::TInstall;
  const char* ClassName() const override { return "TNetProbeInstall"; }
  void Install() override {}
  void ContinueAfterReboot() override {}
};

std::string Joined(const std::vector<Block>& blocks) {
  std::string all;
  for (const Block& b : blocks) all += b.data;
  return all;
}

}  // namespace

TEST_F(NetLocation, HttpDownloadIsByteForByteWithProgressReachingTheFileSize) {
  TW_REQUIRE_SERVERS();
  const std::string payload = Noise(70000, 7);
  Serve(sub + "\\deep dir\\payload.bin", payload);
  Serve(sub + "\\deep dir\\second.bin", "second file");
  // A directory written with backslashes reaches the server with slashes.
  TNetInstallLocation* location = MakeLocation(owner.get(), "HTTP", sub + "\\deep dir");
  Record(location);
  int beforeConnect = 0, afterConnect = 0, beforeDownload = 0;
  std::vector<bool> afterDownload;
  location->OnBeforeConnect = [&](TComponent* s) { beforeConnect += s == location; };
  location->OnAfterConnect = [&](TComponent* s) { afterConnect += s == location; };
  location->OnBeforeDownload = [&](TComponent* s) { beforeDownload += s == location; };
  location->OnAfterDownload = [&](TComponent*, bool aborted) { afterDownload.push_back(aborted); };

  location->Download("payload.bin", Local("payload.bin"));
  EXPECT_EQ(ReadFileText(Local("payload.bin")), payload);
  ASSERT_FALSE(blocks.empty());
  std::uint32_t total = 0;
  for (const Block& b : blocks) {
    total += b.bytes;
    EXPECT_GT(b.bytes, 0u);
    EXPECT_LE(b.bytes, 8192u);
    EXPECT_EQ(b.received, total);
    EXPECT_EQ(b.size, payload.size());
  }
  EXPECT_EQ(blocks.back().received, payload.size());
  EXPECT_EQ(Joined(blocks), payload);
  EXPECT_EQ(names.front(), "payload.bin");

  // The connection is kept for the next file; a blank directory is the root.
  location->Download("second.bin", Local("second.bin"));
  EXPECT_EQ(ReadFileText(Local("second.bin")), "second file");
  Serve("root-" + sub + ".txt", "at the root");
  location->LoginInformation().SetDirectory("");
  location->Download("root-" + sub + ".txt", Local("root.txt"));
  Unserve("root-" + sub + ".txt");
  EXPECT_EQ(ReadFileText(Local("root.txt")), "at the root");
  EXPECT_EQ(beforeConnect, 1);
  EXPECT_EQ(afterConnect, 1);
  EXPECT_EQ(beforeDownload, 3);
  EXPECT_EQ(afterDownload, (std::vector<bool>{false, false, false}));
  EXPECT_EQ(ConnectedNetLocation, location);
}

TEST_F(NetLocation, HttpWithoutALengthHasSizeZeroAndAnErrorStatusFails) {
  TW_REQUIRE_SERVERS();
  const std::string payload = Noise(20000, 13);
  Serve(sub + "\\nolength.bin", payload);
  TNetInstallLocation* location = MakeLocation(owner.get(), "PLAINHTTP", sub);
  Record(location);
  location->Download("nolength.bin", Local("nolength.bin"));
  EXPECT_EQ(ReadFileText(Local("nolength.bin")), payload);
  ASSERT_FALSE(blocks.empty());
  EXPECT_EQ(blocks.back().received, payload.size());
  for (const Block& b : blocks) EXPECT_EQ(b.size, 0u);

  const std::string message = FailureOf([&] { location->Download("500.status", Local("status.bin")); });
  EXPECT_TRUE(StartsWith(message, "ENIL_FailDataQuery: Could not query file 500.status on server. Error message "))
      << message;
  EXPECT_FALSE(FileExists(Local("status.bin")));
}

TEST_F(NetLocation, FtpDownloadsAnonymouslyAndWithALogin) {
  TW_REQUIRE_SERVERS();
  const std::string payload = Noise(50001, 11);
  Serve(sub + "\\ftp files\\payload.bin", payload);
  TNetInstallLocation* anonymous = MakeLocation(owner.get(), "FTP", sub + "\\ftp files", "nlAnonymous");
  Record(anonymous);
  anonymous->Download("payload.bin", Local("anonymous.bin"));
  EXPECT_EQ(ReadFileText(Local("anonymous.bin")), payload);
  ASSERT_FALSE(blocks.empty());
  EXPECT_EQ(blocks.back().received, payload.size());
  EXPECT_EQ(Joined(blocks), payload);

  TNetInstallLocation* login = MakeLocation(owner.get(), "FTPLOGIN", "/" + sub + "/ftp files", "nlLogin");
  login->Download("payload.bin", Local("login.bin"));
  EXPECT_EQ(ReadFileText(Local("login.bin")), payload);

  // The login server refuses anonymous users.
  TNetInstallLocation* refused = MakeLocation(owner.get(), "FTPLOGIN", sub, "nlRefused");
  refused->LoginInformation().SetAnonymous(true);
  const std::string message = FailureOf([&] { refused->Download("payload.bin", Local("refused.bin")); });
  EXPECT_TRUE(StartsWith(message, "ENIL_OpenService: Cannot connect to host " + Servers().Host("FTPLOGIN") +
                                      ". Error message "))
      << message;
  EXPECT_FALSE(FileExists(Local("refused.bin")));
}

TEST_F(NetLocation, ChangedLoginOrRelativeDirectoryIsReachedAfresh) {
  TW_REQUIRE_SERVERS();
  Serve(sub + "\\one\\file.txt", "first");
  Serve(sub + "\\two\\file.txt", "second");
  TNetInstallLocation* location = MakeLocation(owner.get(), "FTP", sub + "\\one");
  int connects = 0;
  location->OnAfterConnect = [&](TComponent*) { ++connects; };
  location->Download("file.txt", Local("a.txt"));
  location->Download("file.txt", Local("b.txt"));
  // Relative directories count from the login directory, not from the last one.
  location->LoginInformation().SetDirectory(sub + "\\two");
  location->Download("file.txt", Local("c.txt"));
  location->LoginInformation().SetDirectory("/" + sub + "/one");
  location->Download("file.txt", Local("d.txt"));
  EXPECT_EQ(ReadFileText(Local("a.txt")), "first");
  EXPECT_EQ(ReadFileText(Local("b.txt")), "first");
  EXPECT_EQ(ReadFileText(Local("c.txt")), "second");
  EXPECT_EQ(ReadFileText(Local("d.txt")), "first");
  EXPECT_EQ(connects, 2);

  // Another server or protocol is a new connection.
  location->LoginInformation().SetHostname(Servers().Host("HTTP"));
  location->LoginInformation().SetProtocol(ipHTTP);
  location->LoginInformation().SetDirectory(sub + "\\two");
  location->Download("file.txt", Local("e.txt"));
  EXPECT_EQ(ReadFileText(Local("e.txt")), "second");
  EXPECT_EQ(connects, 3);
  location->Disconnect();
  EXPECT_FALSE(location->Connected());
}

TEST_F(NetLocation, MissingFilesFailAsNotFoundAndKeepTheLocalFile) {
  TW_REQUIRE_SERVERS();
  WriteFileText(Local("kept.bin"), "was here before");
  TNetInstallLocation* http = MakeLocation(owner.get(), "HTTP", sub, "nlHttp");
  Serve(sub + "\\present.txt", "present");
  const std::string server = ". Server " + Servers().Host("HTTP") + ". Response from server ";

  std::string message = FailureOf([&] { http->Download("missing.bin", Local("kept.bin")); });
  EXPECT_TRUE(StartsWith(message, "ENIL_FileNotFound: Could not find the file missing.bin on the server. "
                                  "Error message "))
      << message;
  EXPECT_NE(message.find(server), std::string::npos) << message;

  // An error page served as the file, and an empty file, are not found either.
  Serve(sub + "\\errorpage.htm", "<html><title>404 Not Found</title>" + std::string(9000, 'x'));
  Serve(sub + "\\empty.bin", "");
  message = FailureOf([&] { http->Download("errorpage.htm", Local("kept.bin")); });
  EXPECT_TRUE(StartsWith(message, "ENIL_FileNotFound: Could not find the file errorpage.htm on the server."))
      << message;
  message = FailureOf([&] { http->Download("empty.bin", Local("kept.bin")); });
  EXPECT_TRUE(StartsWith(message, "ENIL_FileNotFound: Could not find the file empty.bin on the server."))
      << message;
  EXPECT_EQ(ReadFileText(Local("kept.bin")), "was here before");
  // A connection that ends before the announced length is no download.
  Serve(sub + "\\whole.bin", Noise(40000, 5));
  TNetInstallLocation* plain = MakeLocation(owner.get(), "PLAINHTTP", sub, "nlPlain");
  message = FailureOf([&] { plain->Download("whole.bin.short", Local("kept.bin")); });
  EXPECT_TRUE(StartsWith(message, "ENIL_ReadFile: The file whole.bin.short was received incompletely from the "
                                  "server: 20000 of 40000 bytes"))
      << message;
  EXPECT_EQ(ReadFileText(Local("kept.bin")), "was here before");

  TNetInstallLocation* ftp = MakeLocation(owner.get(), "FTP", sub, "nlFtp");
  message = FailureOf([&] { ftp->Download("missing.bin", Local("kept.bin")); });
  EXPECT_TRUE(StartsWith(message, "ENIL_FTPOpenFile: Cannot open file missing.bin on server. Error message "
                                  "ERROR_INTERNET_EXTENDED_ERROR. Server " +
                                      Servers().Host("FTP") + ". Response from server 550"))
      << message;
  message = FailureOf([&] { ftp->Download("present.txt", temp->File("no such dir\\present.txt")); });
  EXPECT_TRUE(StartsWith(message, "ENIL_WriteDestFile: nlFtp could not write to the local dest file " +
                                      temp->File("no such dir\\present.txt")))
      << message;
  // A directory the server lacks.
  ftp->LoginInformation().SetDirectory(sub + "\\nowhere");
  message = FailureOf([&] { ftp->Download("present.txt", Local("kept.bin")); });
  EXPECT_TRUE(StartsWith(message, "ENIL_FTPSetDir: Cannot set directory on server to " + sub +
                                      "/nowhere. Error message ERROR_INTERNET_EXTENDED_ERROR. Server "))
      << message;
  EXPECT_NE(message.find("Response from server 550"), std::string::npos) << message;
  EXPECT_EQ(ReadFileText(Local("kept.bin")), "was here before");

  // The location still works after the failures.
  ftp->LoginInformation().SetDirectory(sub);
  ftp->Download("present.txt", Local("kept.bin"));
  EXPECT_EQ(ReadFileText(Local("kept.bin")), "present");
}

TEST_F(NetLocation, ClosedPortCannotConnect) {
  TW_REQUIRE_SERVERS();
  const std::string host = "127.0.0.1:" + Servers().Value("CLOSED_PORT");
  TNetInstallLocation* http = MakeLocation(owner.get(), "HTTP", sub, "nlHttp");
  http->LoginInformation().SetHostname(host);
  std::string message = FailureOf([&] { http->Download("file.bin", Local("file.bin")); });
  EXPECT_EQ(message, "ENIL_HTTPSendRequest: Cannot send request for file file.bin to the server. Error message "
                     "ERROR_INTERNET_CANNOT_CONNECT. Server " +
                         host + ". Response from server No server response");

  TNetInstallLocation* ftp = MakeLocation(owner.get(), "FTP", sub, "nlFtp");
  ftp->LoginInformation().SetHostname(host);
  message = FailureOf([&] { ftp->Download("file.bin", Local("file.bin")); });
  EXPECT_TRUE(StartsWith(message, "ENIL_OpenService: Cannot connect to host " + host +
                                      ". Error message ERROR_INTERNET_CANNOT_CONNECT. Server " + host +
                                      ". Response from server "))
      << message;
  EXPECT_FALSE(ftp->Connected());
  EXPECT_FALSE(FileExists(Local("file.bin")));
}

TEST_F(NetLocation, AbortStopsAtTheNextBlockLeavesTheLocalFileAndTheNextDownloadRunsInFull) {
  TW_REQUIRE_SERVERS();
  const std::string payload = Noise(200000, 3);
  Serve(sub + "\\big.bin", payload);
  const std::string small = Noise(5000, 4);
  Serve(sub + "\\small.bin", small);
  for (const char* server : {"HTTP", "FTP"}) {
    SCOPED_TRACE(server);
    blocks.clear();
    InstallCancel().Clear();
    TNetInstallLocation* location = MakeLocation(owner.get(), server, sub, std::string("nl") + server);
    std::vector<bool> after;
    location->OnAfterDownload = [&](TComponent*, bool aborted) { after.push_back(aborted); };
    location->OnDataReceived = [&](TComponent*, const std::string&, std::uint32_t bytes, std::uint32_t received,
                                   std::uint32_t size, const char* buffer) {
      blocks.push_back({bytes, received, size, std::string(buffer, bytes)});
      if (blocks.size() == 2) location->AbortDownload();
    };
    const std::string local = Local(std::string("big-") + server + ".bin");
    WriteFileText(local, "the earlier copy");
    location->Download("big.bin", local);
    ASSERT_EQ(blocks.size(), 2u);
    // Nothing of the stopped download is moved into place or left beside it.
    const std::string kept = ReadFileText(local);
    EXPECT_TRUE(kept == "the earlier copy") << kept.size() << " bytes";
    WIN32_FIND_DATAA fd;
    HANDLE partial = FindFirstFileA(Local("nil*.tmp").c_str(), &fd);
    EXPECT_EQ(partial, INVALID_HANDLE_VALUE) << fd.cFileName;
    if (partial != INVALID_HANDLE_VALUE) FindClose(partial);
    EXPECT_EQ(after, std::vector<bool>{true});

    // The flag of the stopped download does not stop the next one.
    Record(location);
    blocks.clear();
    location->Download("small.bin", local);
    const std::string next = ReadFileText(local);
    EXPECT_TRUE(next == small) << next.size() << " bytes";
    EXPECT_EQ(after, (std::vector<bool>{true, false}));
  }
}

TEST_F(NetLocation, LoginCompletenessAndServerPaths) {
  TNetInstallLocation* location = MakeLocation(owner.get(), "HTTP", "");
  TLoginInformation& login = location->LoginInformation();
  login.SetHostname("  ");
  EXPECT_FALSE(location->IsLoginComplete());
  login.SetHostname("example.invalid");
  EXPECT_TRUE(location->IsLoginComplete());
  login.SetAnonymous(false);
  login.SetHostname(" ");
  EXPECT_FALSE(location->IsLoginComplete());
  login.SetUsername(" someone ");
  EXPECT_TRUE(location->IsLoginComplete());
  login.SetUsername("");
  login.SetPassword("secret");
  EXPECT_TRUE(location->IsLoginComplete());

  EXPECT_EQ(TCustomNetInstallLocation::ToServerPath("  "), "/");
  EXPECT_EQ(TCustomNetInstallLocation::ToServerPath("\\pub\\files\\"), "/pub/files/");

  // Defaults and assignment of all six properties.
  TLoginInformation fresh(nullptr);
  EXPECT_TRUE(fresh.Anonymous());
  EXPECT_EQ(fresh.Protocol(), ipHTTP);
  login.SetDirectory("d");
  login.SetProtocol(ipFTP);
  fresh.Assign(login);
  EXPECT_FALSE(fresh.Anonymous());
  EXPECT_EQ(fresh.Directory(), "d");
  EXPECT_EQ(fresh.Hostname(), " ");
  EXPECT_EQ(fresh.Password(), "secret");
  EXPECT_EQ(fresh.Protocol(), ipFTP);
  EXPECT_EQ(fresh.Username(), "");
  EXPECT_EQ(&login.Owner->LoginInformation(), &login);
}

TEST_F(NetLocation, ErrorNamesAndMessagesWithoutAServer) {
  EXPECT_EQ(InternetErrorName(12029), "ERROR_INTERNET_CANNOT_CONNECT");
  EXPECT_EQ(InternetErrorName(12003), "ERROR_INTERNET_EXTENDED_ERROR");
  EXPECT_EQ(InternetErrorName(12150), "ERROR_HTTP_HEADER_NOT_FOUND");
  EXPECT_EQ(InternetErrorName(6), "ERROR_INVALID_HANDLE");
  EXPECT_EQ(InternetErrorName(5), "Unregistered error code");
  EXPECT_EQ(InternetErrorName(12000), "Unregistered error code");

  // Without a connected location: no server and no response.
  ConnectedNetLocation = nullptr;
  SetLastError(12002);
  const std::string message = FailureOf([] { throw ENIL_ReadFile("Could not read from file %s on the server", {"x"}); });
  EXPECT_EQ(message, "ENIL_ReadFile: Could not read from file x on the server. Error message "
                     "ERROR_INTERNET_TIMEOUT. Server . Response from server No server response");
  // Library failures are not extended.
  EXPECT_EQ(FailureOf([] { throw ENIL_WriteDestFile("%s could not write to the local dest file %s", {"a", "b"}); }),
            "ENIL_WriteDestFile: a could not write to the local dest file b");
}

TEST_F(NetLocation, LibraryFailuresNameTheLibraryOrTheMissingProcedure) {
  const std::string saved = NetLibraryName;
  TNetInstallLocation* location = MakeLocation(owner.get(), "HTTP", "");
  NetLibraryName = "nosuchinet.dll";
  const std::string missingLibrary = FailureOf([&] { location->Download("a", Local("a")); });
  NetLibraryName = testsupport::BinDir() + "\\partialinet.dll";
  const std::string missingProcedure = FailureOf([&] { location->LoadProcedures(); });
  NetLibraryName = saved;
  EXPECT_EQ(missingLibrary,
            "ENIL_FailLoadWININET: Failed to load the Wininet.dll. If this is a hybrid installation, you might want "
            "to include the WININET.DLL file in the PresetupFiles property of the TInstall component");
  EXPECT_EQ(missingProcedure, "ENIL_FailLoadDLLProc: Failed to load the procedure InternetConnect from WININET.DLL");
  EXPECT_FALSE(location->ProceduresLoaded());
}

TEST_F(NetLocation, EveryLocationIsListedAndForgottenWhenDestroyed) {
  const int before = NetInstallLocations().Count();
  auto* first = MakeLocation(owner.get(), "HTTP", "", "nlFirst");
  auto* second = MakeLocation(owner.get(), "FTP", "", "nlSecond");
  ASSERT_EQ(NetInstallLocations().Count(), before + 2);
  EXPECT_EQ(NetInstallLocations().Items(before), first);
  EXPECT_EQ(NetInstallLocations().Items(before + 1), second);
  EXPECT_EQ(FailureOf([] { NetInstallLocations().Add(nullptr); }),
            "IENetList: Cannot add a blank location to the global net location list");

  ConnectedNetLocation = first;
  CurrentNetLocation = first;
  delete first;
  EXPECT_EQ(NetInstallLocations().Count(), before + 1);
  EXPECT_EQ(NetInstallLocations().Items(before), second);
  EXPECT_EQ(ConnectedNetLocation, nullptr);
  EXPECT_EQ(CurrentNetLocation, nullptr);
}

TEST_F(NetLocation, StreamedLocationIsReferencedByTheInstallAndItsObjects) {
  RegisterEngineClasses();
  RegisterClassInfo("TNetProbeInstall", "TInstall",
                    [](TComponent* owner) -> TComponent* { return new TNetProbeInstall(owner); });
  const auto savedArgs = CommandLineArguments;
  CommandLineArguments = [] { return std::vector<std::string>{}; };
  auto form = std::make_unique<TForm>(nullptr);
  ReadForm(form.get(), ParseFormText("object F: TForm\n"
                                     "  object nlServer: TNetInstallLocation\n"
                                     "    LoginInformation.Anonymous = False\n"
                                     "    LoginInformation.Directory = 'pub\\files'\n"
                                     "    LoginInformation.Hostname = 'files.example'\n"
                                     "    LoginInformation.Password = 'pw'\n"
                                     "    LoginInformation.Protocol = ipFTP\n"
                                     "    LoginInformation.Username = 'me'\n"
                                     "  end\n"
                                     "  object Install1: TNetProbeInstall\n"
                                     "    NetLocation = nlServer\n"
                                     "    DistributeType = dtWeb\n"
                                     "  end\n"
                                     "  object idFiles: TInstallDirectory\n"
                                     "    Container = Install1\n"
                                     "  end\n"
                                     "end\n"));
  CommandLineArguments = savedArgs;
  auto* location = dynamic_cast<TNetInstallLocation*>(form->FindComponent("nlServer"));
  auto* install = dynamic_cast<TCustomInstall*>(form->FindComponent("Install1"));
  auto* dir = dynamic_cast<TInstallDirectory*>(form->FindComponent("idFiles"));
  ASSERT_TRUE(location && install && dir);
  const TLoginInformation& login = location->LoginInformation();
  EXPECT_FALSE(login.Anonymous());
  EXPECT_EQ(login.Directory(), "pub\\files");
  EXPECT_EQ(login.Hostname(), "files.example");
  EXPECT_EQ(login.Password(), "pw");
  EXPECT_EQ(login.Protocol(), ipFTP);
  EXPECT_EQ(login.Username(), "me");
  EXPECT_EQ(install->NetLocation(), location);
  EXPECT_EQ(install->DistributeType(), dtWeb);
  EXPECT_EQ(CurrentNetLocation, location);
  // The directory reaches the install's location.
  EXPECT_EQ(dir->EffectiveNetLocation(), location);
  EXPECT_EQ(dir->NetSubPath(), "files.example\\pubfiles");

  // A location that goes away is cleared from the install.
  delete location;
  EXPECT_EQ(install->NetLocation(), nullptr);
  EXPECT_EQ(install->DistributeType(), dtTraditional);
  EXPECT_EQ(CurrentNetLocation, nullptr);
  EXPECT_EQ(FailureOf([&] { dir->NetSubPath(); }),
            "IEFileRel_NoNetLocation: Could not find a net install location for idFiles");

  // Anything else in a location property is a stream error.
  auto other = std::make_unique<TForm>(nullptr);
  CommandLineArguments = [] { return std::vector<std::string>{}; };
  const std::string bad = FailureOf([&] {
    ReadForm(other.get(), ParseFormText("object F: TForm\n"
                                        "  object idOther: TInstallDirectory\n"
                                        "  end\n"
                                        "  object idFiles: TInstallDirectory\n"
                                        "    NetLocation = idOther\n"
                                        "  end\n"
                                        "end\n"));
  });
  CommandLineArguments = savedArgs;
  EXPECT_NE(bad.find("Invalid property value"), std::string::npos) << bad;
}
