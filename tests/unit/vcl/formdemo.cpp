// Shows a form laid out like the setup program's main window (two gradient
// backdrops, the product caption, the logo and the year) for a while, so
// that it can be photographed from the display.
// Usage: formdemo [milliseconds]
#include <windows.h>

#include <cstdlib>

#include "Controls.h"
#include "cmp_TBackDrop.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int) {
  int ms = cmdLine && *cmdLine ? std::atoi(cmdLine) : 3000;
  try {
    TForm form(nullptr);
    form.SetBorderStyle(bsNoneForm);
    form.SetClientWidth(691);
    form.SetClientHeight(515);
    form.SetPosition(poScreenCenter);
    form.SetCaption("Installation of Kelvo Vantlex Console for NetWare");

    auto* top = new TBackdrop(&form);
    top->SetName("Backdrop1");
    top->SetTag(-1);
    top->SetAlign(alTop);
    top->SetHeight(98);
    top->SetDirection(bdDown);
    top->SetStartColor(13816530);
    top->SetEndColor(14540253);
    top->SetParent(&form);

    auto* caption = new TLabel(&form);
    caption->SetName("Label1");
    caption->SetParent(top);
    caption->SetTransparent(true);
    caption->Font().SetName("Trebuchet MS");
    caption->Font().SetHeight(-27);
    caption->Font().SetStyle({fsBold});
    caption->Font().SetColor(0x5A2F0B);
    caption->SetLeft(96);
    caption->SetTop(30);
    caption->SetCaption("Kelvo Vantlex Console");

    auto* logo = new TImage(&form);
    logo->SetName("LogoImage");
    logo->SetParent(top);
    logo->SetBounds(16, 17, 64, 64);
    logo->Picture().LoadFromResource(instance, "LOGO_PNG", MAKEINTRESOURCEA(10));

    auto* year = new TLabel(&form);
    year->SetName("Label2");
    year->SetParent(top);
    year->SetTransparent(true);
    year->Font().SetHeight(-13);
    year->Font().SetStyle({fsBold});
    year->SetCaption("2006");
    year->SetLeft(691 - year->Width() - 16);
    year->SetTop(72);

    auto* rest = new TBackdrop(&form);
    rest->SetName("Backdrop2");
    rest->SetDirection(bdDown);
    rest->SetStartColor(13882323);
    rest->SetEndColor(10724259);
    rest->SetParent(&form);

    form.Show();
    DWORD end = ::GetTickCount() + static_cast<DWORD>(ms);
    while (static_cast<long>(end - ::GetTickCount()) > 0) {
      ProcessMessages();
      ::Sleep(20);
    }
    return 0;
  } catch (const std::exception& e) {
    ::MessageBoxA(nullptr, e.what(), "formdemo", MB_OK | MB_ICONERROR);
    return 1;
  }
}
