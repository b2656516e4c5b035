// The message of the exception a piece of test code raises; portable, for
// the tests under Wine and the native ones alike.
#pragma once
#include <functional>
#include <string>

#include "SysUtils.h"

namespace testsupport {

// The message of the E (any Exception unless named) f raises, or "no error".
// Exceptions of other types pass through.
template <class E = Exception>
std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message();
  }
  return "no error";
}

}  // namespace testsupport
