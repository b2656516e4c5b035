// A small UI-automation tool for end-to-end tests: finds top-level windows by
// caption and class, reads their texts, types into edits and clicks buttons,
// as a person would. Output goes to stdout; the exit code is 0 on success.
//
//   uidriver wait TITLE [CLASS] [TIMEOUT_MS]     wait until the window exists
//   uidriver gone TITLE [CLASS] [TIMEOUT_MS]     wait until it no longer exists
//   uidriver texts TITLE [CLASS]                 print the window's and its children's texts (and list items)
//   uidriver click TITLE BUTTON_TEXT [CLASS] [TIMEOUT_MS]
//                                                click a child button (text match ignores '&')
//   uidriver type TITLE N TEXT [CLASS]           set the text of the N-th edit (from 0)
//   uidriver close TITLE [CLASS]                 post WM_CLOSE
//   uidriver progress TITLE [TIMEOUT_MS]        wait for the window, then print the positions of its
//                                                progress bars ("file total") each time they change,
//                                                and the texts of its statics, until it goes
//   uidriver at TITLE PERCENT [BUTTON] [TIMEOUT_MS]
//                                                wait until the window's total (last) progress bar stands at
//                                                PERCENT or more, then click BUTTON at once, if given
//   uidriver keys TITLE KEY...                   bring the window to the front and press keys
//                                                (ENTER, ESC, TAB, SHIFT+TAB, ALT+F4, ALT+<letter>, a letter)
// Only visible child windows count: hidden wizard pages are not seen.
//   uidriver list                                print every visible top-level window
//   uidriver run COMMAND_LINE                    start a registered command line as the shell does (no
//                                                application name, so an unquoted path with blanks is
//                                                resolved by the system), wait; the exit code is the program's
//
// TITLE matches when it is contained in the caption; "*" matches any caption.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
std::string TextOf(HWND w) {
  char buf[4096] = {};
  // A window whose thread is busy for a while (a large file being copied)
  // does not answer; the title the system keeps stands in for it.
  if (!SendMessageTimeoutA(w, WM_GETTEXT, sizeof(buf), reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000,
                           nullptr) ||
      !buf[0])
    GetWindowTextA(w, buf, sizeof(buf));
  return buf;
}
std::string ClassOf(HWND w) {
  char buf[256] = {};
  GetClassNameA(w, buf, sizeof(buf));
  return buf;
}
std::string WithoutAmpersands(const std::string& s) {
  std::string r;
  for (char c : s)
    if (c != '&') r += c;
  return r;
}

struct Query {
  std::string title, cls;
  HWND found = nullptr;
};

BOOL CALLBACK FindTop(HWND w, LPARAM lp) {
  auto* q = reinterpret_cast<Query*>(lp);
  if (!IsWindowVisible(w)) return TRUE;
  if (!q->cls.empty() && ClassOf(w) != q->cls) return TRUE;
  if (q->title != "*" && TextOf(w).find(q->title) == std::string::npos) return TRUE;
  q->found = w;
  return FALSE;
}

HWND Find(const std::string& title, const std::string& cls) {
  Query q{title, cls};
  EnumWindows(FindTop, reinterpret_cast<LPARAM>(&q));
  return q.found;
}

HWND WaitFor(const std::string& title, const std::string& cls, int timeoutMs) {
  for (int waited = 0;; waited += 100) {
    if (HWND w = Find(title, cls)) return w;
    if (waited >= timeoutMs) return nullptr;
    Sleep(100);
  }
}

BOOL CALLBACK CollectChildren(HWND w, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
  return TRUE;
}
std::vector<HWND> Children(HWND w) {
  std::vector<HWND> all, list;
  EnumChildWindows(w, CollectChildren, reinterpret_cast<LPARAM>(&all));
  for (HWND c : all)
    if (IsWindowVisible(c)) list.push_back(c);
  return list;
}

