// The hand on the pointer: Ctrl + left drag on a body of the machine grabs it, moving the pointer
// pulls, letting go of the button lets go. Each change is an action, recorded like the panel's.
#pragma once

// Once a drawn tick, after the camera is placed. A press on the panel never grabs.
void UpdateHandPointer();
// The pointer in back-buffer pixels: a window stretches the picture over its client area.
void PointerInPicture(float& x, float& y);
