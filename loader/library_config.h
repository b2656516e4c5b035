// Read ahead of every source of the loading program (-include). The C++
// library declares the members of std::string as instantiated in its own
// binary, in one object that holds them all and would be a sixth of this
// program; with the library's setting -1 they are instantiated here instead,
// only those that are used.
#pragma once
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
