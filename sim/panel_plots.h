// The panel's live plots: speed over the ground, heading, each crank's phase error and the
// feet's vertical force against the machine's weight, over the last ten seconds of ticks.
#pragma once

#include <string>

// Takes this tick's values; once a drawn tick while the panel is open.
void SamplePanelPlots();
void ClearPanelPlots();
// Adds the plots' texts in the user's language to `text` (the panel's font needs their glyphs).
void AddPlotTexts(std::string& text);
// Draws the plots into the panel's window being built.
void DrawPanelPlots();
