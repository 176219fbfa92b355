// Private to the Direct3D 8 stand-in: where a presented picture goes in a window, and the
// window's full-screen cover.
#pragma once

#include <d3d8.h>

#include <SDL.h>

namespace platform::d3d8 {

// Where Present puts a source x sourceHeight picture in a destination x destinationHeight
// window: all of it when stretching, else the largest centred rectangle of the same aspect.
RECT PresentationRect(LONG sourceWidth, LONG sourceHeight, LONG destinationWidth,
                      LONG destinationHeight, bool keepAspect);

// Where full-screen Present puts the picture: the largest centred rectangle of its aspect that
// the destination holds, as a display mode of the picture's size would fill the screen.
RECT FullScreenRect(LONG sourceWidth, LONG sourceHeight, LONG destinationWidth,
                    LONG destinationHeight);
// Whether `dest` holds the source at one whole multiple (1x included) in both directions: there
// nearest sampling copies whole pixels, elsewhere the picture is filtered.
bool IsWholeMultiple(LONG sourceWidth, LONG sourceHeight, const RECT& dest);
// Clears to black the parts of a width x height window outside `picture` (window coordinates,
// rows from the top); leaves the scissor test off.
void ClearOutside(const RECT& picture, LONG width, LONG height);

// Makes `window` a borderless full-screen window over its desktop; returns the place and size
// it had before.
SDL_Rect CoverDesktop(SDL_Window* window);

} // namespace platform::d3d8
