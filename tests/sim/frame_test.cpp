// One frame's drawing with real ODE on the recording device: the order of the calls and states,
// the world matrices of the bodies, the ground, the help lines with their live values and
// positions, and a frame on a lost device.
#include "tests/sim/scene_fixture.h"

#include "gfx/camera.h"
#include "sim/frame.h"

#include <dinput.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using scene_test::ChassisMatrix;
using scene_test::Tick;
using testsupport::DeviceCall;

std::vector<float> Floats(const D3DXMATRIX& m) {
    return std::vector<float>(&m.m[0][0], &m.m[0][0] + 16);
}

// The calls that make a frame's outline, as short tokens.
std::vector<std::string> Outline(const testsupport::RecordingDevice& device) {
    const std::vector<float> identity = Floats(identityMatrix);
    std::vector<std::string> out;
    for (const DeviceCall& c : device.calls) {
        if (c.name == "SetRenderState") {
            out.push_back(
                (c.args[0] == D3DRS_LIGHTING ? "Light" : "State" + std::to_string(c.args[0])) +
                std::to_string(c.args[1]));
        } else if (c.name == "SetTransform") {
            if (c.args[0] == D3DTS_VIEW)
                out.push_back("View");
            else
                out.push_back(c.floats == identity ? "WorldIdentity" : "World");
        } else if (c.name == "DrawPrimitive") {
            out.push_back(c.args[0] == D3DPT_LINELIST ? "Line" : "Fan");
        } else if (c.name == "TestCooperativeLevel" || c.name == "BeginScene" ||
                   c.name == "Clear" || c.name == "EndScene" || c.name == "Present" ||
                   c.name.rfind("Font::", 0) == 0) {
            out.push_back(c.name);
        }
    }
    return out;
}

std::vector<std::string> ExpectedOutline(int laserLines) {
    std::vector<std::string> e = {"TestCooperativeLevel", "BeginScene", "Clear", "View"};
    for (int i = 0; i < kLinkCount + kGroupCount; ++i) {
        e.push_back("Light1");
        e.push_back("World");
    }
    e.push_back("World"); // the body, still lit
    for (int i = 0; i < laserLines; ++i) {
        e.push_back("Light0");
        e.push_back("WorldIdentity");
        e.push_back("Line");
    }
    for (const char* s : {"Light0", "State270", "WorldIdentity", "Fan", "Font::Begin"})
        e.push_back(s);
    for (int i = 0; i < 8; ++i)
        e.push_back("Font::DrawTextA");
    for (const char* s : {"Font::End", "EndScene", "Present"})
        e.push_back(s);
    return e;
}

struct TextLine {
    int x, y;
    std::string text;
};

std::vector<TextLine> TextLines(const testsupport::RecordingDevice& device) {
    std::vector<TextLine> out;
    for (const DeviceCall* c : device.CallsNamed("Font::DrawTextA"))
        out.push_back({int(c->args[1]), int(c->args[2]), c->text});
    return out;
}

class FrameTest : public scene_test::SceneFixture {
  protected:
    void SetUp() override {
        SceneFixture::SetUp();
        SetUpScene();
        device.ClearCalls();
    }
};

TEST_F(FrameTest, DrawsInTheDesignedOrder) {
    DrawFrame();
    EXPECT_EQ(Outline(device), ExpectedOutline(0)) << device.Log();
    auto clears = device.CallsNamed("Clear");
    ASSERT_EQ(clears.size(), 1u);
    EXPECT_EQ(clears[0]->args[2], 0xFF000000);
}

TEST_F(FrameTest, LaserLinesComeAfterTheBodyAndBeforeTheGround) {
    FireLaser();
    device.ClearCalls();
    DrawFrame();
    EXPECT_EQ(Outline(device), ExpectedOutline(2)) << device.Log();
}

