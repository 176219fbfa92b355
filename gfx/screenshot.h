// F12: the back buffer of the tick saved as a PNG in the user's pictures folder.
#pragma once

#include <string>

// The folder for screenshots: XDG_PICTURES_DIR from user-dirs.dirs (in `configHome`, else in
// `home`/.config), else `home`/Pictures, else the current folder ("."); only folders that exist
// are taken. Either argument may be null or empty.
std::string ScreenshotFolder(const char* home, const char* configHome);

// The folder user-dirs.dirs (in `configHome`, else in `home`/.config) names for `key`, such as
// "XDG_VIDEOS_DIR", whether or not it exists; "" when none is named in a usable form.
std::string UserDirsFolder(const char* home, const char* configHome, const char* key);

// Saves the back buffer (call it after the frame is drawn) and logs the path, or logs why it
// could not; the program goes on either way.
void SaveScreenshot();
