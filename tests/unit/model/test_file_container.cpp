// File containers on real files: what is excluded from an install, nested
// containers and the information events passed up through them.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "FormReader.h"
#include "FormStream.h"
#include "ModelTestSupport.h"

using namespace modeltest;
using testsupport::MessageOf;
using testsupport::WriteFileText;

namespace {

class FileContainer : public ModelTest {
protected:
  // A directory with two built files, "one.txt" and "two.txt".
  void TwoFiles() {
    dir = Directory();
    one = File(dir, "ifOne", "one.txt", std::string(1000, '1'));
    two = File(dir, "ifTwo", "two.txt", std::string(3000, '2'));
    Build(dir);
  }
  // A group installing into destDir, archived in archive, with the
  // directory "inner" in it.
  void Nested() {
    group = new TInstallGroup(form.get());
    group->SetName("igOuter");
    group->SetDestDir(destDir);
    group->SetArchiveFile(archive);
    inner = new TInstallDirectory(form.get());
    inner->SetName("idInner");
    inner->SetContainer(group);
    inner->SetDestDir("\\inner");
  }
  bool NothingInstalled() const {
    return !testsupport::FileExists(Dest("one.txt")) && !testsupport::FileExists(Dest("two.txt"));
  }
  TInstallDirectory* dir = nullptr;
  TInstallFile* one = nullptr;
  TInstallFile* two = nullptr;
  TInstallGroup* group = nullptr;
  TInstallDirectory* inner = nullptr;
};

struct Status {
  TCustomInstallFile* file;
  int filePercent;
  int totalPercent;
};

}  // namespace

TEST_F(FileContainer, ExcludedContainerInstallsNothing) {
  TwoFiles();
  int before = 0;
  dir->OnBeforeProcess = [&](TInstallContainer*) { ++before; };
  dir->Include = false;
  dir->Install();
  EXPECT_EQ(before, 1);
  EXPECT_TRUE(NothingInstalled());
  EXPECT_FALSE(dir->Processed || one->Processed || two->Processed);

  // An excluded file alone is skipped; its neighbour is installed.
  dir->Include = true;
  one->Include = false;
  dir->Install();
  EXPECT_FALSE(testsupport::FileExists(Dest("one.txt")));
  EXPECT_EQ(Slurp(Dest("two.txt")), std::string(3000, '2'));
}

TEST_F(FileContainer, ContainerForAnotherSystemIsExcludedForGood) {
  TwoFiles();
  RunningOSHook = [] { return oswin98; };
  dir->OS = OSSet{oswinNT, oswin2K, oswinXP};
  dir->Install();
  EXPECT_FALSE(dir->Include);
  EXPECT_TRUE(NothingInstalled());
  // The exclusion stays when the system would now qualify.
  RunningOSHook = [] { return oswinXP; };
  dir->Install();
  EXPECT_TRUE(NothingInstalled());

  // A file for another system inside an included container.
  dir->Include = true;
  two->OS = OSSet{oswin95};
  dir->Install();
  EXPECT_TRUE(testsupport::FileExists(Dest("one.txt")));
  EXPECT_FALSE(testsupport::FileExists(Dest("two.txt")));
  EXPECT_FALSE(two->Include);
}

TEST_F(FileContainer, InstallTypeOutsideTheContainersTypesExcludesIt) {
  TwoFiles();
  dir->SetInstallTypes(TInstallTypeSet{itCompact});
  dir->SetInstallType(itFull);
  dir->Install();
  EXPECT_TRUE(NothingInstalled());
  EXPECT_TRUE(dir->Include);
  EXPECT_FALSE(dir->IsSelected());

  // A custom install follows only the include flags.
  dir->SetInstallType(itCustom);
  EXPECT_EQ(one->CurrentInstallType, itCustom);
  dir->Install();
  EXPECT_TRUE(testsupport::FileExists(Dest("one.txt")));
  EXPECT_TRUE(testsupport::FileExists(Dest("two.txt")));
}

