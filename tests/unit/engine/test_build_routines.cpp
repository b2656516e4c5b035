#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "TestSupport.h"
#include "cmp_TTrnwCompress.h"
#include "exceptions_Tarnwick.h"
#include "hash_SHA0.h"
#include "routines_Build.h"
#include "routines_Registry.h"
#include "uFileCheckSum.h"

using testsupport::FileExists;
using testsupport::MessageOf;
using testsupport::Noise;
using testsupport::ReadFileText;
using testsupport::TTempDir;
using testsupport::WriteFileText;

namespace {

std::int32_t Int32At(const std::string& bytes, size_t at) {
  std::int32_t v;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

// Builds a real archive of the given files.
void MakeArchive(const std::string& archive, const std::vector<std::string>& files) {
  TTrnwCompress z(nullptr);
  z.SetCompressedFile(archive);
  z.SetFilesToProcess(files);
  z.Add(false, 0);
}

}  // namespace

TEST(BuildRecord, AppendedArchivesAreFoundThroughTheRecordAfterSealing) {
  TTempDir dir("bld");
  const std::string loader = Noise(3000, 1), setup = Noise(777, 2), files = Noise(1234, 3);
  WriteFileText(dir.File("setup.exe"), loader);
  WriteFileText(dir.File("setup.1"), setup);
  WriteFileText(dir.File("files.1"), files);

  AppendArchivesToLoader(dir.File("setup.exe"), dir.File("setup.1"), dir.File("files.1"));
  AppendFileChecksum(dir.File("setup.exe"), ComputeFileChecksum(dir.File("setup.exe"), false));

  const std::string exe = ReadFileText(dir.File("setup.exe"));
  ASSERT_EQ(exe.size(), loader.size() + setup.size() + files.size() + 56 + 40);
  const size_t rec = exe.size() - 96;
  EXPECT_EQ(exe.substr(rec, 15), std::string("\x0eSELFEXTRACTING", 15));
  EXPECT_EQ(Int32At(exe, rec + 16), 3000);
  EXPECT_EQ(Int32At(exe, rec + 20) + 1, Int32At(exe, rec + 24));
  EXPECT_EQ(exe.substr(Int32At(exe, rec + 16), setup.size()), setup);
  EXPECT_EQ(exe.substr(Int32At(exe, rec + 24), Int32At(exe, rec + 28) - Int32At(exe, rec + 24) + 1), files);
  EXPECT_EQ(exe.substr(exe.size() - 40), ComputeFileChecksum(dir.File("setup.exe"), true));

  const TExtractionInfo h = ReadSelfExtractHeader(dir.File("setup.exe"));
  EXPECT_EQ(h.Marker, "SELFEXTRACTING");
  EXPECT_EQ(h.SetupFirst, 3000);
  EXPECT_EQ(h.FilesLast, static_cast<std::int32_t>(rec - 1));
}

TEST(BuildRecord, WithoutMainArchiveItsOffsetsStayZero) {
  TTempDir dir("bld");
  WriteFileText(dir.File("setup.exe"), Noise(100, 4));
  WriteFileText(dir.File("setup.1"), Noise(50, 5));
  AppendArchivesToLoader(dir.File("setup.exe"), dir.File("setup.1"), dir.File("files.1"));
  const std::string exe = ReadFileText(dir.File("setup.exe"));
  ASSERT_EQ(exe.size(), 100u + 50 + 56);
  EXPECT_EQ(Int32At(exe, 150 + 16), 100);
  EXPECT_EQ(Int32At(exe, 150 + 20), 149);
  EXPECT_EQ(Int32At(exe, 150 + 24), 0);
  EXPECT_EQ(Int32At(exe, 150 + 28), 0);
}

TEST(BuildRecord, FailuresNameTheFiles) {
  TTempDir dir("bld");
  WriteFileText(dir.File("setup.exe"), "MZ");
  EXPECT_EQ(MessageOf([&] {
              AppendArchivesToLoader(dir.File("setup.exe"), dir.File("missing.1"), dir.File("files.1"));
            }),
            "Cannot create the self-extracting exe because " + dir.File("missing.1") + " could not be loaded onto " +
                dir.File("setup.exe"));
  EXPECT_EQ(MessageOf([&] { AppendNotSelfExtractHeader(dir.File("nothere.exe")); }),
            "Cannot add the self-extract info header to " + dir.File("nothere.exe"));
  EXPECT_EQ(MessageOf([&] { ReadSelfExtractHeader(dir.File("setup.exe")); }),
            "Could not read the extraction info from the archive file " + dir.File("setup.exe") +
                " when trying to find the correct offset into the self extracting file");

  AppendNotSelfExtractHeader(dir.File("setup.exe"));
  const std::string exe = ReadFileText(dir.File("setup.exe"));
  ASSERT_EQ(exe.size(), 2u + 56);
  EXPECT_EQ(exe.substr(2, 15), std::string("\x0eNOTSELFEXTRACT", 15));
  EXPECT_EQ(exe.substr(2 + 16), std::string(40, '\0'));
}

TEST(BuildInf, FirstLineIsTheBuildDirectory) {
  TTempDir dir("bld");
  EXPECT_EQ(MessageOf([&] { ReadBuildInf(dir.Path()); }),
            "Need to have a BUILD.INF file in this directory with the first line specifying the build directory");
  WriteFileText(dir.File("BUILD.INF"), "");
  EXPECT_EQ(MessageOf([&] { ReadBuildInf(dir.Path()); }),
            "Must be 1 line in BUILD.INF. This line should specify the build directory");
  WriteFileText(dir.File("BUILD.INF"), "C:\\Kelvo Build\\dist\r\nsecond\r\n");
  EXPECT_EQ(ReadBuildInf(dir.Path()), "C:\\Kelvo Build\\dist");
  WriteFileText(dir.File("BUILD.INF"), "\r\n");
  EXPECT_EQ(ReadBuildInf(dir.Path()), "");
}

TEST(EngineDirectory, FirstSearchPathEntryWithTheMarkerWins) {
  TTempDir dir("eng");
  CreateDirectoryA(dir.File("root").c_str(), nullptr);
  CreateDirectoryA(dir.File("root\\lib").c_str(), nullptr);
  CreateDirectoryA(dir.File("other").c_str(), nullptr);
  WriteFileText(dir.File("root\\lib\\T32V52.TXT"), "marker");

  const std::string oldSearch = ReadRegistryString(kHKCU, kEngineLibraryKey, kEngineLibraryValue, "\x01");
  const std::string oldRoot = ReadRegistryString(kHKLM, kEngineRootKey, kEngineRootValue, "\x01");
  struct TRestore {
    std::string s, r;
    ~TRestore() {
      if (s == "\x01") {
        HKEY k;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kEngineLibraryKey + 1, 0, KEY_SET_VALUE, &k) == ERROR_SUCCESS) {
          RegDeleteValueA(k, kEngineLibraryValue);
          RegCloseKey(k);
        }
      } else {
        WriteRegistryString(kHKCU, kEngineLibraryKey, kEngineLibraryValue, s);
      }
      if (r != "\x01") WriteRegistryString(kHKLM, kEngineRootKey, kEngineRootValue, r);
    }
  } restore{oldSearch, oldRoot};

  WriteRegistryString(kHKCU, kEngineLibraryKey, kEngineLibraryValue, "");
  EXPECT_EQ(MessageOf([] { FindEngineDirectory(); }),
            "Cannot find the the Tarnwick directory on the VCL library search path");

  WriteRegistryString(kHKLM, kEngineRootKey, kEngineRootValue, dir.File("root"));
  WriteRegistryString(kHKCU, kEngineLibraryKey, kEngineLibraryValue,
                      dir.File("other") + ";;$(DELPHI)\\lib\\;" + dir.Path());
  EXPECT_EQ(FindEngineDirectory(), dir.File("root\\lib"));
  WriteRegistryString(kHKCU, kEngineLibraryKey, kEngineLibraryValue, "$(bcb)\\lib");
  EXPECT_EQ(FindEngineDirectory(), dir.File("root\\lib"));

  WriteRegistryString(kHKCU, kEngineLibraryKey, kEngineLibraryValue, dir.File("other") + ";" + dir.Path());
  try {
    FindEngineDirectory();
    ADD_FAILURE() << "no failure";
  } catch (const IENoTarnwickPath&) {
  }
}

