// Converts a text form into the binary form stream and back.
//   formconv -b INPUT.txt OUTPUT.bin    text to binary
//   formconv -t INPUT.bin OUTPUT.txt    binary to text
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "FormStream.h"

static bool ReadAll(const char* path, std::string& out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream ss;
  ss << f.rdbuf();
  out = ss.str();
  return true;
}

int main(int argc, char** argv) {
  if (argc != 4 || (std::string(argv[1]) != "-b" && std::string(argv[1]) != "-t")) {
    std::cerr << "usage: formconv -b TEXTFORM BINARY | formconv -t BINARY TEXTFORM\n";
    return 2;
  }
  std::string in;
  if (!ReadAll(argv[2], in)) {
    std::cerr << "formconv: cannot read " << argv[2] << "\n";
    return 1;
  }
  std::string out;
  try {
    if (std::string(argv[1]) == "-b")
      out = WriteFormStream(ParseFormText(in));
    else
      out = FormToText(ParseFormStream(in.data(), in.size()));
  } catch (const Exception& e) {
    std::cerr << "formconv: " << argv[2] << ": " << e.Message() << "\n";
    return 1;
  }
  std::ofstream f(argv[3], std::ios::binary | std::ios::trunc);
  f.write(out.data(), static_cast<std::streamsize>(out.size()));
  if (!f) {
    std::cerr << "formconv: cannot write " << argv[3] << "\n";
    return 1;
  }
  return 0;
}
