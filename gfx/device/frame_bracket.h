// The capability report written once at start-up, and the per-tick frame bracket with the
// lost-device policy.
#pragma once

#include <d3d8.h>

void ReportDeviceCaps();
bool BeginFrame(D3DCOLOR clearColor);
HRESULT EndFrame();
