// The one camera. Its whole state is viewMatrix; the eye and the viewing direction are read
// back out of it when needed.
#include "gfx/camera.h"

#include "shell/frame_pacing.h"
#include "shell/main_window.h"
#include "gfx/device/d3d_device.h"
#include "gfx/immediate.h"
#include "input/input.h"

#include <cstdio>

ManualCameraState manualCamera = {0, 0, 0.0f, 0.0f, false};

void SetCameraLookAt(D3DXVECTOR3 eye, D3DXVECTOR3 at, D3DXVECTOR3 up) {
    D3DXMatrixLookAtLH(&viewMatrix, &eye, &at, &up);
}

void AimCamera(D3DXVECTOR3 target) {
    D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXVECTOR3 eye = CameraPosition();
    D3DXMatrixLookAtLH(&viewMatrix, &eye, &target, &up);
}

void SetCameraPosition(float x, float y, float z) {
    D3DXVECTOR3 eye = CameraPosition();
    D3DXMATRIX move;
    D3DXMatrixTranslation(&move, eye.x - x, eye.y - y, eye.z - z);
    D3DXMATRIX before = viewMatrix;
    D3DXMatrixMultiply(&viewMatrix, &move, &before);
}

D3DXVECTOR3 CameraPosition() {
    const D3DXMATRIX& m = viewMatrix;
    D3DXVECTOR3 r1(m._11, m._12, m._13);
    D3DXVECTOR3 r2(m._21, m._22, m._23);
    D3DXVECTOR3 r3(m._31, m._32, m._33);
    D3DXVECTOR3 t(m._41, m._42, m._43);
    return D3DXVECTOR3(-D3DXVec3Dot(&r1, &t), -D3DXVec3Dot(&r2, &t), -D3DXVec3Dot(&r3, &t));
}

void YawCamera(float angle) {
    D3DXVECTOR3 up(viewMatrix._21, viewMatrix._22, viewMatrix._23);
    D3DXMATRIX turn;
    D3DXMatrixRotationAxis(&turn, &up, angle);
    D3DXMATRIX before = viewMatrix;
    D3DXMatrixMultiply(&viewMatrix, &before, &turn);
}

void PitchCamera(float angle) {
    D3DXMATRIX turn;
    D3DXMatrixRotationX(&turn, -angle);
    D3DXMATRIX before = viewMatrix;
    D3DXMatrixMultiply(&viewMatrix, &before, &turn);
}

void MoveCamera(float dx, float dy, float dz) {
    D3DXMATRIX move;
    D3DXMatrixTranslation(&move, -dx, -dy, -dz);
    D3DXMATRIX before = viewMatrix;
    D3DXMatrixMultiply(&viewMatrix, &before, &move);
}

namespace {

// The pointer's move since the last manual tick turns the camera; a pointer that leaves the
// middle half of the width is put back in the middle, so that it can turn on and on.
void TurnByPointer(int& curX, int curY) {
    // A zero-sized client area at the first manual tick (minimised) would make the divisors 0:
    // then the cursor cannot turn the camera, rather than turning it by infinity.
    if (manualCamera.yawDivisor != 0.0f)
        YawCamera(static_cast<float>(manualCamera.prevCursorX - curX) / manualCamera.yawDivisor);
    if (manualCamera.pitchDivisor != 0.0f)
        PitchCamera(static_cast<float>(curY - manualCamera.prevCursorY) /
                    manualCamera.pitchDivisor);

    if (static_cast<float>(curX) < static_cast<float>(clientWidth) * 0.25f ||
        static_cast<float>(curX) > static_cast<float>(clientWidth) * 0.75f) {
        curX = clientWidth / 2;
        SetMousePos(curX, curY);
    }
}

} // namespace

void UpdateManualCamera(float step, bool pointerFree) {
    if (!manualCamera.initialised) {
        manualCamera.prevCursorX = clientWidth / 2;
        manualCamera.prevCursorY = clientHeight / 2;
        manualCamera.yawDivisor = static_cast<float>(clientWidth) * 0.95492965f;
        manualCamera.pitchDivisor = static_cast<float>(clientHeight) * 0.63661975f;
        manualCamera.initialised = true;
    }
    POINT cursor = GetMousePos();
    int curX = cursor.x;
    int curY = cursor.y;
    if (!pointerFree) TurnByPointer(curX, curY);
    manualCamera.prevCursorX = curX;
    manualCamera.prevCursorY = curY;

    float forward = 0.0f;
    float strafe = 0.0f;
    if (GetKey(DIK_W) >= 2) forward = step;
    if (GetKey(DIK_S) >= 2) forward = -step;
    if (GetKey(DIK_D) >= 2) strafe = step;
    if (GetKey(DIK_A) >= 2) strafe = -step;
    if (forward != 0.0f && strafe != 0.0f) {
        forward *= 0.70710677f;
        strafe *= 0.70710677f;
    }
    if (framesPerSecond >= 1.0f) {
        float k = 20.0f / framesPerSecond;
        MoveCamera(strafe * k, 0.0f, forward * k);
    }
}

namespace {

// A look straight up or down the world's vertical has no defined "up": the look-at would fill
// the matrix with NaN, and Manual View (which only ever changes the matrix incrementally) would
// never recover. Such a tick keeps the previous camera instead.
bool CanLookAlong(const D3DXVECTOR3& direction) {
    float horizontal = direction.x * direction.x + direction.z * direction.z;
    float total = horizontal + direction.y * direction.y;
    return total > 0.0f && horizontal > total * 1e-10f;
}

} // namespace

void PlaceViewCamera(int mode, const D3DXMATRIX& chassis, bool pointerFree) {
    D3DXVECTOR3 p(chassis._41, chassis._42, chassis._43);
    D3DXVECTOR3 f(chassis._31, chassis._32, chassis._33);
    D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    if (mode == 0) {
        D3DXVECTOR3 eye(p.x - 20.0f * f.x, 5.0f, p.z - 20.0f * f.z);
        if (CanLookAlong(p - eye)) SetCameraLookAt(eye, p, up);
    } else if (mode == 1) {
        D3DXVECTOR3 offset = f * 6.0f * 0.5f * 0.2f;
        D3DXVECTOR3 eye(p.x + offset.x, p.y + offset.y + 3.0f, p.z + offset.z);
        if (CanLookAlong(f)) SetCameraLookAt(eye, eye + f, up);
    } else {
        UpdateManualCamera(0.55f, pointerFree);
    }
}

void DrawCameraInfo(int x, int y) {
    D3DXVECTOR3 e = CameraPosition();
    D3DXVECTOR3 d(viewMatrix._13, viewMatrix._23, viewMatrix._33);
    char line[80];
    std::snprintf(line, sizeof line, "%.1f (%.1f, %.1f, %.1f)->(%.1f,%.1f,%.1f)",
                  static_cast<double>(framesPerSecond), static_cast<double>(e.x),
                  static_cast<double>(e.y), static_cast<double>(e.z), static_cast<double>(d.x),
                  static_cast<double>(d.y), static_cast<double>(d.z));
    DrawTextAt(x, y, line);
}
