// F1's key list in the picture, checked by its properties: a dark panel with white rows and
// yellow headings over the middle of the picture; F1 again gives back the design's picture,
// byte for byte.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/tools/replay_process.h"

#include <platform/d3dx8/image_decode.h>

using platform::d3dx::DecodeImageFile;
using platform::d3dx::Image;

namespace {

class KeyHelpPicture : public replay_test::ReplayProcessTest {
  protected:
    Image Shot(const std::string& script, const std::string& name) {
        std::ofstream(Path(name + ".txt")) << script;
        replay_test::RunResult result =
            Run({"--script", Path(name + ".txt"), "--ticks", "60", "--shot", Path(name + ".png")});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        Image image;
        std::string error;
        EXPECT_TRUE(DecodeImageFile(Path(name + ".png").c_str(), image, error)) << error;
        return image;
    }
};

TEST_F(KeyHelpPicture, F1ShowsEveryKeyOnADarkPanelAndF1AgainTakesItAway) {
    Image list = Shot("40 F1 down\n41 F1 up\n", "list");
    ASSERT_EQ(list.width, 640u);
    ASSERT_EQ(list.height, 480u);
    size_t dark = 0, white = 0, yellow = 0, pixels = 0, besideKeys = 0;
    // The list grows with the keys: its headings may stand anywhere in the picture's height.
    for (uint32_t y = 0; y < 480; ++y) {
        for (uint32_t x = 0; x < 640; ++x) {
            const uint8_t* p = &list.rgba[(size_t{y} * list.width + x) * 4];
            // Left of the keys column nothing of the help lines under the list shows.
            if (x < 60 && y >= 40 && y < 440 && p[0] + p[1] + p[2] >= 300) ++besideKeys;
            if (x < 50 || x >= 590) continue;
            if (p[0] >= 200 && p[1] >= 180 && p[2] < 120) ++yellow;
            if (y < 40 || y >= 440) continue;
            ++pixels;
            if (p[0] + p[1] + p[2] < 90) ++dark;
            if (p[0] >= 200 && p[1] >= 200 && p[2] >= 200) ++white;
        }
    }
    EXPECT_GT(dark, pixels * 3 / 4) << "the panel hides the scene";
    EXPECT_GT(white, 5000u) << "a row for every key";
    EXPECT_GT(yellow, 200u) << "the headings";
    EXPECT_EQ(besideKeys, 0u) << "the design's help lines show at the list's left edge";

    Image plain = Shot("", "plain");
    Image closed = Shot("30 F1 down\n31 F1 up\n40 F1 down\n41 F1 up\n", "closed");
    EXPECT_TRUE(plain.rgba == closed.rgba) << "closed, the list leaves the picture as designed";
    EXPECT_FALSE(plain.rgba == list.rgba);
}

} // namespace
