// The gait lab's pictures, checked pixel by pixel rather than against references: F2's foot
// trails in their eight colours, F3's panel in its corner. With both off the tour's references
// (replay_pictures_test.cpp) hold unchanged.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "tests/support/tools/replay_process.h"

#include <platform/d3dx8/image_decode.h>

using platform::d3dx::DecodeImageFile;
using platform::d3dx::Image;

namespace {

// The legs' colours in the order of the program's table.
const uint8_t kLegColors[8][3] = {{255, 0, 0},  {255, 128, 0}, {255, 255, 0}, {255, 0, 255},
                                  {0, 64, 255}, {144, 0, 255}, {0, 255, 0},   {255, 128, 192}};
// Trail segments fade and blend over the scene; the newest are within this of their colour.
constexpr int kColorTolerance = 40;
constexpr size_t kMinTrailPixels = 20;

bool Near(const uint8_t* p, const uint8_t* color, int tolerance) {
    for (int c = 0; c < 3; ++c)
        if (std::abs(p[c] - color[c]) > tolerance) return false;
    return true;
}

class GaitPictures : public replay_test::ReplayProcessTest {
  protected:
    // Walks 100 ticks after pressing `key`, and returns the last frame.
    Image Shot(const char* key) {
        std::ofstream(Path("script.txt")) << "0 " << key << " down\n5 " << key << " up\n"
                                          << "60 UP down\n";
        replay_test::RunResult result =
            Run({"--script", Path("script.txt"), "--ticks", "160", "--shot", Path("shot.png")});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        Image image;
        std::string error;
        EXPECT_TRUE(DecodeImageFile(Path("shot.png").c_str(), image, error)) << error;
        return image;
    }
};

TEST_F(GaitPictures, F2ShowsEightTrailsOfDistinctColours) {
    Image frame = Shot("F2");
    ASSERT_EQ(frame.width * frame.height * 4, frame.rgba.size());
    for (int leg = 0; leg < 8; ++leg) {
        size_t count = 0;
        for (size_t i = 0; i < frame.rgba.size(); i += 4)
            if (Near(&frame.rgba[i], kLegColors[leg], kColorTolerance)) ++count;
        EXPECT_GE(count, kMinTrailPixels) << "trail of leg " << leg;
    }
}

TEST_F(GaitPictures, F3ShowsThePanelWithTextAndSpeedPlotInTheBottomRightCorner) {
    Image frame = Shot("F3");
    ASSERT_EQ(frame.width, 640u);
    size_t dark = 0, white = 0, plot = 0, pixels = 0;
    const uint8_t plotColor[3] = {255, 224, 64};
    for (uint32_t y = 292; y < 474; ++y) {
        for (uint32_t x = 382; x < 634; ++x) {
            const uint8_t* p = &frame.rgba[(size_t{y} * frame.width + x) * 4];
            ++pixels;
            if (p[0] + p[1] + p[2] < 150) ++dark;
            if (p[0] >= 200 && p[1] >= 200 && p[2] >= 200) ++white;
            if (Near(p, plotColor, 24)) ++plot;
        }
    }
    EXPECT_GT(dark, pixels / 2) << "the panel's background darkens its corner";
    EXPECT_GT(white, 1000u) << "eight lines of text";
    EXPECT_GT(plot, 150u) << "the speed plot";
}

} // namespace
