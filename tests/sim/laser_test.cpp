// The laser cannon with real ODE and the recording device: nothing before the first shot, forty
// frames of flight per beam, where the beams start, restarts, and the recoil.
#include "tests/sim/scene_fixture.h"

#include <dinput.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

using scene_test::Tick;

struct Segment {
    D3DXVECTOR3 start, end;
    D3DCOLOR color1, color2;
};

// The lines one DrawLaserBeams call drew.
std::vector<Segment> DrawnLines(testsupport::RecordingDevice& device) {
    device.ClearCalls();
    DrawLaserBeams();
    std::vector<Segment> out;
    for (const testsupport::DeviceCall* draw : device.CallsNamed("DrawPrimitive")) {
        EXPECT_EQ(draw->args[0], D3DPT_LINELIST);
        LineVertex v[2];
        EXPECT_EQ(draw->vertices.size(), sizeof v);
        if (draw->vertices.size() != sizeof v) continue;
        std::memcpy(v, draw->vertices.data(), sizeof v);
        out.push_back({D3DXVECTOR3(v[0].x, v[0].y, v[0].z), D3DXVECTOR3(v[1].x, v[1].y, v[1].z),
                       v[0].diffuse, v[1].diffuse});
    }
    return out;
}

float Travel(const Segment& s, const LaserBeam& beam) {
    D3DXVECTOR3 flown = s.start - beam.origin;
    return D3DXVec3Dot(&flown, &beam.direction);
}

class LaserTest : public scene_test::SceneFixture {
  protected:
    void SetUp() override {
        SceneFixture::SetUp();
        SetUpScene();
        device.ClearCalls();
    }
};

TEST_F(LaserTest, NothingIsDrawnBeforeTheFirstShot) {
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(DrawnLines(device).empty());
    EXPECT_TRUE(device.calls.empty()) << device.Log();
}

TEST_F(LaserTest, EachBeamFliesFortyFramesOneUnitAFrame) {
    FireLaser();
    for (int frame = 0; frame < 40; ++frame) {
        std::vector<Segment> lines = DrawnLines(device);
        ASSERT_EQ(lines.size(), 2u) << "frame " << frame;
        for (int k = 0; k < 2; ++k) {
            // The beam's travel has moved on already; the line shows the travel before.
            EXPECT_NEAR(Travel(lines[k], laserBeams[k]), 0.1f + frame, 1e-3f) << frame;
            D3DXVECTOR3 length = lines[k].end - lines[k].start;
            EXPECT_NEAR(D3DXVec3Length(&length), 2.0f, 1e-4f);
            EXPECT_EQ(lines[k].color1, 0xF0FF0000u);
            EXPECT_EQ(lines[k].color2, 0xF0FF0000u);
        }
        if (frame < 39) {
            EXPECT_NEAR(laserBeams[0].travel, 1.1f + frame, 1e-4f);
        }
    }
    EXPECT_EQ(laserBeams[0].travel, 0.0f);
    EXPECT_EQ(laserBeams[1].travel, 0.0f);
    EXPECT_TRUE(DrawnLines(device).empty());
}

TEST_F(LaserTest, EachLineIsDrawnUnlitWithTheIdentityWorld) {
    FireLaser();
    device.ClearCalls();
    DrawLaserBeams();
    std::vector<std::string> names;
    for (const auto& c : device.calls)
        if (c.name == "SetRenderState" || c.name == "SetTransform" || c.name == "DrawPrimitive")
            names.push_back(c.ToString().substr(0, c.name == "DrawPrimitive" ? 13 : 100));
    const std::string identity =
        "SetTransform(256, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1)";
    EXPECT_EQ(names,
              (std::vector<std::string>{"SetRenderState(137, 0)", identity, "DrawPrimitive",
                                        "SetRenderState(137, 0)", identity, "DrawPrimitive"}));
}

TEST_F(LaserTest, BeamsStartAheadAboveAndToEitherSideOfALevelChassis) {
    // Right after the world is built the chassis lies level, its x axis along physics x.
    const dReal* p = dBodyGetPosition(chassisBody);
    const D3DXVECTOR3 centre(static_cast<float>(p[0]), static_cast<float>(p[2]),
                             static_cast<float>(p[1]));
    FireLaser();
    for (int k = 0; k < 2; ++k) {
        const LaserBeam& beam = laserBeams[k];
        EXPECT_NEAR(beam.direction.x, 1.0f, 1e-5f);
        EXPECT_NEAR(beam.direction.y, 0.0f, 1e-5f);
        EXPECT_NEAR(beam.direction.z, 0.0f, 1e-5f);
        EXPECT_NEAR(beam.origin.x, centre.x + 6.0f, 1e-4f) << k;
        EXPECT_NEAR(beam.origin.y, centre.y + 1.0f, 1e-4f) << k;
        EXPECT_FLOAT_EQ(beam.travel, 0.1f);
    }
    // 3.6 to one side for beam 0 and to the other for beam 1.
    EXPECT_NEAR(laserBeams[0].origin.z, centre.z + 3.6f, 1e-4f);
    EXPECT_NEAR(laserBeams[1].origin.z, centre.z - 3.6f, 1e-4f);
}

