// Where dialogs go on the screen, and the size of a page stage's window.
#pragma once
#include <windows.h>

#include "types_Tarnwick.h"

struct TDialogSize {
  int Width, Height;
};
// The window of a page stage (the dialog container), unless its dialog
// manager says otherwise.
constexpr TDialogSize kWizardSize{478, 395};

// The screen position of a form of the given size by the placement rule.
POINT PlaceOnScreen(TTarnwickDialogPosition position, int leftOffset, int topOffset, int width, int height);
POINT PlaceOnScreen(TTarnwickDialogPosition position, int leftOffset, int topOffset, int width, int height,
                    int screenWidth, int screenHeight, int captionHeight);