void Press(const std::vector<WORD>& keys) {
  std::vector<INPUT> in;
  for (WORD k : keys) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = k;
    in.push_back(i);
  }
  for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = *it;
    i.ki.dwFlags = KEYEVENTF_KEYUP;
    in.push_back(i);
  }
  SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

std::vector<WORD> KeysOf(std::string chord) {
  std::vector<WORD> keys;
  for (;;) {
    std::size_t plus = chord.find('+');
    std::string part = chord.substr(0, plus);
    if (part == "ALT") keys.push_back(VK_MENU);
    else if (part == "SHIFT") keys.push_back(VK_SHIFT);
    else if (part == "ENTER") keys.push_back(VK_RETURN);
    else if (part == "ESC") keys.push_back(VK_ESCAPE);
    else if (part == "TAB") keys.push_back(VK_TAB);
    else if (part == "F4") keys.push_back(VK_F4);
    else if (part.size() == 1) keys.push_back(static_cast<WORD>(std::toupper(static_cast<unsigned char>(part[0]))));
    if (plus == std::string::npos) return keys;
    chord = chord.substr(plus + 1);
  }
}

BOOL CALLBACK ListTop(HWND w, LPARAM) {
  if (IsWindowVisible(w)) std::printf("%s\t%s\n", ClassOf(w).c_str(), TextOf(w).c_str());
  return TRUE;
}

std::string Arg(int argc, char** argv, int i, const char* fallback = "") {
  return i < argc ? argv[i] : fallback;
}
}  // namespace

