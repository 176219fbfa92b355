// F12: the back buffer of the tick saved as a PNG in the user's pictures folder.
#pragma once

#include <string>

// The folder for screenshots: XDG_PICTURES_DIR from user-dirs.dirs (in `configHome`, else in
// `home`/.config), else `home`/Pictures, whether it exists yet or not. "" when there is no home
// folder to put either in; never the current folder. Either argument may be null or empty.
std::string ScreenshotFolder(const char* home, const char* configHome);

// The folder user-dirs.dirs (in `configHome`, else in `home`/.config) names for `key`, such as
// "XDG_VIDEOS_DIR", whether or not it exists; "" when none is named in a usable form.
std::string UserDirsFolder(const char* home, const char* configHome, const char* key);

// A name for a new file in `folder`: koltrep_<local time><extension>, with _2, _3, ... for more
// in the same second. False with the reason when a hundred are taken.
bool FreeTimestampedName(const std::string& folder, const char* extension, std::string& path,
                         std::string& reason);

// Makes `folder` and any missing parents (mode 0755, as desktop programs make the user's
// folders). True when it is a folder afterwards; else false with the system's reason.
bool MakeFolders(const std::string& folder, std::string& reason);

// Saves the back buffer (call it after the frame is drawn). Says what became of it three ways:
// a notice in the picture, one stderr line and the log, each with the absolute path of the file
// or the reason it was not written; the program goes on either way.
void SaveScreenshot();
