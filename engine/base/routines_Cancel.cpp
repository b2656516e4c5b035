#include "routines_Cancel.h"

TCancelRequest& InstallCancel() {
  static TCancelRequest request;
  return request;
}
