// File-system routines shared by the install objects, the build and the
// dialogs: directory tests and creation, the engine's file attributes, hard
// links, string resources of libraries and the folder-browse dialog.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "Classes.h"
#include "types_Tarnwick.h"

// True when path names an existing directory.
bool IsDirectory(const std::string& path);

// Creates the directory path with every missing parent. True when the
// directory exists afterwards; false (with the system's last error kept)
// for a blank path or when a part cannot be created, for example because a
// file of that name is in the way. Nothing that existed is touched.
// Accepts drive paths ("C:\a\b"), UNC paths ("\\server\share\a"), paths
// relative to the current directory and a trailing backslash.
bool CreateDirectoryTree(const std::string& path);

// The platform attributes of an attribute set and back. tfaCompressed has
// no platform attribute of its own; an empty set is the normal attribute.
DWORD TrnwAttributesToPlatform(TTrnwFileAttributesSet attributes);
TTrnwFileAttributesSet PlatformToTrnwAttributes(DWORD attributes);

// Gives the file exactly the platform attributes of the set; raises
// IEfcSetAttributes with the system's text for the error when it cannot.
void SetFileAttributesFromSet(const std::string& path, TTrnwFileAttributesSet attributes);

// Opens the file for reading without sharing; when it opens, attributes
// becomes [tfaReadOnly] for a read-only file and empty otherwise. When it
// does not open, attributes is left as it was. Never fails.
void ReadFileAttributes(const std::string& path, TTrnwFileAttributesSet& attributes,
                        SECURITY_ATTRIBUTES* securityAttributes);

// The path itself when it is an existing directory, else the nearest
// existing directory above it (cut at backslashes); empty for a blank path
// or when none is left. "C:\missing\deeper" gives "C:" when only C:\ exists.
std::string NearestExistingDirectory(const std::string& path);

// String resource id of the library; empty when the library or the string
// is missing.
std::string LoadLibraryString(const std::string& library, unsigned id);

// Creates linkPath as a hard link to existingPath through the system's
// CreateHardLinkA; success tells whether the link was made. Raises
// IEInstallHardLink when the system offers no hard links.
void MakeHardLink(const std::string& linkPath, const std::string& existingPath,
                  SECURITY_ATTRIBUTES* securityAttributes, bool& success);

namespace filesystem_detail {
// MakeHardLink with the library and entry point named by the caller.
void MakeHardLinkThrough(const char* library, const char* entryPoint, const std::string& linkPath,
                         const std::string& existingPath, SECURITY_ATTRIBUTES* securityAttributes,
                         bool& success);
}  // namespace filesystem_detail

class TOpenFolderDialog;

// The texts of the folder dialog, read from the system libraries at run
// time, with English texts where a library lacks the string.
struct TOFDResourceStrings {
  static std::string CreateButtonCaption();  // comdlg32 703
  static std::string NewFolderCaption();     // comdlg32 703
  static std::string NewFolderPrompt();      // shell32 8977
  static std::string DialogTitle();          // shell32 9248, formatted with ""
};

// A child window added to the system's folder dialog, subclassed so that its
// messages reach the dialog object. The window is destroyed with the dialog
// window; the object outlives it until the dialog forgets it.
class TOFDChildWindow {
public:
  virtual ~TOFDChildWindow();
  TOFDChildWindow(const TOFDChildWindow&) = delete;
  TOFDChildWindow& operator=(const TOFDChildWindow&) = delete;
  // None once the window was destroyed.
  HWND Handle() const { return handle_; }
  TOpenFolderDialog& Dialog() const { return dialog_; }
  std::string Text() const;

protected:
  TOFDChildWindow(TOpenFolderDialog& dialog, HWND parent, const char* className,
                  const std::string& text, DWORD style, DWORD exStyle, const RECT& bounds, int id);
  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);

private:
  static LRESULT CALLBACK StaticWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  TOpenFolderDialog& dialog_;
  HWND handle_ = nullptr;
  WNDPROC oldProc_ = nullptr;
};

// The push button that creates a folder and shows the dialog again on it.
class TOFDCreateButton : public TOFDChildWindow {
public:
  static constexpr int kId = 0x7E01;
  TOFDCreateButton(TOpenFolderDialog& dialog, HWND parent, const RECT& bounds);
  void Click();
};

// The edit box showing the selected folder; typing in it selects the
// folder typed and makes it the current path.
class TOFDPathEdit : public TOFDChildWindow {
public:
  static constexpr int kId = 0x7E02;
  TOFDPathEdit(TOpenFolderDialog& dialog, HWND parent, const RECT& bounds);

protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

using TOFDCreateFolderEvent = std::function<void(TComponent* sender, bool& allow)>;

// The system's folder-browse dialog (SHBrowseForFolderA) with an optional
// button that creates folders and an optional edit box for a path that
// need not exist yet; the chosen folder is created when the edit box is
// shown. Main thread only.
class TOpenFolderDialog : public TComponent {
public:
  // A window of the dialog and its rectangle in the dialog's client area.
  struct TWindowPlace {
    HWND Handle = nullptr;
    RECT Bounds = {};
  };

  explicit TOpenFolderDialog(TComponent* owner);
  ~TOpenFolderDialog() override;
  const char* ClassName() const override { return "TOpenFolderDialog"; }

  // Shows the dialog on Directory (the nearest existing folder of it); true
  // with the chosen folder in Directory, false when none was chosen.
  bool Execute();

  TOFDCreateButton* CreateButton() const { return createButton_.get(); }
  TOFDPathEdit* PathEdit() const { return pathEdit_.get(); }
  const std::string& CurrentPath() const { return currentPath_; }
  const TWindowPlace& DialogWindow() const { return dialog_; }
  const TWindowPlace& FirstButton() const { return firstButton_; }
  const TWindowPlace& SecondButton() const { return secondButton_; }
  const TWindowPlace& TreeView() const { return treeView_; }

private:
  std::unique_ptr<TOFDCreateButton> createButton_;
  std::string currentPath_;

public:
  // Set by the create button: the dialog closed to be shown again.
  bool Restart = false;

private:
  bool selecting_ = false;  // the program is setting the selection

public:
  std::string Directory;

private:
  std::unique_ptr<TOFDPathEdit> pathEdit_;

public:
  bool ShowCreateButton = true;
  bool ShowPathEdit = true;

private:
  bool typing_ = false;  // the path edit is setting the selection
  TWindowPlace dialog_;
  TWindowPlace firstButton_;
  TWindowPlace secondButton_;
  TWindowPlace treeView_;

public:
  TOFDCreateFolderEvent OnCreateFolder;

private:
  friend class TOFDCreateButton;
  friend class TOFDPathEdit;
  static int CALLBACK BrowseCallback(HWND h, UINT msg, LPARAM lp, LPARAM data);
  static LRESULT CALLBACK DialogWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  bool ShowOnce();
  void Initialized(HWND h);
  void SelectionChanged(const std::string& path);
  // Selects the path in the tree; false when the tree could not show it.
  bool SelectPath(const std::string& path);
  // Takes an existing folder the tree could not show as the choice.
  void AcceptUnshownFolder(const std::string& path);
  void FollowFirstButton();
  void PathTyped(const std::string& text);
  void CreateFolder();
  WNDPROC dialogProc_ = nullptr;
};
