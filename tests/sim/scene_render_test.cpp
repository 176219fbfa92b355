// The scene drawn for real: the program's own set-up and frame drawing on the Direct3D stand-in
// over OpenGL (Mesa's software rasteriser on SDL's offscreen driver), checked by its pixels.
#include "sim/frame.h"
#include "sim/scene.h"

#include "shell/main_window.h"
#include "gfx/camera.h"
#include "tests/sim/scene_fixture.h"
#include "tests/support/platform/d3d_test_support.h"

#include <platform/d3dx8/image_write.h>

#include <dinput.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using scene_test::Tick;

class SceneRenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(screen.device, nullptr) << "no GL device: " << std::hex << screen.result;
        scene_test::ResetControlState();
        // What the device's start-up does after creating the device.
        SetDefaultTransforms();
        SetDefaultRenderState();
        SetDefaultLight(D3DXVECTOR3(1.0f, -1.0f, 1.0f), D3DXCOLOR(0.5f, 0.5f, 0.5f, 0.0f));
        InitFont(16, 0xFFFFFFFF, 400);
        SetUpScene();
    }
    void TearDown() override {
        scene_test::ReleaseScene();
        FreeFont();
    }

    // Draws two frames (the first places the camera the second is seen from) and reads the
    // picture; KOLTREP_SCENE_SHOTS=folder keeps it as a PNG for a look by eye.
    d3d_test::Picture Frame(const char* name) {
        DrawFrame();
        DrawFrame();
        d3d_test::Picture picture = d3d_test::ReadPicture(screen.device);
        if (const char* folder = std::getenv("KOLTREP_SCENE_SHOTS"))
            platform::d3dx::WritePngRgba((std::string(folder) + "/" + name + ".png").c_str(),
                                         picture.width, picture.height, picture.rgba.data());
        return picture;
    }

    // Pixels in a rectangle that satisfy a test.
    template <typename Test>
    int CountIn(const d3d_test::Picture& p, int x0, int y0, int x1, int y1, Test test) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (test(p.At(x, y))) ++n;
        return n;
    }

    d3d_test::OffscreenDevice screen;
    testsupport::ScopedDevice installed{screen.device};
    testsupport::LogCapture log;
};

bool White(d3d_test::Rgba c) {
    return c.r > 200 && c.g > 200 && c.b > 200;
}
bool Black(d3d_test::Rgba c) {
    return c.r < 8 && c.g < 8 && c.b < 8;
}
bool Earthy(d3d_test::Rgba c) {
    return c.g > c.b + 15 && c.r > c.b && c.g > 40;
}
bool Cyan(d3d_test::Rgba c) {
    return c.r < 40 && c.g > 60 && c.b > 60 && std::abs(c.g - c.b) < 12;
}
bool Red(d3d_test::Rgba c) {
    return c.r > 150 && c.g < 60 && c.b < 60;
}

TEST_F(SceneRenderTest, BackViewShowsTheMachineOnTheGroundUnderTheHelpText) {
    for (int i = 0; i < 100; ++i)
        Tick();
    d3d_test::Picture p = Frame("back_view");
    ASSERT_EQ(p.width, 640u);
    ASSERT_EQ(p.height, 480u);
    // The help block: white text in the top-left, nothing of it right of the longest line.
    EXPECT_GT(CountIn(p, 0, 0, 480, 160, White), 500);
    // The ground fills the bottom of the picture with its earthy texture; the sky stays black.
    EXPECT_GT(CountIn(p, 0, 400, 640, 480, Earthy), 640 * 80 * 3 / 4);
    EXPECT_GT(CountIn(p, 0, 170, 640, 200, Black), 640 * 30 / 2);
    // The machine stands in the middle, seen from behind: lit cyan links and chassis.
    EXPECT_GT(CountIn(p, 200, 200, 440, 400, Cyan), 300);
}

TEST_F(SceneRenderTest, FromTheSideTheBodySitsOnTheChassisAndTheBeamsAreRed) {
    for (int i = 0; i < 100; ++i)
        Tick();
    // Manual View, held still, from 30 units off the machine's left flank.
    manualCamera = ManualCameraState{0, 0, 0.0f, 0.0f, false};
    clientWidth = 640;
    clientHeight = 480;
    mousePos = POINT{320, 240};
    viewMode = 2;
    const D3DXMATRIX chassis = scene_test::ChassisMatrix();
    const D3DXVECTOR3 centre(chassis._41, chassis._42, chassis._43);
    const D3DXVECTOR3 front(chassis._31, 0, chassis._33);
    const D3DXVECTOR3 side(-front.z, 0, front.x); // left of the front, in the left-handed frame
    SetCameraLookAt(centre + side * (30.0f / D3DXVec3Length(&side)) + D3DXVECTOR3(0, 4, 0),
                    centre + front * (8.0f / D3DXVec3Length(&front)), D3DXVECTOR3(0, 1, 0));
    FireLaser();
    d3d_test::Picture p = Frame("side_view");
    EXPECT_GT(CountIn(p, 0, 0, 640, 480, Red), 20);
    // The hull's plating (grey, lit) lies above the cyan chassis plate in the middle columns.
    int plate = -1, hull = -1;
    for (int y = 479; y >= 0 && (plate < 0 || hull < 0); --y) {
        d3d_test::Rgba c = p.At(320, y);
        if (plate < 0 && Cyan(c)) plate = y;
        if (plate >= 0 && hull < 0 && !Cyan(c) && std::abs(c.r - c.b) < 30 && c.r > 70) hull = y;
    }
    EXPECT_GE(plate, 0);
    EXPECT_GE(hull, 0);
    EXPECT_LT(hull, plate);
}

TEST_F(SceneRenderTest, DriverViewLooksOverTheBodyAlongTheWalkingDirection) {
    for (int i = 0; i < 100; ++i)
        Tick();
    viewMode = 1;
    d3d_test::Picture p = Frame("driver_view");
    // From above the chassis the ground fills the lower part; the text is still drawn.
    EXPECT_GT(CountIn(p, 0, 0, 480, 160, White), 500);
    EXPECT_GT(CountIn(p, 0, 300, 640, 480, Earthy) + CountIn(p, 0, 300, 640, 480, Cyan), 1000);
}

} // namespace
