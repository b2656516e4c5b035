// Folder lookups shared by the path specifiers and the folder dialog, and the
// %-meta-variable expansion of shortcut parameters. Every folder is returned
// without a trailing backslash.
#pragma once
#include <string>

class TInstallContainer;

// HKCU "...\Explorer\Shell Folders" "Start Menu"; fallback: the Windows
// directory joined with "Startmen".
std::string GetStartMenuDir();
// Same key, "Programs"; fallback: the start menu joined with "Programs".
std::string GetProgramsMenuDir();
// Same key, "Desktop"; fallback: the Windows directory joined with "Desktop".
std::string GetDesktopDir();
// Same key, "Startup"; fallback: the Windows directory joined with "Startup".
std::string GetStartupMenuDir();
// HKLM "\SOFTWARE\Microsoft\Windows\CurrentVersion" "ProgramFilesDir";
// fallback: "Program Files" on the drive of the current directory.
std::string GetProgramFilesDir();
// Same key, "CommonFilesDir"; fallback: "Program Files\Common Files" on the
// drive of the current directory.
std::string GetCommonFilesDir();

inline constexpr const char* kShellFoldersKey =
    "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr const char* kCurrentVersionKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// Replaces the meta-variables of text: %a the destination of component, %b
// the Programs menu, %c the destination of component's container, %d the
// desktop, %f common files, %i the main installation directory, %m the start
// menu, %p program files, %s the system directory, %w the Windows directory,
// %% a percent sign (letters in either case; other letters give nothing).
// Raises EAICannotExpandContainerDirMV for %a/%c without a component or
// container and EAICannotExpandInstallDirMV for %i without an install
// component.
std::string ExpandMetaVariables(const std::string& text, TInstallContainer* component);
