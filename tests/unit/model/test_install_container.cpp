#include <gtest/gtest.h>

#include <functional>

#include <memory>

#include "cmp_TInstallContainer.h"
#include "routines_API.h"

namespace {

struct Heard {
  TInstallContainer* receiver;
  TInstallContainer* sender;
  int code;
  std::string text;
};
std::vector<Heard> g_heard;
std::vector<std::string> g_installed;

class TTestObject : public TInstallObject {
public:
  TTestObject(TComponent* owner, const char* name, int rank, bool autoProcess)
      : TInstallObject(owner), rank_(rank) {
    SetName(name);
    autoProcess_ = autoProcess;
  }
  int Rank() const override { return rank_; }
  void Notify(TInstallContainer* sender, int code, TPersistent* parameter) override {
    auto* m = dynamic_cast<TMessageParameter*>(parameter);
    g_heard.push_back({this, sender, code, m ? m->Text : std::string()});
    if (OnNotify) OnNotify();
  }
  std::function<void()> OnNotify;
  void InstallObjects() override {
    g_installed.push_back(Name());
    TInstallObject::InstallObjects();
  }
  void RecordForUninstall(const std::string& key) override { uninstallKey = key; }
  std::string uninstallKey;

private:
  int rank_;
};

class TTestBDE : public TTestObject {
public:
  TTestBDE(TComponent* owner) : TTestObject(owner, "bde", 2000, true) {}
  const char* ClassName() const override { return "TInstallBDE"; }
};

class TTestInstall : public TInstallContainer {
public:
  explicit TTestInstall(TComponent* owner) : TInstallContainer(owner) { SetName("Install1"); }
  int Rank() const override { return 1000; }
  bool IsInstalling() const override { return installing; }
  std::string UninstallProductName() const override { return "Kelvo Product"; }
  bool installing = false;
};

TInstallObject* Obj(TComponent* form, const char* name, int rank, bool autoProcess = true) {
  return new TTestObject(form, name, rank, autoProcess);
}

std::vector<std::string> Names(const TInstallContainer* c) {
  std::vector<std::string> out;
  for (int i = 0; i < c->ObjectCount(); ++i) out.push_back(c->HelperComponent(i)->Name());
  return out;
}

class InstallTree : public ::testing::Test {
protected:
  void SetUp() override {
    g_heard.clear();
    g_installed.clear();
    RunningOSHook = [] { return oswinXP; };
    form = std::make_unique<TComponent>(nullptr);
    root = new TTestInstall(form.get());
  }
  void TearDown() override {
    form.reset();
    CurrentInstall = nullptr;
    RunningOSHook = &GetOSVersion;
  }
  std::unique_ptr<TComponent> form;
  TTestInstall* root;
};

}  // namespace

TEST_F(InstallTree, HelpersAreOrderedByRankWithNewestFirstWithinARank) {
  Obj(form.get(), "file1", 2000)->SetContainer(root);
  Obj(form.get(), "group", 500)->SetContainer(root);
  Obj(form.get(), "dir", 1000)->SetContainer(root);
  Obj(form.get(), "file2", 2000)->SetContainer(root);
  Obj(form.get(), "dialog", 9000, false)->SetContainer(root);
  EXPECT_EQ(Names(root), (std::vector<std::string>{"group", "dir", "file2", "file1", "dialog"}));
  (new TTestBDE(form.get()))->SetContainer(root);
  EXPECT_EQ(root->HelperComponent(0)->Name(), "bde");
  EXPECT_EQ(root->CountOfClass(&IsInstallClass<TTestBDE>), 1);
  EXPECT_EQ(root->Comp<TTestObject>(2)->Name(), "dir");
}

TEST_F(InstallTree, CircularContainmentIsRefusedAndLeavesTheTreeUnchanged) {
  TInstallObject* a = Obj(form.get(), "a", 500);
  TInstallObject* b = Obj(form.get(), "b", 500);
  TInstallObject* c = Obj(form.get(), "c", 1000);
  a->SetContainer(root);
  b->SetContainer(a);
  c->SetContainer(b);
  try {
    a->SetContainer(c);
    FAIL() << "no error";
  } catch (const IEInstallContainer& e) {
    EXPECT_EQ(e.Message(), "Circular reference");
  }
  EXPECT_EQ(a->Container(), root);
  EXPECT_EQ(Names(root), std::vector<std::string>{"a"});
  EXPECT_EQ(c->ObjectCount(), 0);
  EXPECT_THROW(a->SetContainer(a), IEInstallContainer);
  try {
    root->AddObject(nullptr);
    FAIL() << "no error";
  } catch (const IEInstallContainer& e) {
    EXPECT_EQ(e.Message(), "Cannot add a blank base helper component to Install1");
  }
}

