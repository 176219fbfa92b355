// The panel (F6): the simulation's settings, what is drawn, pictures and video, and live plots,
// over the picture while open. Closed at start; a session that never opens it draws the
// design's picture, since nothing of it exists until then.
#pragma once

extern bool panelOpen;

// At the start of every tick, before anything reads the keys: keeps the tick's keys and
// pointer for the panel and the hand; while a panel field is being typed into, every key is
// taken away from the machine (it reads as released), so typing never drives it.
void ReadPanelInput();
// F6 opens and closes the panel; once a drawn tick.
void UpdatePanelKey();
// Opens (starting its renderer the first time) or closes the panel; false when it cannot open.
bool SetPanelOpen(bool open);
// Builds and draws the panel when open; nothing at all when closed. Last in the frame.
void DrawPanel();
