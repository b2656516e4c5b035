// The product data an install carries: company, product and version, and the
// registered user.
#pragma once
#include <string>

#include "Classes.h"

class TInstallInformation : public TPersistent {
public:
  const char* ClassName() const override { return "TInstallInformation"; }
  void Assign(const TPersistent& source) override;

  std::string CompanyName = "My Company";
  std::string ProductName = "My product";
  std::string Version = "1.0";
};

class TRegistrationInformation : public TPersistent {
public:
  const char* ClassName() const override { return "TRegistrationInformation"; }
  void Assign(const TPersistent& source) override;

  std::string RegCompany;
  std::string RegOwner;
};