TEST(FileList, WrittenIntoACreatedMirrorDirectory) {
  TTempDir dir("lst");
  const std::string mirror = dir.File("www.kelvo.example\\pub-setup");
  WriteFileListFile(mirror, {{10, 38000.5, "InstallFile2", "1.2.3"}, {20, 38001.0, "InstallFile3", ""}});
  const std::string bytes = ReadFileText(mirror + "\\filelist.lst");
  ASSERT_EQ(bytes.size(), 4u + 2 * 80);
  EXPECT_EQ(Int32At(bytes, 0), 2);
  EXPECT_EQ(std::string(bytes.c_str() + 4 + 16), "InstallFile2");
  EXPECT_EQ(std::string(bytes.c_str() + 4 + 80 + 16), "InstallFile3");

  WriteFileListFile(mirror, {});
  EXPECT_EQ(ReadFileText(mirror + "\\filelist.lst").size(), 4u);
  EXPECT_EQ(FileNameSafe("ftp.kelvo.example/pub/a:b*c?\"d<e>f|g;h\\i"), "ftp.kelvo.example-pub-abcdefghi");
}

// A signed setup.exe (its certificate table behind the trailer, the PE
// CheckSum field and security entry set) gives the same disks: the loading
// program as the build copied it, the fields zero again.
TEST(FloppyTransfer, LoaderSetupArchiveAndSpannedMainArchive) {
  for (const bool sign : {false, true}) {
    SCOPED_TRACE(sign ? "signed" : "unsigned");
    TTempDir dir("fl");
    std::string loader = Noise(5000, 7);
    // PE32+ headers: the CheckSum field at 0x40 + 88, the security entry at 0x40 + 168.
    const std::size_t checkSumAt = 0x40 + 24 + 64, entryAt = 0x40 + 24 + 112 + 32;
    loader[0] = 'M', loader[1] = 'Z';
    std::memset(&loader[2], 0, 0x40 + 24 + 240 - 2);
    loader[0x3C] = 0x40;
    std::memcpy(&loader[0x40], "PE\0\0", 4);
    loader[0x40 + 20] = static_cast<char>(240);
    loader[0x40 + 24] = 0x0B, loader[0x40 + 25] = 2;
    loader[0x40 + 24 + 108] = 16;
    WriteFileText(dir.File("a.txt"), std::string(20000, 'a'));
    WriteFileText(dir.File("b.bin"), Noise(150000, 8));
    MakeArchive(dir.File("setup.1"), {dir.File("a.txt")});
    MakeArchive(dir.File("files.1"), {dir.File("a.txt"), dir.File("b.bin")});
    WriteFileText(dir.File("setup.exe"), loader);
    AppendArchivesToLoader(dir.File("setup.exe"), dir.File("setup.1"), dir.File("files.1"));
    AppendFileChecksum(dir.File("setup.exe"), ComputeFileChecksum(dir.File("setup.exe"), false));
    if (sign) {
      std::string image = ReadFileText(dir.File("setup.exe"));
      image.resize((image.size() + 7) / 8 * 8, '\0');
      const std::uint32_t entry[2] = {static_cast<std::uint32_t>(image.size()), 1000}, checkSum = 0x4321;
      image += Noise(1000, 11);
      std::memcpy(&image[entryAt], entry, sizeof(entry));
      std::memcpy(&image[checkSumAt], &checkSum, sizeof(checkSum));
      WriteFileText(dir.File("setup.exe"), image);
    }

    CreateDirectoryA(dir.File("A").c_str(), nullptr);
    TTrnwCompress shared(nullptr);
    shared.DiskSize = 60000;
    std::vector<int> prompts;
    int pumps = 0;
    TransferDistribution(
        dir.File("setup.exe"), dir.File("A"), shared,
        [&](int disk, std::string& path) {
          prompts.push_back(disk);
          path = dir.File("disk" + std::to_string(disk));  // the next disk in the drive
        },
        [&] { ++pumps; });

    const std::string exe = ReadFileText(dir.File("A\\setup.exe"));
    // The loading program, its record and the checksum trailer it verifies.
    ASSERT_EQ(exe.size(), loader.size() + 56 + 40);
    EXPECT_EQ(exe.substr(0, loader.size()), loader);
    EXPECT_EQ(exe.substr(loader.size(), 15), std::string("\x0eNOTSELFEXTRACT", 15));
    EXPECT_EQ(exe.substr(loader.size() + 56), Sha0Hex(exe.substr(0, loader.size() + 56)));
    EXPECT_EQ(ReadSelfExtractHeader(dir.File("A\\setup.exe")).Marker, "NOTSELFEXTRACT");
    EXPECT_EQ(ReadFileText(dir.File("A\\setup.1")), ReadFileText(dir.File("setup.1")));
    EXPECT_GT(pumps, 0);
    ASSERT_GE(prompts.size(), 2u);
    EXPECT_EQ(prompts[0], 2);
    EXPECT_EQ(prompts[1], 3);
    EXPECT_TRUE(FileExists(dir.File("disk2\\files.2")));
    EXPECT_EQ(shared.Offset, 0);
    EXPECT_FALSE(shared.OnNewDisk);

    // The spanned set extracts back to the original bytes.
    TTrnwCompress r(nullptr);
    r.SetCompressedFile(dir.File("A\\files.1"));
    r.OnNewDisk = [&](TTrnwCompress*, int disk, std::string& path) {
      path = disk == 1 ? dir.File("A") : dir.File("disk" + std::to_string(disk));
    };
    r.ExtractDirectory = dir.File("out");
    r.SetFilesToProcess({dir.File("a.txt"), dir.File("b.bin")});
    r.Extract();
    EXPECT_EQ(ReadFileText(dir.File("out\\b.bin")), ReadFileText(dir.File("b.bin")));
    EXPECT_EQ(ReadFileText(dir.File("out\\a.txt")), ReadFileText(dir.File("a.txt")));
  }
}