TEST_F(FileContainer, NestedContainersPassFileProgressUpToTheOuterOne) {
  Nested();
  TInstallFile* a = File(inner, "ifA", "a.bin", testsupport::Noise(200000, 1));
  TInstallFile* b = File(inner, "ifB", "b.bin", testsupport::Noise(100000, 2));
  TInstallFile* c = File(group, "ifC", "c.txt", std::string(100000, 'c'));
  EXPECT_EQ(inner->GetDestPath(), destDir + "\\inner");
  EXPECT_EQ(a->GetArchivePath(), archive);
  Build(group);

  std::vector<Status> outer, innerHeard;
  group->OnStatus = [&](TCustomInstallFile* f, int filePct, int totalPct) { outer.push_back({f, filePct, totalPct}); };
  inner->OnStatus = [&](TCustomInstallFile* f, int filePct, int totalPct) {
    innerHeard.push_back({f, filePct, totalPct});
  };
  std::vector<TCustomInstallFile*> replaced;
  group->OnReplacing = [&](TCustomInstallFile* f) { replaced.push_back(f); };
  bool afterAborted = true;
  int afterCalls = 0;
  group->OnAfterInstallObjects = [&](TInstallContainer* sender, bool aborted) {
    EXPECT_EQ(sender, group);
    afterAborted = aborted;
    ++afterCalls;
  };

  group->Install();
  EXPECT_EQ(Slurp(destDir + "\\inner\\a.bin"), testsupport::Noise(200000, 1));
  EXPECT_EQ(Slurp(destDir + "\\inner\\b.bin"), testsupport::Noise(100000, 2));
  EXPECT_EQ(Slurp(Dest("c.txt")), std::string(100000, 'c'));
  EXPECT_EQ(afterCalls, 1);
  EXPECT_FALSE(afterAborted);
  EXPECT_EQ(replaced.size(), 3u);
  EXPECT_EQ(group->Mode, 0);
  EXPECT_EQ(inner->Mode, 0);

  auto heardFrom = [](const std::vector<Status>& v, TCustomInstallFile* f) {
    for (const Status& s : v)
      if (s.file == f && s.filePercent == 100) return true;
    return false;
  };
  // The inner directory reports its own files; the outer one all three.
  EXPECT_TRUE(heardFrom(innerHeard, a) && heardFrom(innerHeard, b));
  EXPECT_FALSE(heardFrom(innerHeard, c));
  EXPECT_TRUE(heardFrom(outer, a) && heardFrom(outer, b) && heardFrom(outer, c));
  ASSERT_FALSE(outer.empty());
  // The outer total runs over all 400000 bytes, rising to 100.
  int last = 0;
  for (const Status& s : outer) {
    EXPECT_GE(s.totalPercent, last);
    last = s.totalPercent;
  }
  EXPECT_EQ(outer.back().totalPercent, 100);
  EXPECT_EQ(group->TotalSize, 400000);
  EXPECT_EQ(group->BytesDone, 400000);
  EXPECT_EQ(inner->TotalSize, 300000);
  EXPECT_EQ(innerHeard.back().totalPercent, 100);

  // A file the overwrite rule skips still counts as done, at 100 percent.
  outer.clear();
  c->OverwriteMode = owNever;
  a->OverwriteMode = owNever;
  b->OverwriteMode = owNever;
  group->Install();
  ASSERT_EQ(outer.size(), 3u);
  EXPECT_EQ(outer.back().totalPercent, 100);
  for (const Status& s : outer) EXPECT_EQ(s.filePercent, 100);
}

