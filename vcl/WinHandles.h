// Owning wrappers for Win32 handles and COM interface pointers: every handle
// is closed exactly once, on every path.
#pragma once
#include <windows.h>
#include <objbase.h>

#include <utility>

// A handle with a closer and a value that means "no handle".
template <typename H, typename Traits>
class TUniqueHandle {
public:
  TUniqueHandle() = default;
  explicit TUniqueHandle(H h) : h_(h) {}
  ~TUniqueHandle() { Reset(); }
  TUniqueHandle(const TUniqueHandle&) = delete;
  TUniqueHandle& operator=(const TUniqueHandle&) = delete;
  TUniqueHandle(TUniqueHandle&& o) noexcept : h_(o.Release()) {}
  TUniqueHandle& operator=(TUniqueHandle&& o) noexcept {
    if (this != &o) Reset(o.Release());
    return *this;
  }
  H Get() const { return h_; }
  bool Valid() const { return !Traits::IsNone(h_); }
  explicit operator bool() const { return Valid(); }
  H Release() { H h = h_; h_ = Traits::None(); return h; }
  void Reset(H h = Traits::None()) {
    if (Valid()) Traits::Close(h_);
    h_ = h;
  }
  // For APIs that return a handle through an out parameter.
  H* Put() { Reset(); return &h_; }

private:
  H h_ = Traits::None();
};

struct TKernelHandleTraits {  // CreateProcess, OpenProcess, events: NULL is none
  static HANDLE None() { return nullptr; }
  static bool IsNone(HANDLE h) { return h == nullptr || h == INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
// CreateFile: INVALID_HANDLE_VALUE is none; closed with CloseHandle, not FindClose.
struct TFileHandleTraits {
  static HANDLE None() { return INVALID_HANDLE_VALUE; }
  static bool IsNone(HANDLE h) { return h == INVALID_HANDLE_VALUE || h == nullptr; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct TFindHandleTraits {
  static HANDLE None() { return INVALID_HANDLE_VALUE; }
  static bool IsNone(HANDLE h) { return h == INVALID_HANDLE_VALUE || h == nullptr; }
  static void Close(HANDLE h) { ::FindClose(h); }
};
struct THKeyTraits {
  static HKEY None() { return nullptr; }
  static bool IsNone(HKEY h) { return h == nullptr; }
  static void Close(HKEY h) { ::RegCloseKey(h); }
};
struct TModuleTraits {
  static HMODULE None() { return nullptr; }
  static bool IsNone(HMODULE h) { return h == nullptr; }
  static void Close(HMODULE h) { ::FreeLibrary(h); }
};
struct TGdiObjectTraits {
  static HGDIOBJ None() { return nullptr; }
  static bool IsNone(HGDIOBJ h) { return h == nullptr; }
  static void Close(HGDIOBJ h) { ::DeleteObject(h); }
};
struct TIconTraits {
  static HICON None() { return nullptr; }
  static bool IsNone(HICON h) { return h == nullptr; }
  static void Close(HICON h) { ::DestroyIcon(h); }
};
struct TDCTraits {  // memory device contexts from CreateCompatibleDC
  static HDC None() { return nullptr; }
  static bool IsNone(HDC h) { return h == nullptr; }
  static void Close(HDC h) { ::DeleteDC(h); }
};

using TWinFile = TUniqueHandle<HANDLE, TFileHandleTraits>;
using TKernelHandle = TUniqueHandle<HANDLE, TKernelHandleTraits>;
using TFindHandle = TUniqueHandle<HANDLE, TFindHandleTraits>;
using THKey = TUniqueHandle<HKEY, THKeyTraits>;
using TModuleHandle = TUniqueHandle<HMODULE, TModuleTraits>;
using TGdiObject = TUniqueHandle<HGDIOBJ, TGdiObjectTraits>;
using TIconHandle = TUniqueHandle<HICON, TIconTraits>;
using TMemoryDC = TUniqueHandle<HDC, TDCTraits>;

// A handle closed by a function chosen at run time (WinINet handles, whose
// closer is loaded together with the library).
template <typename H>
class TDynamicHandle {
public:
  using Closer = BOOL(WINAPI*)(H);
  TDynamicHandle() = default;
  TDynamicHandle(H h, Closer closer) : h_(h), closer_(closer) {}
  ~TDynamicHandle() { Reset(); }
  TDynamicHandle(const TDynamicHandle&) = delete;
  TDynamicHandle& operator=(const TDynamicHandle&) = delete;
  TDynamicHandle(TDynamicHandle&& o) noexcept : h_(o.h_), closer_(o.closer_) { o.h_ = nullptr; }
  TDynamicHandle& operator=(TDynamicHandle&& o) noexcept {
    if (this != &o) { Reset(); h_ = o.h_; closer_ = o.closer_; o.h_ = nullptr; }
    return *this;
  }
  H Get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  void Reset() {
    if (h_ && closer_) closer_(h_);
    h_ = nullptr;
  }
  // Closes the handle and forgets it only when the close succeeds.
  bool Close() {
    if (!h_) return true;
    if (!closer_ || !closer_(h_)) return false;
    h_ = nullptr;
    return true;
  }
  // Forgets the handle without closing it.
  H Release() {
    H h = h_;
    h_ = nullptr;
    return h;
  }

private:
  H h_ = nullptr;
  Closer closer_ = nullptr;
};

// A WinINet handle (HINTERNET), closed by the library's InternetCloseHandle.
using TInternetHandle = TDynamicHandle<void*>;

// A COM interface pointer holding one reference.
template <typename T>
class TComPtr {
public:
  TComPtr() = default;
  explicit TComPtr(T* p) : p_(p) {}  // adopts a reference
  TComPtr(const TComPtr& o) : p_(o.p_) { if (p_) p_->AddRef(); }
  TComPtr(TComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  TComPtr& operator=(TComPtr o) noexcept { std::swap(p_, o.p_); return *this; }
  ~TComPtr() { Reset(); }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void Reset() { if (p_) { p_->Release(); p_ = nullptr; } }
  T** Put() { Reset(); return &p_; }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  template <typename U>
  HRESULT QueryInterface(REFIID iid, TComPtr<U>& out) const {
    return p_ ? p_->QueryInterface(iid, out.PutVoid()) : E_POINTER;
  }

private:
  T* p_ = nullptr;
};

// COM initialised for the lifetime of the object (apartment threaded).
class TComInit {
public:
  TComInit() : hr_(::CoInitialize(nullptr)) {}
  ~TComInit() { if (SUCCEEDED(hr_)) ::CoUninitialize(); }
  TComInit(const TComInit&) = delete;
  TComInit& operator=(const TComInit&) = delete;
  bool Ok() const { return SUCCEEDED(hr_); }

private:
  HRESULT hr_;
};
