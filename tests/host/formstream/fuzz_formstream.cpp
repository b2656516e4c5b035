// Any input either parses or raises EReadError; a parsed stream writes back
// and reparses to the same tree.
#include <cstdlib>

#include "FormStream.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  TFormObject o;
  try {
    o = ParseFormStream(data, size);
  } catch (const EReadError&) {
    return 0;
  }
  std::string bin;
  try {
    bin = WriteFormStream(o);
  } catch (const EFilerError&) {
    return 0;
  }
  if (!(ParseFormStream(bin.data(), bin.size()) == o)) std::abort();
  // Names need not be identifiers in a binary stream, so the text form is
  // only exercised, not compared.
  std::string text = FormToText(o);
  try {
    ParseFormText(text);
  } catch (const EReadError&) {
  }
  return 0;
}