TEST_F(InstallTree, MovingAnObjectTakesItOutOfItsOldContainer) {
  TInstallObject* a = Obj(form.get(), "a", 500);
  TInstallObject* f = Obj(form.get(), "f", 2000);
  f->SetContainer(root);
  a->SetContainer(root);
  f->SetContainer(a);
  EXPECT_EQ(Names(root), std::vector<std::string>{"a"});
  EXPECT_EQ(Names(a), std::vector<std::string>{"f"});
  f->SetContainer(nullptr);
  EXPECT_EQ(a->ObjectCount(), 0);
}

TEST_F(InstallTree, BroadcastReachesOnlyDirectHelpersOfRank2000AndAbove) {
  TInstallObject* group = Obj(form.get(), "group", 500);
  group->SetContainer(root);
  Obj(form.get(), "inner", 2000)->SetContainer(group);
  TInstallObject* file = Obj(form.get(), "file", 2000);
  file->SetContainer(root);
  TInstallObject* dlg = Obj(form.get(), "dlg", 9000, false);
  dlg->SetContainer(root);
  root->ShowStatusMessage("Copying");
  ASSERT_EQ(g_heard.size(), 2u);
  EXPECT_EQ(g_heard[0].receiver, file);
  EXPECT_EQ(g_heard[1].receiver, dlg);
  EXPECT_EQ(g_heard[1].sender, root);
  EXPECT_EQ(g_heard[1].code, -974);
  EXPECT_EQ(g_heard[1].text, "Copying");
  g_heard.clear();
  root->HideStatusMessage();
  ASSERT_EQ(g_heard.size(), 2u);
  EXPECT_EQ(g_heard[0].code, -973);
}

TEST_F(InstallTree, AHelperTakenOutDuringABroadcastIsNotReachedAndTheOthersAre) {
  auto* first = static_cast<TTestObject*>(Obj(form.get(), "first", 2000));
  TInstallObject* second = Obj(form.get(), "second", 2000);
  TInstallObject* third = Obj(form.get(), "third", 2000);
  for (TInstallObject* o : {static_cast<TInstallObject*>(first), second, third}) o->SetContainer(root);
  root->ShowStatusMessage("x");
  std::vector<TInstallObject*> order;
  for (const Heard& h : g_heard) order.push_back(static_cast<TInstallObject*>(h.receiver));
  ASSERT_EQ(order.size(), 3u);
  g_heard.clear();
  // Whichever comes first takes out the one that would come last.
  TInstallObject* last = order[2];
  static_cast<TTestObject*>(order[0])->OnNotify = [&] { last->SetContainer(nullptr); };
  root->ShowStatusMessage("Copying");
  ASSERT_EQ(g_heard.size(), 2u);
  EXPECT_EQ(g_heard[0].receiver, order[0]);
  EXPECT_EQ(g_heard[1].receiver, order[1]);
  static_cast<TTestObject*>(order[0])->OnNotify = nullptr;
  g_heard.clear();
  root->ShowStatusMessage("again");
  EXPECT_EQ(g_heard.size(), 2u);
}

TEST_F(InstallTree, ProcessingRunsTheTreeInListOrderAndSkipsRankPassObjects) {
  TInstallObject* group = Obj(form.get(), "group", 500);
  group->SetContainer(root);
  Obj(form.get(), "f1", 2000)->SetContainer(group);
  Obj(form.get(), "f2", 2000)->SetContainer(group);
  Obj(form.get(), "dir", 1000)->SetContainer(root);
  Obj(form.get(), "link", 8000, false)->SetContainer(root);
  CurrentInstall = root;
  root->Install();
  EXPECT_EQ(g_installed, (std::vector<std::string>{"group", "f2", "f1", "dir"}));
  EXPECT_TRUE(root->Processed);
  EXPECT_TRUE(group->Processed);
  EXPECT_EQ(static_cast<TTestObject*>(group)->uninstallKey,
            "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvo Product");
}

