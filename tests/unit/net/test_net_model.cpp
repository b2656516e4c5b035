// The model's downloads through locations: a container's archive with its
// "LocalFile" record, cancel and failure, incomplete logins, and the
// install's remote file list.
#include <gtest/gtest.h>

#include "Controls.h"
#include "ModelTestSupport.h"
#include "NetTestSupport.h"
#include "cmp_TInstall.h"
#include "routines_FileList.h"
#include "uInstMain.h"

using namespace modeltest;
using namespace nettest;
using testsupport::FileExists;
using testsupport::Noise;
using testsupport::ReadFileText;
using testsupport::UniqueName;

namespace {

class NetModel : public ModelTest {
protected:
  void SetUp() override {
    ModelTest::SetUp();
    RegisterNetLocationClasses();
    InstallCancel().Clear();
    savedKey_ = CurrentInstallKey;
    CurrentInstallKey = "\\SOFTWARE\\TarnwickTests\\" + UniqueName("net");
    sub = UniqueName("served");
  }
  void TearDown() override {
    InstallCancel().Clear();
    DeleteRegistryTree(kHKLM, CurrentInstallKey);
    CurrentInstallKey = savedKey_;
    testsupport::RemoveTree(Servers().Root() + "\\" + sub);
    ModelTest::TearDown();
  }
  std::string Recorded(const std::string& name) {
    return ReadRegistryString(kHKLM, CurrentInstallKey + "\\" + name, "LocalFile", "(none)");
  }

  std::string sub;

private:
  std::string savedKey_;
};

}  // namespace

TEST_F(NetModel, ContainerDownloadsItsArchiveThroughItsLocationAndRecordsIt) {
  TW_REQUIRE_SERVERS();
  const std::string archiveBytes = Noise(30000, 5);
  Serve(sub + "\\idNetFiles.1", archiveBytes);
  TNetInstallLocation* location = MakeLocation(form.get(), "HTTP", sub);
  TInstallDirectory* dir = Directory("idNetFiles");
  dir->SetNetLocation(location);
  std::vector<TDownloadStatusParameter> statuses;
  dir->OnDataReceived = [&](TComponent* sender, const std::string& name, std::uint32_t bytes,
                            std::uint32_t received, std::uint32_t size, const char*) {
    TDownloadStatusParameter p;
    p.FileName = name;
    p.Bytes = static_cast<int>(bytes);
    p.TotalBytes = static_cast<int>(received);
    p.FileSize = static_cast<int>(size);
    statuses.push_back(p);
    EXPECT_EQ(sender, dir);
    EXPECT_EQ(location->DownloadingFile, dir);
  };

  dir->Download();
  const std::string local = dir->LocalArchivePath;
  EXPECT_TRUE(SameText(ExtractFileExt(local), ".1")) << local;
  EXPECT_EQ(ReadFileText(local), archiveBytes);
  EXPECT_EQ(Recorded("idNetFiles"), local);
  ASSERT_FALSE(statuses.empty());
  EXPECT_EQ(statuses.back().FileName, "idNetFiles.1");
  EXPECT_EQ(statuses.back().TotalBytes, static_cast<int>(archiveBytes.size()));
  EXPECT_EQ(statuses.back().FileSize, static_cast<int>(archiveBytes.size()));
  // The registration with the location ends with the download.
  EXPECT_EQ(location->DownloadingFile, nullptr);
  EXPECT_FALSE(location->OnFileDataReceived);

  // A later download finds the recorded archive without the server.
  Unserve(sub + "\\idNetFiles.1");
  dir->LocalArchivePath.clear();
  statuses.clear();
  dir->Download();
  EXPECT_EQ(dir->LocalArchivePath, local);
  EXPECT_TRUE(statuses.empty());
  DeleteFileA(local.c_str());
}

TEST_F(NetModel, InstallFileWithItsOwnLocationDownloadsOverFtp) {
  TW_REQUIRE_SERVERS();
  Serve(sub + "\\ifReadme.1", "a readme archive");
  TNetInstallLocation* location = MakeLocation(form.get(), "FTP", sub);
  TInstallDirectory* dir = Directory();
  TInstallFile* file = File(dir, "ifReadme", "readme.txt", "readme");
  file->SetNetLocation(location);
  EXPECT_EQ(file->NetSubPath(), "127.0.0.1" + Servers().Value("FTP_PORT") + "\\" + sub);
  file->Download();
  EXPECT_EQ(ReadFileText(file->LocalArchivePath), "a readme archive");
  EXPECT_EQ(Recorded("ifReadme"), file->LocalArchivePath);
  DeleteFileA(file->LocalArchivePath.c_str());
}