TEST_F(FileContainer, TotalsAndProgressOfAProductBeyondTwoGigabytes) {
  // Three archives of 900 MB, two files each, in one group; nothing is read
  // or written.
  Nested();
  std::vector<TInstallDirectory*> dirs;
  for (int a = 0; a < 3; ++a) {
    auto* d = new TInstallDirectory(form.get());
    d->SetName("idPart" + std::to_string(a));
    d->SetContainer(group);
    d->SetDestDir("\\part" + std::to_string(a));
    d->SetArchiveFile(temp->File("archive") + "\\part" + std::to_string(a) + ".1");
    dirs.push_back(d);
    for (int i = 0; i < 2; ++i) {
      const std::string id = std::to_string(a) + "_" + std::to_string(i);
      TInstallFile* f = FileFor(d, "ifPart" + id, "part" + id + ".bin");
      f->Size = 450000000;
      f->PackedSize = 450000100;  // incompressible: a little larger
    }
  }
  EXPECT_EQ(group->TotalSizeOf(false), 2700000000LL);
  EXPECT_EQ(group->PackedSizeOf(false), 2700000600LL);
  EXPECT_EQ(dirs[1]->TotalSizeOf(false), 900000000LL);
  EXPECT_EQ(group->DirectSizeOf(false), 0);

  // An install pass: each file reports its bytes in blocks of 150 MB.
  std::vector<int> totals;
  group->OnStatus = [&](TCustomInstallFile*, int, int totalPct) { totals.push_back(totalPct); };
  group->Mode = fcmInstalling;
  group->TotalSize = group->TotalSizeOf(false);
  group->BytesDone = 0;
  std::vector<int> atArchiveEnd;
  for (TInstallDirectory* d : dirs) {
    d->Mode = fcmInstalling;
    d->TotalSize = d->TotalSizeOf(false);
    d->BytesDone = 0;
    for (TCustomInstallFile* f : d->FileList()) {
      for (int done = 150000000; done <= f->Size; done += 150000000) {
        TFileStatusParameter status;
        status.BytesDone = done;
        status.Stats.Size = f->Size;
        status.Stats.Finished = done == f->Size;
        TParameterList list;
        list.Items = {f, &status};
        d->DoInformationEventControl(f, ieInstallStatus, &list);
      }
    }
    ASSERT_FALSE(totals.empty());
    atArchiveEnd.push_back(totals.back());
    EXPECT_EQ(d->BytesDone, 900000000LL);
    d->Mode = fcmIdle;
  }
  group->Mode = fcmIdle;
  EXPECT_EQ(group->BytesDone, 2700000000LL);
  ASSERT_EQ(totals.size(), 18u);
  int last = 0;
  for (int t : totals) {
    EXPECT_GE(t, last);
    EXPECT_LE(t, 100);
    last = t;
  }
  EXPECT_EQ(totals[8], 50);  // 1.35 GB of 2.7
  EXPECT_EQ(atArchiveEnd, (std::vector<int>{33, 67, 100}));
}

namespace {
struct TCountingFile : TInstallFile {
  using TInstallFile::TInstallFile;
  void ReadSourceInfo() override {
    ++reads;
    TInstallFile::ReadSourceInfo();
  }
  int reads = 0;
};
}  // namespace

TEST_F(FileContainer, EachPassReadsASourceOnceHoweverDeepItsContainer) {
  Nested();
  auto counting = [&](TFileContainer* c, const char* name, const char* fileName, size_t size) {
    WriteFileText(Source(fileName), std::string(size, 'x'));
    auto* f = new TCountingFile(form.get());
    f->SetName(name);
    f->SetIncludeFromDir(sourceDir);
    f->SetFileName(fileName);
    f->SetContainer(c);
    return f;
  };
  TCountingFile* a = counting(inner, "ifA", "a.txt", 1000);
  TCountingFile* c = counting(group, "ifC", "c.txt", 300);

  Build(group);
  EXPECT_EQ(a->reads, 1);
  EXPECT_EQ(c->reads, 1);
  EXPECT_EQ(inner->TotalSize, 1000);
  EXPECT_EQ(group->TotalSize, 1300);
  // The next build reads again and sees what changed meanwhile.
  WriteFileText(Source("a.txt"), std::string(2500, 'y'));
  Build(group);
  EXPECT_EQ(a->reads, 2);
  EXPECT_EQ(a->Size, 2500);
  EXPECT_EQ(group->TotalSize, 2800);
  // A pass of the inner container alone reads its own files.
  inner->Copy();
  EXPECT_EQ(a->reads, 3);
  EXPECT_EQ(c->reads, 2);
  group->Install();
  EXPECT_EQ(Slurp(destDir + "\\inner\\a.txt"), std::string(2500, 'y'));
}