int main(int argc, char** argv) {
  std::string cmd = Arg(argc, argv, 1);
  if (cmd == "list") {
    EnumWindows(ListTop, 0);
    return 0;
  }
  std::string title = Arg(argc, argv, 2);
  if (cmd == "wait" || cmd == "gone") {
    std::string cls = Arg(argc, argv, 3);
    int timeout = std::atoi(Arg(argc, argv, 4, "10000").c_str());
    if (cmd == "wait") return WaitFor(title, cls, timeout) ? 0 : 1;
    for (int waited = 0; waited <= timeout; waited += 100) {
      if (!Find(title, cls)) return 0;
      Sleep(100);
    }
    return 1;
  }
  if (cmd == "texts") {
    HWND w = WaitFor(title, Arg(argc, argv, 3), 10000);
    if (!w) return 1;
    std::printf("%s\n", TextOf(w).c_str());
    for (HWND c : Children(w)) {
      const bool checked = ClassOf(c) == "Button" && SendMessageA(c, BM_GETCHECK, 0, 0) == BST_CHECKED;
      std::printf("%s\t%s%s\n", ClassOf(c).c_str(), TextOf(c).c_str(), checked ? "\tchecked" : "");
      if (ClassOf(c) == "ListBox") {
        const int n = static_cast<int>(SendMessageA(c, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
          wchar_t wide[512] = {};
          char item[1024] = {};
          if (SendMessageW(c, LB_GETTEXTLEN, i, 0) < 511) SendMessageW(c, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide));
          WideCharToMultiByte(CP_ACP, 0, wide, -1, item, sizeof(item), nullptr, nullptr);
          std::printf("item\t%s\n", item);
        }
      }
    }
    return 0;
  }
  if (cmd == "click") {
    std::string button = WithoutAmpersands(Arg(argc, argv, 3));
    HWND w = WaitFor(title, Arg(argc, argv, 4), std::atoi(Arg(argc, argv, 5, "10000").c_str()));
    if (!w) return 1;
    for (int tries = 0; tries < 50; ++tries) {
      for (HWND c : Children(w)) {
        if (WithoutAmpersands(TextOf(c)) == button && IsWindowEnabled(c)) {
          PostMessageA(c, BM_CLICK, 0, 0);
          return 0;
        }
      }
      Sleep(100);
    }
    return 2;
  }
  if (cmd == "type") {
    int index = std::atoi(Arg(argc, argv, 3).c_str());
    std::string text = Arg(argc, argv, 4);
    HWND w = WaitFor(title, Arg(argc, argv, 5), 10000);
    if (!w) return 1;
    int n = 0;
    for (HWND c : Children(w)) {
      std::string cls = ClassOf(c);
      if (cls == "Edit" || cls.find("EDIT") != std::string::npos) {
        if (n++ == index) {
          SendMessageA(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
          return 0;
        }
      }
    }
    return 2;
  }
  if (cmd == "progress") {
    HWND w = WaitFor(title, "", std::atoi(Arg(argc, argv, 3, "60000").c_str()));
    if (!w) return 1;
    std::string last;
    while (IsWindow(w) && IsWindowVisible(w)) {
      std::string line, names;
      for (HWND c : Children(w)) {
        if (ClassOf(c) == "msctls_progress32")
          line += std::to_string(SendMessageA(c, PBM_GETPOS, 0, 0)) + " ";
        else if (ClassOf(c) == "Static")
          names += "\t" + TextOf(c);
      }
      if (!line.empty() && line + names != last) {
        std::printf("%s%s\n", line.c_str(), names.c_str());
        std::fflush(stdout);
        last = line + names;
      }
      Sleep(5);
    }
    return 0;
  }
  if (cmd == "at") {
    // The last progress bar is the total.
    const int percent = std::atoi(Arg(argc, argv, 3, "50").c_str());
    const std::string button = WithoutAmpersands(Arg(argc, argv, 4));
    HWND w = WaitFor(title, "", std::atoi(Arg(argc, argv, 5, "60000").c_str()));
    if (!w) return 1;
    while (IsWindow(w) && IsWindowVisible(w)) {
      HWND total = nullptr;
      for (HWND c : Children(w))
        if (ClassOf(c) == "msctls_progress32") total = c;
      const LRESULT pos = total ? SendMessageA(total, PBM_GETPOS, 0, 0) : 0;
      if (pos >= percent) {
        for (HWND c : Children(w))
          if (!button.empty() && WithoutAmpersands(TextOf(c)) == button && IsWindowEnabled(c))
            PostMessageA(c, BM_CLICK, 0, 0);
        std::printf("%ld\n", static_cast<long>(pos));
        return 0;
      }
      Sleep(2);
    }
    return 2;
  }
  if (cmd == "keys") {
    HWND w = WaitFor(title, "", 10000);
    if (!w) return 1;
    SetForegroundWindow(w);
    for (int waited = 0; GetForegroundWindow() != w && waited < 3000; waited += 50) Sleep(50);
    for (int i = 3; i < argc; ++i) {
      std::vector<WORD> keys = KeysOf(argv[i]);
      if (keys.size() == 1) {
        // A plain key goes into the program's queue for its focused control,
        // where the dialog keys of its message loop see it.
        GUITHREADINFO gui{sizeof gui};
        GetGUIThreadInfo(GetWindowThreadProcessId(w, nullptr), &gui);
        HWND target = gui.hwndFocus ? gui.hwndFocus : w;
        PostMessageA(target, WM_KEYDOWN, keys[0], 1);
        PostMessageA(target, WM_KEYUP, keys[0], 0xC0000001);
      } else {
        Press(keys);
      }
      Sleep(150);  // each key is taken in before the next one
    }
    return 0;
  }
  if (cmd == "run") {
    std::vector<char> line(title.begin(), title.end());
    line.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      std::fprintf(stderr, "cannot start %s: error %lu\n", title.c_str(), GetLastError());
      return 125;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
  }
  if (cmd == "close") {
    HWND w = WaitFor(title, Arg(argc, argv, 3), 10000);
    if (!w) return 1;
    PostMessageA(w, WM_CLOSE, 0, 0);
    return 0;
  }
  std::fprintf(stderr, "usage: uidriver wait|gone|texts|click|type|close|keys|progress|run|list ...\n");
  return 64;
}
