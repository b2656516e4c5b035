#include "cmp_TInstallInformation.h"

void TInstallInformation::Assign(const TPersistent& source) {
  if (auto* s = dynamic_cast<const TInstallInformation*>(&source)) {
    CompanyName = s->CompanyName;
    ProductName = s->ProductName;
    Version = s->Version;
    return;
  }
  TPersistent::Assign(source);
}

void TRegistrationInformation::Assign(const TPersistent& source) {
  if (auto* s = dynamic_cast<const TRegistrationInformation*>(&source)) {
    RegCompany = s->RegCompany;
    RegOwner = s->RegOwner;
    return;
  }
  TPersistent::Assign(source);
}