TEST_F(LaserTest, BeamsFollowATurnedChassisAndTheSideOffsetTurnsAboutTheVertical) {
    // Chassis turned a quarter turn about the physics vertical: its x axis along physics +y,
    // which is graphics +z.
    dMatrix3 R;
    dRFromAxisAndAngle(R, 0, 0, 1, M_PI / 2);
    dBodySetRotation(chassisBody, R);
    const dReal* p = dBodyGetPosition(chassisBody);
    FireLaser();
    for (int k = 0; k < 2; ++k) {
        EXPECT_NEAR(laserBeams[k].direction.z, 1.0f, 1e-5f);
        EXPECT_NEAR(laserBeams[k].origin.z, static_cast<float>(p[1]) + 6.0f, 1e-4f);
    }
    EXPECT_NEAR(laserBeams[0].origin.x, static_cast<float>(p[0]) - 3.6f, 1e-4f);
    EXPECT_NEAR(laserBeams[1].origin.x, static_cast<float>(p[0]) + 3.6f, 1e-4f);
    const dReal* force = dBodyGetForce(chassisBody);
    EXPECT_NEAR(force[0], 0.0, 1e-2);
    EXPECT_NEAR(force[1], -26000.0, 1e-2);
    EXPECT_NEAR(force[2], 0.0, 1e-2);
}

TEST_F(LaserTest, ASecondShotRestartsBothBeams) {
    FireLaser();
    for (int i = 0; i < 10; ++i)
        DrawnLines(device);
    EXPECT_NEAR(laserBeams[1].travel, 10.1f, 1e-4f);
    dBodySetPosition(chassisBody, 1, 2, 3); // the second shot leaves from where the chassis is
    FireLaser();
    EXPECT_FLOAT_EQ(laserBeams[0].travel, 0.1f);
    EXPECT_FLOAT_EQ(laserBeams[1].travel, 0.1f);
    EXPECT_NEAR(laserBeams[0].origin.x, 7.0f, 1e-4f);
    int frames = 0;
    while (!DrawnLines(device).empty())
        ++frames;
    EXPECT_EQ(frames, 40);
}

TEST_F(LaserTest, RecoilPushesAlongTheChassisNegativeXForTheShotsTick) {
    // Let the machine stand, then compare one tick with and one without a shot from the same
    // state (the rest of the world is stepped identically).
    for (int i = 0; i < 60; ++i)
        Tick();
    const dReal* R = dBodyGetRotation(chassisBody);
    const D3DXVECTOR3 axis(static_cast<float>(R[0]), static_cast<float>(R[4]),
                           static_cast<float>(R[8])); // chassis x, physics frame

    FireLaser();
    const dReal* force = dBodyGetForce(chassisBody);
    EXPECT_NEAR(force[0], -26000.0 * axis.x, 1.0);
    EXPECT_NEAR(force[1], -26000.0 * axis.y, 1.0);
    EXPECT_NEAR(force[2], -26000.0 * axis.z, 1.0);

    const dReal* v = dBodyGetLinearVel(chassisBody);
    const D3DXVECTOR3 before(static_cast<float>(v[0]), static_cast<float>(v[1]),
                             static_cast<float>(v[2]));
    StepPhysics();
    v = dBodyGetLinearVel(chassisBody);
    D3DXVECTOR3 change =
        D3DXVECTOR3(static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])) -
        before;
    // Pushed back: the impulse of 26000 x 0.07 over a machine of about 222 gives about -8.
    EXPECT_LT(D3DXVec3Dot(&change, &axis), -4.0f);
    // The force acts in that one step only.
    force = dBodyGetForce(chassisBody);
    EXPECT_EQ(force[0], 0.0);
    EXPECT_EQ(force[1], 0.0);
    EXPECT_EQ(force[2], 0.0);
}

TEST_F(LaserTest, SpaceFiresOnlyOnTheTickItGoesDown) {
    Tick({DIK_SPACE});
    EXPECT_FLOAT_EQ(laserBeams[0].travel, 0.1f);
    laserBeams[0].travel = laserBeams[1].travel = 5.0f;
    Tick({DIK_SPACE}); // held: no new shot
    EXPECT_FLOAT_EQ(laserBeams[0].travel, 5.0f);
}

} // namespace