TEST_F(InstallTree, RankPassSkipsObjectsWhoseContainerWasNotProcessed) {
  TInstallObject* group = Obj(form.get(), "group", 500);
  group->SetContainer(root);
  TInstallObject* link = Obj(form.get(), "link", 8000, false);
  link->SetContainer(group);
  CurrentInstall = root;
  root->installing = true;
  link->Install();
  EXPECT_FALSE(link->Processed);
  group->Processed = true;
  link->Install();
  EXPECT_TRUE(link->Processed);
}

TEST_F(InstallTree, ObjectForAnotherSystemIsExcludedButStillAnnounced) {
  TInstallObject* f = Obj(form.get(), "file", 2000);
  TInstallObject* listener = Obj(form.get(), "listener", 2000, false);
  listener->SetContainer(f);
  RunningOSHook = [] { return oswin98; };
  f->OS = OSSet{oswinNT, oswinXP};
  int before = 0, after = 0;
  f->OnBeforeProcess = [&](TInstallContainer* c) { before += c == f; };
  f->OnAfterProcess = [&](TInstallContainer*) { ++after; };
  f->Install();
  EXPECT_FALSE(f->Include);
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 0);
  ASSERT_EQ(g_heard.size(), 1u);
  EXPECT_EQ(g_heard[0].code, -990);
  EXPECT_TRUE(g_installed.empty());
  // The exclusion is for good, even on a system the set allows.
  RunningOSHook = [] { return oswinXP; };
  f->Install();
  EXPECT_FALSE(f->Include);
  EXPECT_TRUE(g_installed.empty());
}

TEST_F(InstallTree, IncludedObjectAnnouncesEveryStage) {
  TInstallObject* f = Obj(form.get(), "file", 2000);
  Obj(form.get(), "listener", 2000, false)->SetContainer(f);
  RunningOSHook = [] { return oswinXP; };
  f->Install();
  ASSERT_EQ(g_heard.size(), 3u);
  EXPECT_EQ(g_heard[0].code, -990);
  EXPECT_EQ(g_heard[1].code, -999);
  EXPECT_EQ(g_heard[2].code, -989);
}

TEST_F(InstallTree, InstallTypeDecidesUnlessCustom) {
  TInstallObject* group = Obj(form.get(), "group", 500);
  group->SetContainer(root);
  TInstallObject* f = Obj(form.get(), "file", 2000);
  f->SetContainer(group);
  f->SetInstallTypes(TInstallTypeSet{itFull});
  RunningOSHook = [] { return oswinXP; };

  root->SetInstallType(itCompact);
  EXPECT_EQ(f->CurrentInstallType, itCompact);
  EXPECT_FALSE(f->IsSelected());
  root->Install();
  EXPECT_EQ(g_installed, std::vector<std::string>{"group"});

  g_installed.clear();
  root->SetInstallType(itCustom);
  EXPECT_TRUE(f->IsSelected());
  root->Install();
  EXPECT_EQ(g_installed, (std::vector<std::string>{"group", "file"}));

  f->SetInstallTypes(TInstallTypeSet{});
  EXPECT_EQ(f->InstallTypes(), TInstallTypeSet{itFull});
}

TEST_F(InstallTree, EAbortEndsOnlyThatObjectsStep) {
  TInstallObject* a = Obj(form.get(), "a", 2000);
  TInstallObject* b = Obj(form.get(), "b", 2000);
  a->SetContainer(root);
  b->SetContainer(root);
  RunningOSHook = [] { return oswinXP; };
  b->OnBeforeProcess = [](TInstallContainer*) { Abort(); };
  root->Install();
  EXPECT_FALSE(b->Processed);
  EXPECT_TRUE(a->Processed);
}

TEST_F(InstallTree, DestroyedObjectsLeaveEveryListAndReference) {
  TInstallObject* group = Obj(form.get(), "group", 500);
  group->SetContainer(root);
  TInstallObject* f = Obj(form.get(), "file", 2000);
  f->SetContainer(group);
  const int registered = InstallContainers().Count();
  EXPECT_TRUE(InstallContainers().Contains(f));
  delete group;
  EXPECT_EQ(f->Container(), nullptr);
  EXPECT_EQ(root->ObjectCount(), 0);
  EXPECT_EQ(InstallContainers().Count(), registered - 1);
  delete f;
  EXPECT_EQ(InstallContainers().Count(), registered - 2);
  Obj(form.get(), "x", 2000)->SetContainer(root);
  root->FreeObjectsOfClass(&IsInstallClass<TTestObject>);
  EXPECT_EQ(root->ObjectCount(), 0);
}