TEST(FloppyTransfer, ACancelledPromptRestoresTheExtractor) {
  TTempDir dir("fl");
  WriteFileText(dir.File("b.bin"), Noise(90000, 9));
  MakeArchive(dir.File("setup.1"), {dir.File("b.bin")});
  MakeArchive(dir.File("files.1"), {dir.File("b.bin")});
  WriteFileText(dir.File("setup.exe"), "MZloader");
  AppendArchivesToLoader(dir.File("setup.exe"), dir.File("setup.1"), dir.File("files.1"));
  AppendFileChecksum(dir.File("setup.exe"), ComputeFileChecksum(dir.File("setup.exe"), false));
  CreateDirectoryA(dir.File("A").c_str(), nullptr);

  TTrnwCompress shared(nullptr);
  shared.DiskSize = 50000;
  shared.Offset = 17;
  EXPECT_EQ(MessageOf([&] {
              TransferDistribution(dir.File("setup.exe"), dir.File("A"), shared,
                                   [](int, std::string&) { throw IEInstall("Aborted by user"); }, nullptr);
            }),
            "Aborted by user");
  EXPECT_EQ(shared.Offset, 17);
  EXPECT_FALSE(shared.OnNewDisk);
  EXPECT_FALSE(shared.OnStatus);
}
