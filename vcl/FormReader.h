// Builds a component tree from a binary form stream.
//
// ReadForm(root, data, size): the root (the form, already constructed) gets
// the stream's name and properties; every child record creates an instance
// of its registered class owned by the root, named, given its parent
// (SetParentComponent) and its properties in stream order. References to
// components not yet read are fixed up after the whole stream; then Loaded
// runs on the root and on every child in stream order.
//
// Failures raise EReadError: bad signature, unknown class ("Class TX not
// found"), unknown property ("Error reading A.P: Property P does not
// exist"), wrong value ("Error reading A.P: Invalid property value"), early
// end, and references left unresolved after fix-up.
#pragma once
#include <cstddef>

#include "ClassReg.h"

void ReadForm(TComponent* root, const void* data, std::size_t size);
void ReadForm(TComponent* root, const TFormObject& form);
