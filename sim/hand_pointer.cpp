// The hand's pointer work: what the pointer grabs and where it pulls, sent as actions.
#include "sim/hand_pointer.h"

#include <dinput.h>
#include <platform/d3d8/d3d8_linux.h>
#include <platform/ui/ui_host.h>

#include "gfx/device/d3d_device.h"
#include "input/input.h"
#include "shell/main_window.h"
#include "sim/hand.h"
#include "sim/panel.h"
#include "sim/panel_actions.h"

namespace {

// The pointer's ray from the camera, in the world.
void PointerRay(D3DXVECTOR3& origin, D3DXVECTOR3& direction) {
    float x = 0.0f, y = 0.0f;
    PointerInPicture(x, y);
    const float nx = 2.0f * x / float(backBufferWidth) - 1.0f;
    const float ny = 1.0f - 2.0f * y / float(backBufferHeight);
    const D3DXVECTOR3 inView(nx / projectionMatrix._11, ny / projectionMatrix._22, 1.0f);
    D3DXMATRIX toWorld;
    D3DXMatrixInverse(&toWorld, nullptr, &viewMatrix);
    direction = D3DXVECTOR3(inView.x * toWorld._11 + inView.y * toWorld._21 + toWorld._31,
                            inView.x * toWorld._12 + inView.y * toWorld._22 + toWorld._32,
                            inView.x * toWorld._13 + inView.y * toWorld._23 + toWorld._33);
    D3DXVec3Normalize(&direction, &direction);
    origin = D3DXVECTOR3(toWorld._41, toWorld._42, toWorld._43);
}

struct Grip {
    bool held = false;
    float depth = 0.0f; // of the grabbed point along the view direction, kept while held
    D3DXVECTOR3 target{0.0f, 0.0f, 0.0f};
};
Grip grip;

// False, sending nothing, when the pull lies beyond what a script may hold (a pointer ray grazing
// the plane throws the target far away).
bool QueuePull(int body, const double local[3], const D3DXVECTOR3& target) {
    PanelAction action;
    action.verb = PanelVerb::Pull;
    action.body = body;
    for (int i = 0; i < 3; ++i)
        action.point[i] = local[i];
    action.target[0] = target.x;
    action.target[1] = target.y;
    action.target[2] = target.z;
    if (!PullFits(action)) return false;
    QueuePanelAction(action);
    grip.target = target;
    return true;
}

void Grab() {
    D3DXVECTOR3 origin, direction, hit;
    PointerRay(origin, direction);
    int body = -1;
    double local[3];
    if (!PickMachineBody(origin, direction, body, local, hit)) return;
    const D3DXVECTOR3 forward(viewMatrix._13, viewMatrix._23, viewMatrix._33);
    const D3DXVECTOR3 offset = hit - origin;
    grip.depth = D3DXVec3Dot(&offset, &forward);
    grip.held = QueuePull(body, local, hit);
}

// The pointer's place in the plane through the grabbed point that faces the camera.
void Drag() {
    D3DXVECTOR3 origin, direction;
    PointerRay(origin, direction);
    const D3DXVECTOR3 forward(viewMatrix._13, viewMatrix._23, viewMatrix._33);
    const float along = D3DXVec3Dot(&direction, &forward);
    if (along <= 1e-4f || !HandHolds()) return;
    const D3DXVECTOR3 target = origin + direction * (grip.depth / along);
    if (target.x == grip.target.x && target.y == grip.target.y && target.z == grip.target.z) return;
    double local[3];
    HeldLocalPoint(local);
    QueuePull(HeldBody(), local, target);
}

} // namespace

// The pointer in back-buffer pixels: a window stretches the picture over its client area.
void PointerInPicture(float& x, float& y) {
    POINT p = GetMousePos();
    RECT picture{0, 0, clientWidth, clientHeight};
    // Full screen reads the pointer on the screen, and the picture stands between bars there.
    if (!windowed) {
        ScreenToClient(mainWindow, &p);
        if (!platform::d3d8::PresentedPictureRect(d3dDevice, picture))
            picture = RECT{0, 0, clientWidth, clientHeight};
    }
    const float width = float(picture.right - picture.left);
    const float height = float(picture.bottom - picture.top);
    x = width > 0.0f ? float(p.x - picture.left) * float(backBufferWidth) / width : -1.0f;
    y = height > 0.0f ? float(p.y - picture.top) * float(backBufferHeight) / height : -1.0f;
}

void UpdateHandPointer() {
    static bool wasLeft = false;
    const bool left = (mouseButtons[0] & 0x80) != 0;
    const bool pressed = left && !wasLeft;
    wasLeft = left;
    if (grip.held) {
        if (!left || !HandHolds()) {
            grip.held = false;
            if (HandHolds()) {
                PanelAction release;
                release.verb = PanelVerb::Release;
                QueuePanelAction(release);
            }
        } else {
            Drag();
        }
        return;
    }
    // The tick's keys as the machine reads them: no grab while a panel field is typed into.
    const bool ctrl = GetKey(DIK_LCONTROL) >= 2 || GetKey(DIK_RCONTROL) >= 2;
    if (pressed && ctrl && !(panelOpen && platform::ui::UiWantsMouse())) Grab();
}
