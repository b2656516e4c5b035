// Code signing of what a build makes: temporary copies of the setup program
// and of the uninstaller before they are compressed, and setup.exe last,
// with the certificate and key that the project's TBuildInfo names.
//
// Two signers:
// - the signing helper: a program outside (scripts/package on Linux, which
//   signs with osslsigncode) that serves a directory. Each request is a
//   file "<n>.request" (n counts from 1), written whole:
//       check | sign
//       certificate=<path>
//       key=<path>              (empty for a PKCS#12 certificate file)
//       timestamp=<url>         (empty: none)
//       file=<n>.exe            (sign: the file to sign in place, beside it)
//   The helper answers with "<n>.answer", written whole: "ok" or "error" on
//   the first line, then the message (error) or remarks (ok), one a line.
// - the platform's signing tool (signtool.exe), when no helper is named.
#pragma once
#include <functional>
#include <memory>
#include <string>

struct TSignSettings {
  std::string Certificate;   // a certificate (PEM or DER), or a PKCS#12 file (.pfx, .p12) with the key
  std::string PrivateKey;    // the key (PEM); empty with a PKCS#12 file
  std::string TimestampUrl;  // a time-stamp server; empty for none
};

// The password of a PKCS#12 file is taken from this environment variable.
constexpr const char* kSignPasswordVariable = "TARNWICK_SIGN_PASSWORD";

class TCodeSigner {
public:
  virtual ~TCodeSigner() = default;
  // Checks that the certificate and the key can sign; IEInstall with the
  // reason when they cannot.
  virtual void Check() = 0;
  // Signs the file in place; its date stays.
  virtual void Sign(const std::string& file) = 0;
};

// Set by the program that builds: the helper's directory (empty: the
// platform's tool), the time-stamp server, and where remarks go (a
// signature made without its time stamp); they are logged in any case.
extern std::string SignHelperDirectory;
extern std::string SignTimestampUrl;
extern std::function<void(const std::string&)> OnSignNote;

std::unique_ptr<TCodeSigner> MakeCodeSigner(const TSignSettings& settings);

// The signer for these settings, checked: the first call makes and checks
// it, later ones with the same settings return the same signer.
TCodeSigner& CheckedCodeSigner(const TSignSettings& settings);

// Signed copies of files in a temporary directory, removed with it.
class TSignedCopies {
public:
  explicit TSignedCopies(TCodeSigner& signer) : signer_(signer) {}
  ~TSignedCopies();
  TSignedCopies(const TSignedCopies&) = delete;
  TSignedCopies& operator=(const TSignedCopies&) = delete;
  // A signed copy of source with its name and date.
  std::string Make(const std::string& source);

private:
  TCodeSigner& signer_;
  std::string dir_;
  int count_ = 0;
};