TEST_F(FrameTest, EveryBodyIsDrawnWithItsPoseAndTheHillsKeepTheirs) {
    for (int i = 0; i < 8; ++i)
        Tick({DIK_UP});
    device.ClearCalls();
    DrawFrame();
    std::vector<const DeviceCall*> worlds;
    for (const DeviceCall* c : device.CallsNamed("SetTransform"))
        if (c->args[0] == D3DTS_WORLD) worlds.push_back(c);
    ASSERT_GE(worlds.size(), size_t(kLinkCount + kGroupCount + 1));
    size_t i = 0;
    for (int e = 0; e < 2; ++e)
        for (int j = 0; j < 4; ++j)
            for (int r = 0; r < 4; ++r, ++i) {
                int n = LinkIndex(r, j, e);
                D3DXMATRIX m = MakeBodyDrawMatrix(dBodyGetPosition(linkBodies[n]),
                                                  dBodyGetRotation(linkBodies[n]));
                EXPECT_EQ(worlds[i]->floats, Floats(m)) << "link " << n;
            }
    const D3DXMATRIX chassis = ChassisMatrix();
    EXPECT_EQ(worlds[i++]->floats, Floats(chassis));
    for (int k = 1; k < kGroupCount; ++k)
        EXPECT_EQ(worlds[i++]->floats, Floats(groupObjects[k].transform)) << "hill " << k;
    EXPECT_EQ(worlds[i]->floats, Floats(chassis)) << "the body rides on the chassis";
    EXPECT_EQ(worlds[i + 1]->floats, Floats(identityMatrix));
}

TEST_F(FrameTest, GroundIsTheTiledTextureOnAThousandUnitQuad) {
    DrawFrame();
    // The ground's texture is the last one bound before the fan.
    const IDirect3DBaseTexture8* bound = nullptr;
    const DeviceCall* fan = nullptr;
    for (const DeviceCall& c : device.calls) {
        if (c.name == "SetTexture" && c.args[0] == 0)
            bound = static_cast<const IDirect3DBaseTexture8*>(c.object);
        if (c.name == "DrawPrimitive" && c.args[0] == D3DPT_TRIANGLEFAN) {
            fan = &c;
            break;
        }
    }
    ASSERT_NE(fan, nullptr);
    EXPECT_EQ(bound, groundTexture.texture);
    QuadVertex v[4];
    ASSERT_EQ(fan->vertices.size(), sizeof v);
    std::memcpy(v, fan->vertices.data(), sizeof v);
    EXPECT_EQ(v[0].x, -500);
    EXPECT_EQ(v[0].y, 0);
    EXPECT_EQ(v[0].z, -500);
    EXPECT_EQ(v[0].u, 0);
    EXPECT_EQ(v[0].v, 30);
    EXPECT_EQ(v[2].u, 30);
    EXPECT_EQ(v[2].x, 500);
    EXPECT_EQ(v[2].diffuse, 0xFFFFFFFFu);
}

TEST_F(FrameTest, HelpLinesAtRestWithTheirPositions) {
    DrawFrame();
    auto lines = TextLines(device);
    ASSERT_EQ(lines.size(), 8u);
    const TextLine expected[] = {
        {0, 18, "Walking              : Push Arrow Key"},
        {0, 36, "Linear Velocity      : No Control      : 0.000000 m/s"},
        {0, 52, "Rotation/Sec         : Push R or F Key : 3.000000 rps"},
        {0, 70, "Friction Coefficient : Push T or G Key : 350.000000"},
        {0, 88, "View Mode Select     : Togle Tab Key   : Back View"},
        {0, 106, "Laser Cannon         : Push Space Key"},
        {0, 142, "In Manual View mode  :   A/S/D/W Key:move , Mouse:turn"},
    };
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(lines[i].x, expected[i].x) << i;
        EXPECT_EQ(lines[i].y, expected[i].y) << i;
        EXPECT_EQ(lines[i].text, expected[i].text) << i;
    }
    // The camera line closes the block, in the top-left corner.
    EXPECT_EQ(lines[7].x, 0);
    EXPECT_EQ(lines[7].y, 0);
    EXPECT_EQ(lines[7].text.rfind("20.0 (", 0), 0u) << lines[7].text;
}

