// Reads a form from the program's RCDATA resource named after its class.
#pragma once
#include "FormReader.h"

// The resource name is the class name in upper case (TMAINFORM); raises
// EReadError when the program carries no such resource.
void ReadFormResource(TComponent* root, const std::string& className);
