// Stream registration of the form toolkit's controls (forms, panels,
// labels, images, bevels) and of their fonts and pictures.
#pragma once
#include "ClassReg.h"
#include "Graphics.h"

// Registers the control classes; a program that streams forms calls it at
// start (the linker would otherwise drop the registrations).
void RegisterControlClasses();

// A picture property's stream target for a TPicture: the graphic class name
// and data read from "<name>.Data" go to the picture. The returned object is
// shared and valid until the next call.
TPictureBase& PictureSlot(TPicture& picture);

// Font character set identifiers of a stream (DEFAULT_CHARSET ...) or a number.
int CharsetOf(const TFormValue& value);
