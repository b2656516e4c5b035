// Where dialogs go on the screen.
#pragma once
#include <windows.h>

#include "types_Tarnwick.h"

// The screen position of a form of the given size by the placement rule.
POINT PlaceOnScreen(TTarnwickDialogPosition position, int leftOffset, int topOffset, int width, int height);
POINT PlaceOnScreen(TTarnwickDialogPosition position, int leftOffset, int topOffset, int width, int height,
                    int screenWidth, int screenHeight, int captionHeight);
