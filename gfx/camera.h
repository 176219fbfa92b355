// The one camera: its whole state is viewMatrix. Three view modes and the camera line.
#pragma once

#include <d3dx8.h>

void SetCameraLookAt(D3DXVECTOR3 eye, D3DXVECTOR3 at, D3DXVECTOR3 up);
void AimCamera(D3DXVECTOR3 target);
void SetCameraPosition(float x, float y, float z);
D3DXVECTOR3 CameraPosition();
void YawCamera(float angle);
void PitchCamera(float angle);
void MoveCamera(float dx, float dy, float dz);
// With `pointerFree` (the panel is open) the pointer is the user's: it neither turns the camera
// nor is re-centred, and the next turn starts from wherever it is left.
void UpdateManualCamera(float step, bool pointerFree = false);
void PlaceViewCamera(int mode, const D3DXMATRIX& chassis, bool pointerFree = false);
void DrawCameraInfo(int x, int y);

// The manual-view state survives switches of the view mode.
struct ManualCameraState {
    int prevCursorX;
    int prevCursorY;
    float yawDivisor;
    float pitchDivisor;
    bool initialised;
};
extern ManualCameraState manualCamera;
