// Forms and controls as windows: lazy creation, client size, texts,
// alignment, the modal loop, and pictures from stream data.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "Application.h"
#include "Controls.h"

namespace {

std::vector<std::uint8_t> LoadData(const std::string& name) {
  const char* dir = std::getenv("TW_TEST_DATA");
  std::ifstream f(std::string(dir ? dir : ".") + "/pictures/" + name, std::ios::binary);
  EXPECT_TRUE(f.good()) << name;
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::string WindowText(HWND h) {
  char buf[256] = {};
  ::GetWindowTextA(h, buf, sizeof buf);
  return buf;
}

}  // namespace

TEST(Forms, WindowsAreCreatedWhenShownWithTheClientSize) {
  TForm form(nullptr);
  form.SetBorderStyle(bsNoneForm);
  form.SetClientWidth(691);
  form.SetClientHeight(515);
  form.SetCaption("Installation");
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  edit->SetBounds(10, 10, 200, 21);
  edit->SetText("C:\\Program Files\\Kelvo");
  auto* button = new TButton(&form);
  button->SetParent(&form);
  button->SetCaption("&Next >");
  EXPECT_FALSE(form.HandleAllocated());
  EXPECT_FALSE(edit->HandleAllocated());

  form.Show();
  ASSERT_TRUE(form.HandleAllocated());
  RECT rc;
  ::GetClientRect(form.Handle(), &rc);
  EXPECT_EQ(rc.right, 691);
  EXPECT_EQ(rc.bottom, 515);
  RECT wr;
  ::GetWindowRect(form.Handle(), &wr);
  EXPECT_EQ(wr.right - wr.left, 691);  // no frame
  ASSERT_TRUE(edit->HandleAllocated());
  EXPECT_EQ(::GetParent(edit->Handle()), form.Handle());
  EXPECT_EQ(WindowText(edit->Handle()), "C:\\Program Files\\Kelvo");
  EXPECT_EQ(WindowText(button->Handle()), "&Next >");
  ::SetWindowTextA(edit->Handle(), "D:\\Other");
  EXPECT_EQ(edit->Text(), "D:\\Other");
  EXPECT_EQ(WindowText(form.Handle()), "Installation");
}

TEST(Forms, FramedFormKeepsTheRequestedClientSize) {
  TForm form(nullptr);
  form.SetBorderStyle(bsDialog);
  form.SetClientWidth(400);
  form.SetClientHeight(300);
  form.Show();
  RECT rc;
  ::GetClientRect(form.Handle(), &rc);
  EXPECT_EQ(rc.right, 400);
  EXPECT_EQ(rc.bottom, 300);
}

TEST(Forms, AlignedChildrenShareTheClientArea) {
  TForm form(nullptr);
  form.SetBorderStyle(bsNoneForm);
  form.SetClientWidth(300);
  form.SetClientHeight(200);
  auto make = [&](TAlign a, int w, int h) {
    auto* p = new TPanel(&form);
    p->SetBounds(0, 0, w, h);
    p->SetAlign(a);
    p->SetParent(&form);
    return p;
  };
  TPanel* top = make(alTop, 10, 40);
  TPanel* client = make(alClient, 10, 10);
  TPanel* bottom = make(alBottom, 10, 30);
  TPanel* left = make(alLeft, 50, 10);
  TPanel* right = make(alRight, 20, 10);
  EXPECT_EQ(top->BoundsRect().bottom, 40);
  EXPECT_EQ(top->Width(), 300);
  EXPECT_EQ(bottom->Top(), 170);
  EXPECT_EQ(left->Top(), 40);
  EXPECT_EQ(left->Height(), 130);
  EXPECT_EQ(right->Left(), 280);
  EXPECT_EQ(client->Left(), 50);
  EXPECT_EQ(client->Top(), 40);
  EXPECT_EQ(client->Width(), 230);
  EXPECT_EQ(client->Height(), 130);

  top->SetVisible(false);
  EXPECT_EQ(client->Top(), 0);
  EXPECT_EQ(client->Height(), 170);
  form.Show();
  RECT r;
  ::GetWindowRect(client->Handle(), &r);
  ::MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 50);
  EXPECT_EQ(r.bottom - r.top, 170);
}

TEST(Forms, ShowModalReturnsTheResultOfTheClickedButton) {
  TForm form(nullptr);
  form.SetPosition(poScreenCenter);
  auto* ok = new TButton(&form);
  ok->SetParent(&form);
  ok->SetModalResult(mrOk);
  auto* cancel = new TBitBtn(&form);
  cancel->SetParent(&form);
  cancel->SetKind(bkCancel);
  cancel->SetLeft(100);
  EXPECT_EQ(cancel->Caption(), "Cancel");
  int clicks = 0;
  ok->OnClick = [&](TComponent*) { ++clicks; };
  bool shown = false, closed = false;
  form.OnShow = [&](TComponent*) {
    shown = true;
    ::PostMessageA(ok->Handle(), BM_CLICK, 0, 0);
  };
  form.OnClose = [&](TComponent*, TCloseAction&) { closed = true; };
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(shown);
  EXPECT_TRUE(closed);
  EXPECT_FALSE(::IsWindowVisible(form.Handle()));

  form.OnShow = [&](TComponent*) { ::PostMessageA(cancel->Handle(), BM_CLICK, 0, 0); };
  EXPECT_EQ(form.ShowModal(), mrCancel);
  form.OnShow = [&](TComponent*) { ::PostMessageA(form.Handle(), WM_CLOSE, 0, 0); };
  EXPECT_EQ(form.ShowModal(), mrCancel);
}

