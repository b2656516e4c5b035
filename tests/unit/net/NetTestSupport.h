// The local test servers (started by the test fixture of CTest) and helpers
// to serve files and make locations pointing at them.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "TestSupport.h"
#include "cmp_TNetInstallLocation.h"
#include "routines_Strings.h"

namespace nettest {

// The servers' ports and served directory, from the state file named by
// TW_NET_STATE (a Unix path is reached through drive Z:).
class TServers {
public:
  TServers() {
    const char* env = std::getenv("TW_NET_STATE");
    std::string path = env ? env : "";
    if (!path.empty() && path[0] == '/') {
      for (char& c : path)
        if (c == '/') c = '\\';
      path = "Z:" + path;
    }
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t eq = line.find('=');
      if (eq != std::string::npos) values_[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  bool Ready() const { return values_.count("HTTP_PORT") && values_.count("ROOT"); }
  std::string Value(const std::string& key) const {
    auto it = values_.find(key);
    return it == values_.end() ? std::string() : it->second;
  }
  std::string Host(const std::string& server) const { return "127.0.0.1:" + Value(server + "_PORT"); }
  std::string Root() const { return Value("ROOT"); }

private:
  std::map<std::string, std::string> values_;
};

inline const TServers& Servers() {
  static TServers servers;
  return servers;
}

// Writes bytes to a path below the served directory ("sub\\name"), creating
// the directories on the way.
inline std::string Serve(const std::string& relative, const std::string& bytes) {
  std::string path = Servers().Root();
  std::string rest = relative;
  for (std::size_t slash; (slash = rest.find('\\')) != std::string::npos; rest.erase(0, slash + 1)) {
    path += "\\" + rest.substr(0, slash);
    CreateDirectoryA(path.c_str(), nullptr);
  }
  path += "\\" + rest;
  testsupport::WriteFileText(path, bytes);
  return path;
}

inline void Unserve(const std::string& relative) { DeleteFileA((Servers().Root() + "\\" + relative).c_str()); }

// A location of the owner for the server ("HTTP", "PLAINHTTP", "FTP", "FTPLOGIN").
inline TNetInstallLocation* MakeLocation(TComponent* owner, const std::string& server,
                                         const std::string& directory, const std::string& name = "nlTest") {
  auto* location = new TNetInstallLocation(owner);
  location->SetName(name);
  TLoginInformation& login = location->LoginInformation();
  login.SetHostname(Servers().Host(server));
  login.SetDirectory(directory);
  login.SetProtocol(server.find("HTTP") != std::string::npos ? ipHTTP : ipFTP);
  if (server == "FTPLOGIN") {
    login.SetAnonymous(false);
    login.SetUsername(Servers().Value("FTP_USER"));
    login.SetPassword(Servers().Value("FTP_PASSWORD"));
  }
  return location;
}

// Fails a test when the fixture did not start the servers.
#define TW_REQUIRE_SERVERS() \
  ASSERT_TRUE(nettest::Servers().Ready()) << "the test servers are not running (state file TW_NET_STATE)"

// The message of an exception, with its class name first: "ENIL_ReadFile: ...".
template <class F>
std::string FailureOf(F f) {
  try {
    f();
  } catch (const Exception& e) {
    return std::string(e.ClassName()) + ": " + e.Message();
  } catch (const std::exception& e) {
    return std::string("std::exception: ") + e.what();
  }
  return "(no exception)";
}

inline bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace nettest
