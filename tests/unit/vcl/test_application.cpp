#include <gtest/gtest.h>

#include <windows.h>

#include "Application.h"
#include "SysUtils.h"

namespace {
TApplication* g_app = nullptr;
int g_ticks = 0;
void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
  if (++g_ticks == 3) {
    KillTimer(nullptr, id);
    g_app->Terminate();
    // Messages after the request are not waited for.
    PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0);
  }
}
// Empties this thread's queue, so that no test meets what another left;
// answers whether a quit request was among the messages.
bool TakeQueuedMessages() {
  bool quit = false;
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) quit = quit || m.message == WM_QUIT;
  return quit;
}
}  // namespace

TEST(Application, TerminateEndsTheRunningLoop) {
  TApplication app(nullptr);
  g_app = &app;
  g_ticks = 0;
  TakeQueuedMessages();
  SetTimer(nullptr, 0, 10, Tick);
  app.Run();
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(g_ticks, 3);
  TakeQueuedMessages();
}

TEST(Application, ProcessMessagesHandlesWhatIsPendingAndReturns) {
  TApplication app(nullptr);
  g_app = &app;
  g_ticks = 2;
  TakeQueuedMessages();
  UINT_PTR id = SetTimer(nullptr, 0, 1, Tick);
  // Until the timer's message is pending.
  ASSERT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 60000, QS_TIMER), WAIT_OBJECT_0);
  app.ProcessMessages();
  app.ProcessMessages();
  EXPECT_TRUE(app.Terminated());
  EXPECT_FALSE(app.HandleMessage());
  KillTimer(nullptr, id);
  // The quit request stays queued for the loops that end on it.
  EXPECT_TRUE(TakeQueuedMessages());
}

TEST(Application, ExceptionsGoToTheHookAndAbortIsSilent) {
  TApplication app(nullptr);
  std::vector<std::string> seen;
  app.OnException = [&](const std::exception& e) { seen.push_back(e.what()); };
  app.HandleException(Exception("Disk full"));
  app.HandleException(EAbort());
  EXPECT_EQ(seen, std::vector<std::string>{"Disk full"});
}

TEST(Application, DestroyedMainFormIsForgotten) {
  TApplication app(nullptr);
  auto* form = new TComponent(nullptr);
  app.SetMainForm(form);
  EXPECT_EQ(app.MainForm(), form);
  delete form;
  EXPECT_EQ(app.MainForm(), nullptr);
}
