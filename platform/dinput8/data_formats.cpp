// The predefined data formats (c_dfDIKeyboard, c_dfDIMouse, c_dfDIJoystick2) and the GUIDs of
// the DirectInput stand-in. The GUID values are those the DirectInput API publishes, so code that
// compares or stores them keeps working. Limits: c_dfDIJoystick2 lists the position axes, sliders,
// hats and buttons; the velocity, acceleration and force parts of DIJOYSTATE2 are not listed (no
// SDL joystick reports them) but keep their room in the 272 bytes.
#include <dinput.h>

#include <array>
#include <cstddef>

// {6F1D2B61-D5A0-11CF-BFC7-444553540000}
const GUID GUID_SysKeyboard = {
    0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysMouse = {
    0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_XAxis = {
    0xA36D02E0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_YAxis = {
    0xA36D02E1, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_ZAxis = {
    0xA36D02E2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_RxAxis = {
    0xA36D02F4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_RyAxis = {
    0xA36D02F5, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_RzAxis = {
    0xA36D02E3, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Slider = {
    0xA36D02E4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Button = {
    0xA36D02F0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Key = {
    0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_POV = {
    0xA36D02F2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInput8A = {
    0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};

namespace {

constexpr DWORD kAnyButton = DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL;
constexpr DWORD kAnyAxis = DIDFT_AXIS | DIDFT_ANYINSTANCE;
constexpr DWORD kAnyPov = DIDFT_POV | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL;

constexpr std::array<DIOBJECTDATAFORMAT, 256> MakeKeyboardObjects() {
    std::array<DIOBJECTDATAFORMAT, 256> objects{};
    for (DWORD i = 0; i < 256; ++i)
        objects[i] = {&GUID_Key, i, DIDFT_BUTTON | DIDFT_OPTIONAL | DIDFT_MAKEINSTANCE(i), 0};
    return objects;
}

constexpr std::array<DIOBJECTDATAFORMAT, 7> MakeMouseObjects() {
    return {{
        {&GUID_XAxis, offsetof(DIMOUSESTATE, lX), kAnyAxis, 0},
        {&GUID_YAxis, offsetof(DIMOUSESTATE, lY), kAnyAxis, 0},
        {&GUID_ZAxis, offsetof(DIMOUSESTATE, lZ), kAnyAxis | DIDFT_OPTIONAL, 0},
        {nullptr, offsetof(DIMOUSESTATE, rgbButtons) + 0, kAnyButton & ~DIDFT_OPTIONAL, 0},
        {nullptr, offsetof(DIMOUSESTATE, rgbButtons) + 1, kAnyButton & ~DIDFT_OPTIONAL, 0},
        {nullptr, offsetof(DIMOUSESTATE, rgbButtons) + 2, kAnyButton, 0},
        {nullptr, offsetof(DIMOUSESTATE, rgbButtons) + 3, kAnyButton, 0},
    }};
}

constexpr std::array<DIOBJECTDATAFORMAT, 8 + 4 + 128> MakeJoystickObjects() {
    std::array<DIOBJECTDATAFORMAT, 8 + 4 + 128> objects{};
    const GUID* axes[8] = {&GUID_XAxis,  &GUID_YAxis,  &GUID_ZAxis,  &GUID_RxAxis,
                           &GUID_RyAxis, &GUID_RzAxis, &GUID_Slider, &GUID_Slider};
    size_t n = 0;
    for (DWORD i = 0; i < 8; ++i)
        objects[n++] = {axes[i], DWORD(offsetof(DIJOYSTATE2, lX) + 4 * i),
                        kAnyAxis | DIDFT_OPTIONAL, 0};
    for (DWORD i = 0; i < 4; ++i)
        objects[n++] = {&GUID_POV, DWORD(offsetof(DIJOYSTATE2, rgdwPOV) + 4 * i), kAnyPov, 0};
    for (DWORD i = 0; i < 128; ++i)
        objects[n++] = {nullptr, DWORD(offsetof(DIJOYSTATE2, rgbButtons) + i), kAnyButton, 0};
    return objects;
}

std::array<DIOBJECTDATAFORMAT, 256> keyboardObjects = MakeKeyboardObjects();
std::array<DIOBJECTDATAFORMAT, 7> mouseObjects = MakeMouseObjects();
std::array<DIOBJECTDATAFORMAT, 8 + 4 + 128> joystickObjects = MakeJoystickObjects();

static_assert(sizeof(DIMOUSESTATE) == 16);
static_assert(sizeof(DIJOYSTATE2) == 272);

} // namespace

const DIDATAFORMAT c_dfDIKeyboard = {
    sizeof(DIDATAFORMAT),          sizeof(DIOBJECTDATAFORMAT), 0, 256,
    DWORD(keyboardObjects.size()), keyboardObjects.data()};
const DIDATAFORMAT c_dfDIMouse = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS,
    sizeof(DIMOUSESTATE), DWORD(mouseObjects.size()), mouseObjects.data()};
const DIDATAFORMAT c_dfDIJoystick2 = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT),    DIDF_ABSAXIS,
    sizeof(DIJOYSTATE2),  DWORD(joystickObjects.size()), joystickObjects.data()};
