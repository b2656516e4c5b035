// Helpers shared by the unit tests that run under Wine.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "MessageOf.h"

namespace testsupport {

// Directory of the running test program (the build's bin directory).
std::string BinDir();
// A new empty directory below the temporary directory, removed with its contents.
class TTempDir {
public:
  explicit TTempDir(const std::string& tag = "tw");
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
  std::string path_;
};

void RemoveTree(const std::string& path);
bool FileExists(const std::string& path);
std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);
// Asks `effect` every 20 ms until it holds (true) or `timeoutMs` has passed
// (false): tests wait for what they expect, never for a fixed time.
bool WaitUntil(const std::function<bool()>& effect, unsigned timeoutMs = 60000);
// Runs a command line and waits for it; returns its exit code (-1 when it
// could not start).
int RunAndWait(const std::string& commandLine, unsigned timeoutMs = 60000);
// Runs a copy of helper program `helper` (from BinDir) renamed to a unique
// name, with the Windows version `version` ("win98", "winxp", ... or empty
// for the default) set for that name in the prefix. Returns the exit code.
int RunWithWindowsVersion(const std::string& helper, const std::string& version,
                          const std::string& arguments);
// A name unique to this process and call, for registry keys and files.
std::string UniqueName(const std::string& stem);
// n pseudo-random bytes from seed (incompressible payloads).
std::string Noise(std::size_t n, std::uint32_t seed);

}  // namespace testsupport
