// The list, radio, progress, tab and rich-text controls as real windows.
#include <gtest/gtest.h>

#include "ComCtrls.h"

#include <commctrl.h>

namespace {

class DialogControls : public ::testing::Test {
protected:
  void SetUp() override {
    form.SetClientWidth(475);
    form.SetClientHeight(368);
  }
  template <class T>
  T* Add() {
    auto* c = new T(&form);
    c->SetParent(&form);
    return c;
  }
  TForm form{nullptr};
};

std::string Text(HWND h) {
  char buf[512] = {};
  ::GetWindowTextA(h, buf, sizeof buf);
  return buf;
}

}  // namespace

TEST_F(DialogControls, RadioGroupKeepsItsChoiceBeforeAndAfterTheWindowExists) {
  auto* rg = Add<TRadioGroup>();
  rg->SetBounds(5, 100, 465, 80);
  rg->SetItems({"Yes, I would like to reboot windows", "No, I would not like to reboot windows"});
  rg->SetItemIndex(0);
  int clicks = 0;
  rg->OnClick = [&](TComponent*) { ++clicks; };
  form.Show();
  ASSERT_NE(rg->ButtonHandle(1), nullptr);
  EXPECT_EQ(Text(rg->ButtonHandle(1)), "No, I would not like to reboot windows");
  EXPECT_EQ(::SendMessageA(rg->ButtonHandle(0), BM_GETCHECK, 0, 0), BST_CHECKED);
  ::SendMessageA(rg->ButtonHandle(1), BM_CLICK, 0, 0);
  EXPECT_EQ(rg->ItemIndex(), 1);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(::SendMessageA(rg->ButtonHandle(0), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(DialogControls, ListBoxReportsTheSelectedItem) {
  auto* lb = Add<TListBox>();
  lb->SetItems({"Accessories", "Kelvo", "Startup"});
  form.Show();
  EXPECT_EQ(::SendMessageA(lb->Handle(), LB_GETCOUNT, 0, 0), 3);
  int clicks = 0;
  lb->OnClick = [&](TComponent*) { ++clicks; };
  lb->SetItemIndex(1);
  EXPECT_EQ(::SendMessageA(lb->Handle(), LB_GETCURSEL, 0, 0), 1);
  // A user selection arrives as LBN_SELCHANGE.
  ::SendMessageA(lb->Handle(), LB_SETCURSEL, 2, 0);
  ::SendMessageA(form.Handle(), WM_COMMAND, MAKEWPARAM(0, LBN_SELCHANGE), reinterpret_cast<LPARAM>(lb->Handle()));
  EXPECT_EQ(lb->ItemIndex(), 2);
  EXPECT_EQ(clicks, 1);
  lb->AddItem("Games");
  EXPECT_EQ(::SendMessageA(lb->Handle(), LB_GETCOUNT, 0, 0), 4);
  EXPECT_EQ(lb->ItemIndex(), -1);
}

TEST_F(DialogControls, ProgressBarClampsItsPosition) {
  auto* pb = Add<TProgressBar>();
  pb->SetPosition(40);
  form.Show();
  EXPECT_EQ(::SendMessageA(pb->Handle(), PBM_GETPOS, 0, 0), 40);
  pb->SetPosition(250);
  EXPECT_EQ(pb->Position(), 100);
  EXPECT_EQ(::SendMessageA(pb->Handle(), PBM_GETPOS, 0, 0), 100);
  pb->SetPosition(-3);
  EXPECT_EQ(::SendMessageA(pb->Handle(), PBM_GETPOS, 0, 0), 0);
}

TEST_F(DialogControls, TabIndexFromCodeRaisesNoEvents) {
  auto* tabs = Add<TTabControl>();
  tabs->SetTabs({"Licence", "Destination", "Folder"});
  int events = 0;
  tabs->OnChange = [&](TComponent*) { ++events; };
  tabs->OnChanging = [&](TComponent*, bool&) { ++events; };
  form.Show();
  EXPECT_EQ(::SendMessageA(tabs->Handle(), TCM_GETITEMCOUNT, 0, 0), 3);
  tabs->SetTabIndex(2);
  EXPECT_EQ(::SendMessageA(tabs->Handle(), TCM_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(events, 0);
}

TEST_F(DialogControls, RichEditShowsStreamedRtf) {
  auto* re = Add<TRichEdit>();
  re->SetReadOnly(true);
  re->LoadFromString("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 LICENSE AGREEMENT\\par {\\b Kelvo} Software\\par}");
  form.Show();
  std::string text = re->Text();
  EXPECT_NE(text.find("LICENSE AGREEMENT"), std::string::npos) << text;
  EXPECT_NE(text.find("Kelvo Software"), std::string::npos) << text;
  EXPECT_EQ(text.find("rtf1"), std::string::npos);
  EXPECT_TRUE(::GetWindowLongA(re->Handle(), GWL_STYLE) & ES_READONLY);
}
