#include "cmp_TPathSpecifier.h"

namespace {
TCustomPathSpecifier* g_containerDestDir = nullptr;
}

TCustomPathSpecifier* StandardContainerDestDir() { return g_containerDestDir; }
void SetStandardContainerDestDir(TCustomPathSpecifier* specifier) { g_containerDestDir = specifier; }