TEST_F(FileContainer, AConfirmedCancelStopsTheCopyWhereverTheMessagePumpTookIt) {
  TwoFiles();
  TInstallFile* big = File(dir, "ifBig", "big.bin", testsupport::Noise(300000, 3));
  Build(dir);
  const std::map<TCustomInstallFile*, std::pair<std::string, std::string>> content{
      {one, {"one.txt", std::string(1000, '1')}},
      {two, {"two.txt", std::string(3000, '2')}},
      {big, {"big.bin", testsupport::Noise(300000, 3)}}};
  // The order of the pass, from a run without a cancel.
  std::vector<TCustomInstallFile*> order;
  for (TInstallFile* f : {one, two, big}) f->OnAfterInstall = [&](TCustomInstallFile* s) { order.push_back(s); };
  dir->Install();
  ASSERT_EQ(order.size(), 3u);
  const std::string before = "what the user had before";

  struct Case {
    const char* when;
    bool sharedExtractor;
    bool insideBig;
  };
  for (const Case& k : {Case{"between two files", false, false}, Case{"inside a file's blocks", false, true},
                        Case{"between two files, shared extractor", true, false}}) {
    SCOPED_TRACE(k.when);
    if (k.sharedExtractor) {
      // The install's own archive is the one its files share.
      MakeInstall()->SetArchiveFile(archive);
    }
    for (const auto& entry : content) DeleteFileA(Dest(entry.second.first).c_str());
    // The pass's last file was there before; it would be replaced if reached.
    TCustomInstallFile* lastOne = order.back();
    WriteFileText(Dest(content.at(lastOne).first), before);
    lastOne->OverwriteMode = owAlways;
    // The request is what the copy form's confirmed Cancel makes, taken by
    // the message pump during a file's blocks or after its last one.
    for (TCustomInstallFile* f : order)
      f->OnAfterInstall = [&](TCustomInstallFile* s) {
        if (!k.insideBig && s == order.front()) InstallCancel().Request();
      };
    dir->OnStatus = [&](TCustomInstallFile* f, int filePercent, int) {
      if (k.insideBig && f == big && filePercent > 0 && filePercent < 100) InstallCancel().Request();
    };
    SharedCompressor()->Abort = false;
    EXPECT_THROW(dir->Install(), EAIUserAbort);
    EXPECT_EQ(SharedCompressor()->Abort, k.sharedExtractor);
    // Files before the stop are whole; the one it hit and those after it
    // are not there, or as they were.
    const auto stop = k.insideBig ? std::find(order.begin(), order.end(), big) : order.begin() + 1;
    for (auto it = order.begin(); it != order.end(); ++it) {
      const auto& [name, bytes] = content.at(*it);
      if (it < stop) EXPECT_TRUE(Slurp(Dest(name)) == bytes) << name;
      else if (*it == lastOne) EXPECT_TRUE(Slurp(Dest(name)) == before) << name;
      else EXPECT_FALSE(testsupport::FileExists(Dest(name))) << name;
    }
    InstallCancel().Clear();
  }
}