TEST_F(NetModel, CancelAndFailureLeaveNoArchiveAndNoRecord) {
  TW_REQUIRE_SERVERS();
  Serve(sub + "\\idNetFiles.1", Noise(100000, 9));
  TNetInstallLocation* location = MakeLocation(form.get(), "HTTP", sub);
  TInstallDirectory* dir = Directory("idNetFiles");
  dir->SetNetLocation(location);
  dir->OnDataReceived = [](TComponent*, const std::string&, std::uint32_t, std::uint32_t, std::uint32_t,
                           const char*) { InstallCancel().Request(); };
  std::string message = FailureOf([&] { dir->Download(); });
  EXPECT_TRUE(StartsWith(message, "EAIUserAbort")) << message;
  EXPECT_TRUE(dir->LocalArchivePath.empty());
  EXPECT_FALSE(location->LocalFile().empty());
  EXPECT_FALSE(FileExists(location->LocalFile()));
  EXPECT_EQ(Recorded("idNetFiles"), "(none)");
  EXPECT_EQ(location->DownloadingFile, nullptr);

  InstallCancel().Clear();
  dir->OnDataReceived = nullptr;
  Unserve(sub + "\\idNetFiles.1");
  message = FailureOf([&] { dir->Download(); });
  EXPECT_TRUE(StartsWith(message, "ENIL_FileNotFound: Could not find the file idNetFiles.1 on the server.")) << message;
  EXPECT_TRUE(dir->LocalArchivePath.empty());
  EXPECT_FALSE(FileExists(location->LocalFile()));
  EXPECT_EQ(Recorded("idNetFiles"), "(none)");
}

TEST_F(NetModel, IncompleteLoginIsReportedByWhereTheLocationComesFrom) {
  TNetInstallLocation* location = MakeLocation(form.get(), "HTTP", "");
  location->LoginInformation().SetHostname(" ");
  TInstallDirectory* dir = Directory("idNetFiles");
  dir->SetNetLocation(location);
  EXPECT_EQ(FailureOf([&] { dir->Download(); }),
            "IEFileRelated: idNetFiles could not install itself because the TNetLocation component's properties, "
            "in the NetLocation property, have not been filled in");

  TTestInstall* install = MakeInstall();
  install->SetNetLocation(location);
  dir->SetNetLocation(nullptr);
  EXPECT_EQ(dir->EffectiveNetLocation(), location);
  EXPECT_EQ(FailureOf([&] { dir->Download(); }),
            "IEFileRelated: idNetFiles could not install itself because the LoginInformation property of the "
            "TInstall component has not been properly filled in");
  EXPECT_FALSE(location->ProceduresLoaded());  // nothing was attempted
}

namespace {

class RemoteFileList : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterEngineClasses();
    InstallCancel().Clear();
    CurrentInstall = nullptr;
    form = std::make_unique<TForm>(nullptr);
    install = new TInstall(form.get());
    install->SetName("Install1");
    readme = NewFile("ifReadme");
    server = NewFile("ifServer");
    sub = UniqueName("served");
    location = MakeLocation(form.get(), "FTP", sub);
    install->SetNetLocation(location);
  }
  void TearDown() override {
    form.reset();
    testsupport::RemoveTree(Servers().Root() + "\\" + sub);
  }
  TInstallFile* NewFile(const std::string& name) {
    auto* f = new TInstallFile(form.get());
    f->SetName(name);
    return f;
  }

  std::unique_ptr<TForm> form;
  TInstall* install = nullptr;
  TInstallFile* readme = nullptr;
  TInstallFile* server = nullptr;
  TNetInstallLocation* location = nullptr;
  std::string sub;
};

std::string Bytes(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

}  // namespace

TEST_F(RemoteFileList, ServedListGivesMatchingFilesTheirArchiveInformation) {
  TW_REQUIRE_SERVERS();
  Serve(sub + "\\filelist.lst", Bytes(EncodeFileList({{1234, 38000.5, "IFREADME", "1.2.3.4"},
                                                       {99, 1.0, "ifUnknown", "9.9"}})));
  install->ApplyRemoteFileList();
  EXPECT_EQ(readme->Size, 1234);
  EXPECT_DOUBLE_EQ(readme->FileDate, 38000.5);
  EXPECT_EQ(readme->Version, "1.2.3.4");
  EXPECT_EQ(server->Size, 0);
  EXPECT_EQ(server->Version, "");
  EXPECT_EQ(location->RemoteName(), "filelist.lst");
  EXPECT_FALSE(FileExists(location->LocalFile()));  // the temporary copy is gone
}

TEST_F(RemoteFileList, DamagedOrMissingListFailsAndLeavesNothing) {
  TW_REQUIRE_SERVERS();
  std::vector<std::uint8_t> truncated = EncodeFileList({{1, 2.0, "ifReadme", "1"}, {3, 4.0, "ifServer", "2"}});
  truncated.resize(truncated.size() - 10);
  for (const std::string& bytes : {std::string("ab"), Bytes(truncated)}) {
    Serve(sub + "\\filelist.lst", bytes);
    const std::string message = FailureOf([&] { install->ApplyRemoteFileList(); });
    EXPECT_EQ(message, "IEInstall: Cannot read the remote list of files: " + location->LocalFile());
    EXPECT_FALSE(FileExists(location->LocalFile()));
    EXPECT_EQ(readme->Size, 0);
  }
  Unserve(sub + "\\filelist.lst");
  const std::string message = FailureOf([&] { install->ApplyRemoteFileList(); });
  EXPECT_TRUE(StartsWith(message, "ENIL_FTPOpenFile: Cannot open file filelist.lst on server.")) << message;
  EXPECT_FALSE(FileExists(location->LocalFile()));
}
