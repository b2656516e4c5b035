// Test helper: writes the detected system and the path of every shell folder
// specifier ("name=path" lines) to the file named by the first argument, so
// that a test can read them under another Windows version.
#include <cstdio>
#include <memory>

#include "SysUtils.h"
#include "cmp_TPathSpecifier.h"
#include "routines_API.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::FILE* out = std::fopen(argv[1], "w");
  if (!out) return 3;
  try {
    std::fprintf(out, "os=%d\n", static_cast<int>(GetOSVersion()));
  } catch (const Exception&) {
    std::fprintf(out, "os=error\n");
  }
  RegisterPathSpecifierClasses();
  std::unique_ptr<TComponent> form(new TComponent(nullptr));
  StandardPathSpecifiers().CreateStandardSpecifiers(form.get(), true);
  for (int i = 0; i < form->ComponentCount(); ++i) {
    auto* s = static_cast<TCustomPathSpecifier*>(form->Component(i));
    std::string path;
    try {
      path = s->GetPath(nullptr);
    } catch (const Exception& e) {
      path = "error: " + e.Message();
    }
    std::fprintf(out, "%s=%s\n", s->Name().c_str(), path.c_str());
  }
  std::fclose(out);
  return 0;
}