TEST_F(FileContainer, IdleContainerIgnoresInformationEvents) {
  TwoFiles();
  int replacing = 0;
  dir->OnReplacing = [&](TCustomInstallFile*) { ++replacing; };
  dir->DoInformationEventControl(one, ieBeforeReplacing, one);
  EXPECT_EQ(replacing, 0);
  dir->Mode = fcmInstalling;
  dir->DoInformationEventControl(one, ieBeforeReplacing, one);
  EXPECT_EQ(replacing, 1);
  EXPECT_EQ(MessageOf([&] { dir->DoInformationEventControl(one, ieBeforeReplacing, nullptr); }),
            "idFiles got a nil PO parameter");
  TMessageParameter text("x");
  EXPECT_EQ(MessageOf([&] { dir->DoInformationEventControl(one, ieInstallStatus, &text); }),
            "DoInformationEventControl--PO is not a TList object");
  EXPECT_EQ(MessageOf([&] { dir->DoInformationEventControl(one, ieBeforeReplacing, &text); }),
            "DoInformationEventControl parameter is not TInstallFile");
  dir->Mode = fcmIdle;
}

TEST_F(FileContainer, GroupInsideADirectoryIsRefusedButStaysThere) {
  dir = Directory();
  auto* group = new TInstallGroup(form.get());
  group->SetName("igMisplaced");
  EXPECT_EQ(MessageOf([&] { group->SetContainer(dir); }),
            "A TInstallGroup component can only be contained by a TInstall, or another TInstallGroup component");
  EXPECT_EQ(group->Container(), dir);
  ASSERT_EQ(dir->ObjectCount(), 1);
  EXPECT_EQ(dir->HelperComponent(0), group);
}

TEST_F(FileContainer, CompressWithBothForceOptionsFailsBeforeDeletingTheArchive) {
  TwoFiles();
  const std::string built = Slurp(archive);
  ASSERT_FALSE(built.empty());
  EXPECT_EQ(MessageOf([&] { dir->Compress(TCompressOptions{coForceNetFilesLocal, coForceFilesNet}); }),
            "Cannot pass both coForceNetFilesLocal and coForceFilesNet to Compress");
  EXPECT_EQ(Slurp(archive), built);
}

TEST_F(FileContainer, ExcludedFileIsBuiltWhenAskedAndExcludedAgainAfterwards) {
  dir = Directory();
  one = File(dir, "ifOne", "one.txt", "one");
  one->Include = false;
  Build(dir);
  EXPECT_FALSE(one->Include);
  EXPECT_EQ(one->BuildMark, 2);
  one->Include = true;
  dir->Install();
  EXPECT_EQ(Slurp(Dest("one.txt")), "one");
}

TEST_F(FileContainer, OwnSpecifierStandsForTheContainersDirectory) {
  dir = Directory();
  dir->Description = "Console files";
  TpsFileContainer* ps = dir->OwnSpecifier();
  ASSERT_NE(ps, nullptr);
  EXPECT_EQ(ps->Name(), "psFileContainer");
  EXPECT_EQ(ps->FileContainer(), dir);
  TInstallDirectory* other = Directory("idOther");
  ASSERT_NE(other->OwnSpecifier(), nullptr);
  EXPECT_EQ(other->OwnSpecifier()->Name(), "psFileContainer1");
  EXPECT_EQ(ps->GetDescription(), "Path into which Console files will be installed");
  EXPECT_EQ(ps->GetDisplayName(), "<Console files>");

  // A shortcut-like object places itself below the container's directory.
  class TLinkLike : public TInstallObject {
  public:
    using TInstallObject::TInstallObject;
    int Rank() const override { return 8000; }
  };
  auto* link = new TLinkLike(form.get());
  link->SetName("lnkLike");
  link->SetDestDirType(ps);
  link->SetDestDir("\\links");
  EXPECT_EQ(link->GetDestPath(), destDir + "\\links");
  // Files and containers use the container destination specifier instead.
  one = File(dir, "ifOne", "one.txt", "1");
  EXPECT_EQ(MessageOf([&] { one->SetDestDirType(ps); }),
            "A file container cannot reference another file container or group");
  EXPECT_EQ(MessageOf([&] { other->SetDestDirType(ps); }),
            "A file container cannot reference another file container or group");

  // The specifier goes with its container, and the reference with it.
  delete dir;
  dir = nullptr;
  EXPECT_EQ(form->FindComponent("psFileContainer"), nullptr);
  EXPECT_EQ(link->DestDirType(), nullptr);
  EXPECT_EQ(form->FindComponent("ifOne"), nullptr);
}

