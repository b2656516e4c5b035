#include "exceptions_Tarnwick.h"

namespace {
TMessageTranslationHook& Hook() {
  static TMessageTranslationHook hook;
  return hook;
}
}  // namespace

void SetMessageTranslationHook(TMessageTranslationHook hook) { Hook() = std::move(hook); }

std::string TranslateExceptionMessage(const std::string& text) {
  const TMessageTranslationHook& hook = Hook();
  return hook ? hook(text) : text;
}

TNILMessageHook NILMessageHook = nullptr;

std::string ExtendNILMessage(const std::string& text) { return NILMessageHook ? NILMessageHook(text) : text; }
