// The hand on the pointer: Ctrl + left drag on a body of the machine grabs it, moving the pointer
// pulls, letting go of the button lets go. Each change is an action, recorded like the panel's.
#pragma once

// Once a drawn tick, after the camera is placed. A press on the panel never grabs.
void UpdateHandPointer();
// The pointer in back-buffer pixels, through the rectangle the picture is presented in: a window
// stretches it over its client area, full screen keeps its aspect between bars.
void PointerInPicture(float& x, float& y);
