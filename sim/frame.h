// Drawing one frame: the machine, the scenery, the beams, the ground and the help lines.
#pragma once

void DrawFrame();
