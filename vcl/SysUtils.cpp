#include "SysUtils.h"

#include <algorithm>
#include <cctype>

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

std::string Format(const std::string& format, std::initializer_list<TFormatArg> args) {
  return Format(format, std::vector<TFormatArg>(args));
}

std::string Format(const std::string& format, const std::vector<TFormatArg>& args) {
  std::string out;
  out.reserve(format.size() + 16);
  size_t next = 0;
  size_t i = 0;
  while (i < format.size()) {
    char c = format[i];
    if (c != '%') { out += c; ++i; continue; }
    size_t j = i + 1;
    if (j < format.size() && format[j] == '%') { out += '%'; i = j + 1; continue; }
    bool left = false;
    if (j < format.size() && format[j] == '-') { left = true; ++j; }
    size_t width = 0;
    while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])) && width < 1000)
      width = width * 10 + static_cast<size_t>(format[j++] - '0');
    if (j >= format.size()) { out.append(format, i, std::string::npos); break; }
    char conv = static_cast<char>(std::tolower(static_cast<unsigned char>(format[j])));
    if (conv != 's' && conv != 'd' && conv != 'u' && conv != 'x') {
      out.append(format, i, j + 1 - i);  // unknown conversion: kept verbatim
      i = j + 1;
      continue;
    }
    if (next >= args.size()) {  // no argument left: the placeholder stays
      out.append(format, i, j + 1 - i);
      i = j + 1;
      continue;
    }
    const TFormatArg& a = args[next++];
    std::string piece;
    if (a.IsText() || conv == 's' || conv == 'd' || conv == 'u') {
      piece = a.AsText();
      if (!a.IsText() && conv == 'u' && a.Number() < 0)
        piece = std::to_string(static_cast<unsigned long long>(a.Number()) & 0xFFFFFFFFull);
    } else {
      // Digit by digit: the C library's printf family is not linked into
      // the small programs that share this file.
      const char* digits = format[j] == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
      unsigned long long v = static_cast<unsigned long long>(a.Number()) & 0xFFFFFFFFull;
      do {
        piece.insert(piece.begin(), digits[v & 15]);
        v >>= 4;
      } while (v);
    }
    if (piece.size() < width) {
      std::string pad(width - piece.size(), ' ');
      piece = left ? piece + pad : pad + piece;
    }
    out += piece;
    i = j + 1;
  }
  return out;
}

void Abort() { throw EAbort(); }

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::string read;
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) read.append(buf, n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  if (ok) bytes = std::move(read);
  return ok;
}