TEST_F(InstallTree, FailuresCarryTheirMessages) {
  try {
    root->HelperComponent(3);
    FAIL();
  } catch (const IEInstallContainer& e) {
    EXPECT_EQ(e.Message(),
              "Tried to reference a helper component in the following component: Install1. The "
              "following index was used: 3");
  }
  TInstallContainer plain(nullptr);
  try {
    plain.Rank();
    FAIL();
  } catch (const IEInstallContainer& e) {
    EXPECT_EQ(e.Message(), "Class must declare a registered type");
  }
  EXPECT_THROW(root->Comp<TTestObject>(0), IEInstallContainer);
  try {
    InstallFiles().Add(nullptr);
    FAIL();
  } catch (const IECustomInstallFileList& e) {
    EXPECT_EQ(e.Message(), "Cannot add a blank entry to the TCustomInstallFileList object");
  }
  EXPECT_THROW(InstallContainers().Add(nullptr), IEContainerList);
}

TEST_F(InstallTree, NewContainerDefaultsMatchTheRunningSystem) {
  TInstallObject* f = Obj(form.get(), "f", 2000);
  EXPECT_TRUE(f->Include);
  EXPECT_TRUE(f->Uninstall);
  EXPECT_FALSE(f->Processed);
  EXPECT_EQ(f->Order(), -1);
  EXPECT_EQ(f->InstallTypes(), (TInstallTypeSet{itFull, itDefault, itCompact}));
  EXPECT_EQ(f->OS, (OSSet{oswin95, oswinNT, oswin2K, oswin98, oswinME, oswinXP}));
}

#include "FormReader.h"

namespace {
class TStreamInstall : public TInstallContainer {
public:
  using TInstallContainer::TInstallContainer;
  int Rank() const override { return 1000; }
};
class TStreamGroup : public TInstallObject {
public:
  using TInstallObject::TInstallObject;
  int Rank() const override { return 500; }
};
class TStreamFile : public TInstallObject {
public:
  using TInstallObject::TInstallObject;
  int Rank() const override { return 2000; }
  void Loaded() override {
    TInstallObject::Loaded();
    containerAtLoaded = Container() ? Container()->Name() : "none";
  }
  std::string containerAtLoaded;
};
TClassRegistrar<TStreamInstall> regSI("TStreamInstall", "TInstallContainer", nullptr);
TClassRegistrar<TStreamGroup> regSG("TStreamGroup", "TInstallObject", nullptr);
TClassRegistrar<TStreamFile> regSF("TStreamFile", "TInstallObject", nullptr);
}  // namespace

TEST_F(InstallTree, StreamedTreeIsOrderedByRankWithForwardContainersFixedUp) {
  const char* text =
      "object Form1: TComponent\n"
      "  object Install2: TStreamInstall\n"
      "  end\n"
      "  object File1: TStreamFile\n"
      "    Container = Group\n"
      "    InstallTypes = [itFull]\n"
      "    OS = [oswin95, oswinXP]\n"
      "    DestDir = 'bin'\n"
      "    Tag = 1\n"
      "    Left = 10\n"
      "  end\n"
      "  object Group: TStreamGroup\n"
      "    Container = Install2\n"
      "    Include = False\n"
      "  end\n"
      "  object File2: TStreamFile\n"
      "    Container = Group\n"
      "  end\n"
      "end\n";
  ReadForm(form.get(), ParseFormText(text));
  auto* install = dynamic_cast<TInstallContainer*>(form->FindComponent("Install2"));
  auto* group = dynamic_cast<TInstallContainer*>(form->FindComponent("Group"));
  auto* file1 = dynamic_cast<TStreamFile*>(form->FindComponent("File1"));
  ASSERT_TRUE(install && group && file1);
  EXPECT_EQ(Names(install), std::vector<std::string>{"Group"});
  // File1 names Group before Group is read: it is inserted at fix-up, after File2.
  EXPECT_EQ(Names(group), (std::vector<std::string>{"File1", "File2"}));
  EXPECT_EQ(file1->containerAtLoaded, "Group");
  EXPECT_EQ(file1->InstallTypes(), TInstallTypeSet{itFull});
  EXPECT_EQ(file1->OS, (OSSet{oswin95, oswinXP}));
  EXPECT_EQ(file1->DestDir(), "bin");
  EXPECT_EQ(file1->Tag(), 1);
  EXPECT_FALSE(group->Include);
}