TEST_F(FileContainer, StreamedSpecifierReplacesTheOneTheContainerMade) {
  const std::string text =
      "object Form1: TComponent\n"
      "  object idStreamed: TInstallDirectory\n"
      "    Description = 'Streamed'\n"
      "  end\n"
      "  object psFileContainer: TpsFileContainer\n"
      "    FileContainer = idStreamed\n"
      "  end\n"
      "end\n";
  auto streamed = std::make_unique<TComponent>(nullptr);
  ReadForm(streamed.get(), ParseFormText(text));
  auto* d = dynamic_cast<TInstallDirectory*>(streamed->FindComponent("idStreamed"));
  ASSERT_NE(d, nullptr);
  int specifiers = 0;
  for (int i = 0; i < streamed->ComponentCount(); ++i)
    if (dynamic_cast<TpsFileContainer*>(streamed->Component(i))) ++specifiers;
  EXPECT_EQ(specifiers, 1);
  ASSERT_NE(d->OwnSpecifier(), nullptr);
  EXPECT_EQ(d->OwnSpecifier()->Name(), "psFileContainer");
  EXPECT_EQ(d->OwnSpecifier()->GetDisplayName(), "<Streamed>");
}

TEST_F(FileContainer, RemoveMissingFilesDropsFilesWhoseSourceIsGone) {
  dir = Directory();
  one = File(dir, "ifOne", "one.txt", "1");
  two = File(dir, "ifTwo", "two.txt", "2");
  DeleteFileA(Source("one.txt").c_str());
  dir->RemoveMissingFiles();
  ASSERT_EQ(dir->FileCount(), 1);
  EXPECT_EQ(dir->Files(0), two);
  EXPECT_EQ(form->FindComponent("ifOne"), nullptr);
}

TEST_F(FileContainer, ArchiveRecordedByAnEarlierRunIsUsedWithoutDownloading) {
  const std::string savedKey = CurrentInstallKey;
  CurrentInstallKey = "\\SOFTWARE\\TarnwickTests\\" + testsupport::UniqueName("record");
  dir = Directory();
  WriteFileText(temp->File("downloaded.1"), "archive");
  dir->RecordLocalFile(temp->File("downloaded.1"));
  const std::string recorded =
      ReadRegistryString(kHKLM, CurrentInstallKey + "\\idFiles", "LocalFile", "(none)");
  std::string found;
  const bool has = dir->GetLocalFile(found);
  dir->Download();
  const std::string local = dir->LocalArchivePath;
  DeleteFileA(temp->File("downloaded.1").c_str());
  dir->LocalArchivePath.clear();
  const bool hasAfterDelete = dir->HasLocalArchive();
  const std::string message = MessageOf([&] { dir->Download(); });
  DeleteRegistryTree(kHKLM, CurrentInstallKey);
  CurrentInstallKey = savedKey;

  EXPECT_EQ(recorded, temp->File("downloaded.1"));
  EXPECT_TRUE(has);
  EXPECT_EQ(found, temp->File("downloaded.1"));
  EXPECT_EQ(local, temp->File("downloaded.1"));
  EXPECT_FALSE(hasAfterDelete);
  EXPECT_EQ(message, "Could not find a net install location for idFiles");
}

TEST_F(FileContainer, NetworkFileOfATraditionalBuildGoesIntoTheNormalArchive) {
  MakeInstall();
  dir = Directory();
  one = File(dir, "ifOne", "one.txt", "over the network, if it were");
  one->SetNet(true);
  EXPECT_TRUE(dir->ContainsNetFiles());
  Build(dir);
  EXPECT_TRUE(SameText(one->ArchiveUsed, archive)) << one->ArchiveUsed;
  EXPECT_FALSE(dir->HasNetFilesToDownload());
  dir->Install();
  EXPECT_EQ(Slurp(Dest("one.txt")), "over the network, if it were");
}