TEST_F(FrameTest, HelpLinesFollowTheLiveValues) {
    const char* names[] = {"Back View", "Driver View", "Manual View", "Manual View"};
    for (int mode = 0; mode < 4; ++mode) {
        viewMode = mode;
        crankSpeed = 3.25f;
        frictionCoefficient = 5.0f;
        device.ClearCalls();
        DrawFrame();
        auto lines = TextLines(device);
        ASSERT_EQ(lines.size(), 8u);
        EXPECT_EQ(lines[2].text, "Rotation/Sec         : Push R or F Key : 3.250000 rps");
        EXPECT_EQ(lines[3].text, "Friction Coefficient : Push T or G Key : 5.000000");
        EXPECT_EQ(lines[4].text,
                  std::string("View Mode Select     : Togle Tab Key   : ") + names[mode]);
    }
}

TEST_F(FrameTest, SpeedReadsZeroOnlyAtRest) {
    for (int i = 0; i < 3; ++i)
        Tick(); // falling onto its legs
    device.ClearCalls();
    DrawFrame();
    auto lines = TextLines(device);
    ASSERT_EQ(lines.size(), 8u);
    const dReal* v = dBodyGetLinearVel(chassisBody);
    char expected[128];
    std::snprintf(expected, sizeof expected, "Linear Velocity      : No Control      : %f m/s",
                  std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]));
    EXPECT_EQ(lines[1].text, expected);
    EXPECT_NE(lines[1].text, "Linear Velocity      : No Control      : 0.000000 m/s");

    // A huge speed still gives a bounded line with every digit of "%f".
    dBodySetLinearVel(chassisBody, 1e30, 0, 0);
    device.ClearCalls();
    DrawFrame();
    lines = TextLines(device);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[1].text.size(),
              std::string("Linear Velocity      : No Control      : ").size() +
                  std::string(" m/s").size() + 31 + 7);
}

TEST_F(FrameTest, TheCameraLineShowsTheCameraPlacedInThisFrame) {
    for (int i = 0; i < 5; ++i)
        Tick();
    D3DXMATRIX viewBefore = viewMatrix;
    device.ClearCalls();
    DrawFrame();
    // The device got the camera of the previous tick...
    auto views = device.CallsNamed("SetTransform");
    ASSERT_FALSE(views.empty());
    EXPECT_EQ(views[0]->args[0], D3DTS_VIEW);
    EXPECT_EQ(views[0]->floats, Floats(viewBefore));
    // ...while the line shows the Back View placed for the next one.
    const D3DXMATRIX chassis = ChassisMatrix();
    D3DXVECTOR3 eye = CameraPosition();
    EXPECT_NEAR(eye.x, chassis._41 - 20 * chassis._31, 1e-3);
    EXPECT_NEAR(eye.y, 5.0f, 1e-3);
    EXPECT_NEAR(eye.z, chassis._43 - 20 * chassis._33, 1e-3);
    char expected[80];
    D3DXVECTOR3 d(viewMatrix._13, viewMatrix._23, viewMatrix._33);
    std::snprintf(expected, sizeof expected, "20.0 (%.1f, %.1f, %.1f)->(%.1f,%.1f,%.1f)", eye.x,
                  eye.y, eye.z, d.x, d.y, d.z);
    EXPECT_EQ(TextLines(device).back().text, expected);
}

TEST_F(FrameTest, ALostDeviceFrameStillRunsEveryStep) {
    device.cooperativeLevel = D3DERR_DEVICELOST;
    D3DXMATRIX viewBefore = viewMatrix;
    DrawFrame();
    EXPECT_EQ(device.CountOf("BeginScene"), 0u);
    EXPECT_EQ(device.CountOf("Font::DrawTextA"), 8u);
    EXPECT_EQ(device.CountOf("DrawPrimitive"), 1u); // the ground
    EXPECT_NE(std::memcmp(&viewBefore, &viewMatrix, sizeof viewBefore), 0) << "camera placed";
    // And the simulation goes on as before.
    Tick();
    device.cooperativeLevel = D3D_OK;
    device.ClearCalls();
    DrawFrame();
    EXPECT_EQ(Outline(device), ExpectedOutline(0));
}

} // namespace
