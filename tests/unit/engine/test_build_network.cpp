// Building a distribution for download: the network archives of containers
// and files below the location's mirror directory, and "filelist.lst".
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "FormReader.h"
#include "TestSupport.h"
#include "cmp_TInstall.h"
#include "cmp_TTrnwCompress.h"
#include "routines_FileList.h"
#include "routines_Strings.h"
#include "uInstMain.h"

using testsupport::FileExists;
using testsupport::ReadFileText;
using testsupport::TTempDir;
using testsupport::WriteFileText;

namespace {

class NetworkBuild : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterEngineClasses();
    savedArgs_ = CommandLineArguments;
    CommandLineArguments = [] { return std::vector<std::string>{}; };
    WriteFileText(source_.File("plain.txt"), std::string(3000, 'p'));
    WriteFileText(source_.File("versioned.txt"), std::string(5000, 'v'));
    WriteFileText(source_.File("local.txt"), std::string(7000, 'l'));
  }
  void TearDown() override {
    form.reset();
    CommandLineArguments = savedArgs_;
  }

  static std::string File(const std::string& name, const std::string& dir, int id, const std::string& extra) {
    return "  object " + name + ": TInstallFile\n    Container = Dir\n    ArchiveFileType = psContainerArchiveFile\n"
           "    DestDirType = psContainerDestDir\n    FileName = '" + name + ".txt'\n    DestName = '" + name +
           ".txt'\n    IncludeFromDir = '" + dir + "'\n" + extra + "    UniqueID = " + std::to_string(id) + "\n  end\n";
  }

  // Builds the project with the given distribution type into build_.
  void Build(const char* distributeType) {
    const std::string text =
        "object F: TForm\n"
        "  object Loc: TNetInstallLocation\n"
        "    LoginInformation.Hostname = 'files.kelvo.example'\n"
        "    LoginInformation.Directory = 'pub/vantlex'\n"
        "    LoginInformation.Protocol = ipHTTP\n  end\n"
        "  object Install1: TInstall\n    UseLoadingProgram = False\n    NetLocation = Loc\n"
        "    DistributeType = " + std::string(distributeType) + "\n  end\n"
        "  object Dir: TInstallDirectory\n    Container = Install1\n    Description = 'bin'\n"
        "    DestDirType = psContainerDestDir\n    ArchiveFileType = psContainerArchiveFile\n  end\n" +
        File("plain", source_.Path(), 1, "    Net = True\n") +
        File("versioned", source_.Path(), 2, "    Net = True\n    OverwriteMode = owVersion\n") +
        File("local", source_.Path(), 3, "") + "end\n";
    form = std::make_unique<TForm>(nullptr);
    ReadForm(form.get(), ParseFormText(text));
    auto* install = dynamic_cast<TInstall*>(form->FindComponent("Install1"));
    ASSERT_NE(install, nullptr);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    install->BuildDistribution(self, build_.Path(), false);
  }

  // Identifier -> member name of an archive.
  static std::map<int, std::string> Members(const std::string& archive) {
    TTrnwCompress c(nullptr);
    c.SetCompressedFile(archive);
    c.ReadHeaders();
    std::map<int, std::string> m;
    for (int i = 0; i < c.Count(); ++i)
      m[c.Headers().GetFileHeaders(i).Rec.Identifier] = ExtractFileName(c.Headers().GetFileHeaders(i).Rec.StoredName);
    return m;
  }

  std::string Mirror() const { return build_.File("files.kelvo.example\\pub-vantlex"); }

  std::vector<TFileListEntry> FileList() const {
    const std::string bytes = ReadFileText(Mirror() + "\\filelist.lst");
    return DecodeFileList(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  }

  TTempDir source_{"nbsrc"};
  TTempDir build_{"nbdst"};
  std::unique_ptr<TForm> form;

private:
  std::function<std::vector<std::string>()> savedArgs_;
};

}  // namespace

TEST_F(NetworkBuild, WebBuildPutsEveryFileIntoTheMirrorAndListsThem) {
  Build("dtWeb");
  // Every file travels over the network: the container's archive holds the
  // files without an archive of their own, the versioned file has its own.
  ASSERT_TRUE(FileExists(Mirror() + "\\Dir.1"));
  EXPECT_EQ(Members(Mirror() + "\\Dir.1"), (std::map<int, std::string>{{1, "plain.txt"}, {3, "local.txt"}}));
  ASSERT_TRUE(FileExists(Mirror() + "\\versioned.1"));
  EXPECT_EQ(Members(Mirror() + "\\versioned.1"), (std::map<int, std::string>{{2, "versioned.txt"}}));
  EXPECT_FALSE(FileExists(build_.File("files.1")));

  const std::string raw = ReadFileText(Mirror() + "\\filelist.lst");
  EXPECT_EQ(raw.size(), 4u + 3 * kFileListRecordSize);
  std::map<std::string, std::uint32_t> sizes;
  for (const TFileListEntry& e : FileList()) sizes[e.Name] = e.Size;
  EXPECT_EQ(sizes, (std::map<std::string, std::uint32_t>{{"plain", 3000}, {"versioned", 5000}, {"local", 7000}}));
}

TEST_F(NetworkBuild, TraditionalNetBuildKeepsLocalFilesInTheMainArchive) {
  Build("dtTraditionalNet");
  ASSERT_TRUE(FileExists(build_.File("files.1")));
  EXPECT_EQ(Members(build_.File("files.1")), (std::map<int, std::string>{{3, "local.txt"}}));
  EXPECT_EQ(Members(Mirror() + "\\Dir.1"), (std::map<int, std::string>{{1, "plain.txt"}}));
  EXPECT_EQ(Members(Mirror() + "\\versioned.1"), (std::map<int, std::string>{{2, "versioned.txt"}}));
  std::map<std::string, std::uint32_t> sizes;
  for (const TFileListEntry& e : FileList()) sizes[e.Name] = e.Size;
  EXPECT_EQ(sizes.size(), 3u);
  EXPECT_EQ(sizes["local"], 7000u);
}

TEST_F(NetworkBuild, TraditionalBuildWritesNoMirror) {
  Build("dtTraditional");
  EXPECT_EQ(Members(build_.File("files.1")),
            (std::map<int, std::string>{{1, "plain.txt"}, {2, "versioned.txt"}, {3, "local.txt"}}));
  EXPECT_FALSE(FileExists(Mirror() + "\\filelist.lst"));
  EXPECT_FALSE(FileExists(Mirror() + "\\Dir.1"));
}