TEST(Forms, CloseQueryCanRefuseToEndTheModalLoop) {
  TForm form(nullptr);
  auto* ok = new TButton(&form);
  ok->SetParent(&form);
  ok->SetModalResult(mrOk);
  int asked = 0;
  form.OnCloseQuery = [&](TComponent*, bool& canClose) {
    canClose = ++asked > 1;
    if (!canClose) ::PostMessageA(ok->Handle(), BM_CLICK, 0, 0);
  };
  form.OnShow = [&](TComponent*) { ::PostMessageA(ok->Handle(), BM_CLICK, 0, 0); };
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_EQ(asked, 2);
}

TEST(Forms, LabelSizesItselfToItsCaption) {
  TForm form(nullptr);
  auto* label = new TLabel(&form);
  label->SetParent(&form);
  label->SetCaption("2006");
  int shortWidth = label->Width();
  label->SetCaption("Kelvo Vantlex Console");
  EXPECT_GT(label->Width(), shortWidth);
  EXPECT_GT(label->Height(), 5);
}

TEST(Pictures, GraphicsAreBuiltFromStreamDataByClassName) {
  auto png = LoadData("red4x3.png");
  auto g = CreateGraphic("TPngImage", png.data(), png.size());
  EXPECT_EQ(g->Width(), 4);
  EXPECT_EQ(g->Height(), 3);
  EXPECT_EQ(CreateGraphic("TPNGObject", png.data(), png.size())->Image().PixelRGB(3, 2), 0x0000FFu);

  // Bitmaps in a stream: class name, 32-bit length, file.
  auto bmp = LoadData("red4x3.bmp");
  std::vector<std::uint8_t> data{7, 'T', 'B', 'i', 't', 'm', 'a', 'p'};
  std::uint32_t n = static_cast<std::uint32_t>(bmp.size());
  for (int i = 0; i < 4; ++i) data.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
  data.insert(data.end(), bmp.begin(), bmp.end());
  TPicture picture;
  picture.LoadFromStreamData(data.data(), data.size());
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_STREQ(picture.Graphic()->ClassName(), "TBitmap");
  EXPECT_EQ(picture.Width(), 4);

  auto jpg = LoadData("green16x8.jpg");
  EXPECT_EQ(CreateGraphic("TJPEGImage", jpg.data(), jpg.size())->Width(), 16);

  EXPECT_THROW(CreateGraphic("TMetafile", png.data(), png.size()), EInvalidGraphic);
  data.resize(data.size() - 10);
  EXPECT_THROW(picture.LoadFromStreamData(data.data(), data.size()), EInvalidGraphic);
  EXPECT_EQ(picture.Width(), 4);  // the previous picture stays
}

TEST(Pictures, ImagePaintsItsPictureWithAlpha) {
  auto png = LoadData("red4x3.png");
  TForm form(nullptr);
  form.SetBorderStyle(bsNoneForm);
  form.SetClientWidth(20);
  form.SetClientHeight(20);
  form.SetColor(clWhite);
  auto* image = new TImage(&form);
  image->SetParent(&form);
  image->SetBounds(0, 0, 8, 6);
  image->SetStretch(true);
  image->Picture().SetGraphic(CreateGraphic("TPngImage", png.data(), png.size()));
  HDC dc = ::CreateCompatibleDC(nullptr);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 20, -20, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::uint32_t* bits = nullptr;
  HBITMAP bmp = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
  ::SelectObject(dc, bmp);
  TCanvas canvas(dc);
  form.Paint(canvas);
  image->Paint(canvas);
  ::GdiFlush();
  EXPECT_EQ(bits[0] & 0xFFFFFF, 0xFFFFFFu);      // transparent corner shows the form
  EXPECT_EQ(bits[3 * 20 + 3] & 0xFFFFFF, 0xFF0000u);  // red, stretched 2x
  EXPECT_EQ(bits[5 * 20 + 7] & 0xFFFFFF, 0x0000FFu);  // blue corner
  ::DeleteDC(dc);
  ::DeleteObject(bmp);
}

TEST(Forms, EscapeReachesTheCancelButton) {
  TForm form(nullptr);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  auto* cancel = new TBitBtn(&form);
  cancel->SetParent(&form);
  cancel->SetKind(bkCancel);
  cancel->SetModalResult(mrAbort);  // tells the button apart from a plain close
  cancel->SetTop(40);
  form.OnShow = [&](TComponent*) {
    ::PostMessageA(edit->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  };
  EXPECT_EQ(form.ShowModal(), mrAbort);
}

// The pump of long operations: a modeless form takes Escape and Enter as a
// modal one does, and a quit request stays queued for the loop that ends on it.
TEST(Forms, ThePumpOfLongOperationsGivesModelessFormsTheirKeysAndKeepsTheQuit) {
  TApplication app(nullptr);
  Application = &app;
  TForm form(nullptr);
  auto* ok = new TButton(&form);
  ok->SetParent(&form);
  ok->SetDefault(true);
  auto* cancel = new TButton(&form);
  cancel->SetParent(&form);
  cancel->SetCancel(true);
  cancel->SetLeft(100);
  int oks = 0, cancels = 0;
  ok->OnClick = [&](TComponent*) { ++oks; };
  cancel->OnClick = [&](TComponent*) { ++cancels; };
  form.Show();
  ::SetForegroundWindow(form.Handle());
  ok->SetFocus();
  for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
    ::PostMessageA(ok->Handle(), WM_KEYDOWN, key, 0);
    ::PostMessageA(ok->Handle(), WM_KEYUP, key, 0xC0000001);
    ProcessMessages();
  }
  EXPECT_EQ(cancels, 1);
  EXPECT_EQ(oks, 1);

  ::PostQuitMessage(3);
  app.ProcessMessages();
  EXPECT_TRUE(app.Terminated());
  MSG m;
  ASSERT_TRUE(::PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(m.wParam, 3u);
  form.Hide();
  Application = nullptr;
}
