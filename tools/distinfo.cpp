// Shows what a distribution holds, for scripts and people on the build
// machine:
//   distinfo record FILE     the extraction-info record of a setup.exe, its
//                            checksum trailer, and whether it is signed and
//                            by whom
//   distinfo list ARCHIVE [OFFSET]
//                            the members of an archive: identifier, size,
//                            date, version and stored name, tab-separated
// Exit code 0 when the file reads and (for "record") the trailer matches.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include "DateUtils.h"
#include "format_Archive.h"
#include "format_Signed.h"
#include "hash_SHA0.h"

namespace {

std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Local date-time of a day count since 1899-12-30 as YYYY-MM-DD HH:MM:SS.
std::string DateText(double days) {
  if (!IsRepresentableFileDate(days)) return "invalid";
  long long whole = static_cast<long long>(std::floor(days));
  long long secs = std::llround((days - whole) * 86400.0);
  // Civil date from days since 1970-01-01.
  long long z = whole - 25569 + 719468;
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long doe = z - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long y = yoe + era * 400, doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153, d = doy - (153 * mp + 2) / 5 + 1, m = mp + (mp < 10 ? 3 : -9);
  char buf[128];
  std::snprintf(buf, sizeof(buf), "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", y + (m <= 2), m, d, secs / 3600,
                secs / 60 % 60, secs % 60);
  return buf;
}

// The subject of the certificate that made the signature in a certificate
// table (its first entry: length, revision, type, then PKCS#7 signed data).
std::string Signer(const std::uint8_t* table, std::size_t size) {
  if (size < 8) return "unreadable certificate table";
  const std::size_t length = table[0] | table[1] << 8 | table[2] << 16 | std::size_t(table[3]) << 24;
  if (length < 8 || length > size) return "unreadable certificate table";
  const unsigned char* der = table + 8;
  PKCS7* p7 = d2i_PKCS7(nullptr, &der, static_cast<long>(length - 8));
  if (!p7) return "unreadable signature";
  std::string subject = "no signer certificate";
  STACK_OF(X509)* signers = PKCS7_type_is_signed(p7) ? PKCS7_get0_signers(p7, nullptr, 0) : nullptr;
  if (signers && sk_X509_num(signers) > 0) {
    char* line = X509_NAME_oneline(X509_get_subject_name(sk_X509_value(signers, 0)), nullptr, 0);
    if (line) subject = line;
    OPENSSL_free(line);
  }
  sk_X509_free(signers);
  PKCS7_free(p7);
  return subject;
}

int Record(const std::string& path) {
  std::vector<std::uint8_t> bytes = ReadAll(path);
  struct TBytesRead {
    const std::vector<std::uint8_t>& b;
    explicit TBytesRead(const std::vector<std::uint8_t>& bytes) : b(bytes) {}
    bool ReadAt(std::uint64_t at, void* buffer, std::size_t n) {
      if (at > b.size() || n > b.size() - at) return false;
      std::copy(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + n),
                static_cast<std::uint8_t*>(buffer));
      return true;
    }
  } read(bytes);
  TSealLayout layout;
  const TSealLayoutError where = LocateSeal(bytes.size(), read, layout);
  if (where != TSealLayoutError::None) throw std::runtime_error("the certificate table does not follow the trailer");
  if (layout.End < ExtractionInfoDistance + ChecksumTrailerSize)
    throw std::runtime_error("too short for a record and a trailer");
  const std::size_t body = layout.End - ChecksumTrailerSize;
  const std::string trailer(bytes.begin() + static_cast<long>(body), bytes.begin() + static_cast<long>(layout.End));
  std::vector<std::uint8_t> sealed(bytes.begin(), bytes.begin() + static_cast<long>(body));
  if (layout.Signed) ZeroSignFields(layout.Fields, 0, sealed.data(), sealed.size());
  const std::string digest = Sha0Hex(sealed.data(), sealed.size());
  const TExtractionInfo info = TExtractionInfo::Decode(bytes.data() + ExtractionInfoPosition(layout.End));
  std::printf("size\t%zu\nmarker\t%s\nsetup\t%d\t%d\nfiles\t%d\t%d\n", bytes.size(), info.Marker.c_str(),
              info.SetupFirst, info.SetupLast, info.FilesFirst, info.FilesLast);
  std::printf("trailer\t%s\ndigest\t%s\nchecksum\t%s\n", trailer.c_str(), digest.c_str(),
              trailer == digest ? "ok" : "MISMATCH");
  if (layout.Signed)
    std::printf("signed\tyes\nsigner\t%s\n",
                Signer(bytes.data() + layout.Fields.TableAt, layout.Fields.TableSize).c_str());
  else
    std::printf("signed\tno\n");
  return trailer == digest ? 0 : 1;
}

int List(const std::string& path, std::int64_t offset) {
  std::vector<std::uint8_t> bytes = ReadAll(path);
  TMemoryStream stream(std::move(bytes));
  TFileHeaders headers;
  headers.Read(stream, offset);
  for (int i = 0; i < headers.Count(); ++i) {
    const TFileHeaderRec& h = headers.GetFileHeaders(i).Rec;
    std::printf("%d\t%d\t%s\t%s\t%s\n", h.Identifier, h.Size, DateText(h.FileDate).c_str(), h.FileVersion.c_str(),
                h.StoredName.c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "record" && argc == 3) return Record(argv[2]);
    if (cmd == "list" && (argc == 3 || argc == 4)) return List(argv[2], argc == 4 ? std::stoll(argv[3]) : 0);
    std::fprintf(stderr, "usage: distinfo record FILE | distinfo list ARCHIVE [OFFSET]\n");
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "distinfo: %s\n", e.what());
    return 1;
  }
}
