// Time control, contacts and footfalls through the replay runner: trace rows by physics step
// that do not depend on the rate, traces that F4 and F5 leave alone, and the pictures they add.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "tests/support/tools/replay_process.h"

#include <platform/d3dx8/image_decode.h>

using platform::d3dx::DecodeImageFile;
using platform::d3dx::Image;

namespace {

using replay_test::Lines;
using replay_test::ReadAll;

class TimeAndContacts : public replay_test::ReplayProcessTest {
  protected:
    // Runs `script` for `ticks` ticks with `extra` options; the run must succeed.
    void RunScript(const std::string& script, long ticks, std::vector<std::string> extra) {
        std::ofstream(Path("script.txt")) << script;
        std::vector<std::string> args = {"--script", Path("script.txt").string(), "--ticks",
                                         std::to_string(ticks)};
        args.insert(args.end(), extra.begin(), extra.end());
        replay_test::RunResult result = Run(args);
        ASSERT_EQ(result.exitCode, 0) << result.err;
    }
    std::vector<std::string> StepTrace(const std::string& script, long ticks) {
        RunScript(script, ticks, {"--no-draw", "--trace", Path("steps.csv"), "--trace-steps"});
        return Lines(ReadAll(Path("steps.csv")));
    }
    Image Decode(const std::string& name) {
        Image image;
        std::string error;
        EXPECT_TRUE(DecodeImageFile(Path(name).c_str(), image, error)) << error;
        return image;
    }
};

// A press of `key` on two ticks of its own, `times` times from tick 0.
std::string Presses(const char* key, int times) {
    std::string script;
    for (int i = 0; i < times; ++i)
        script += std::to_string(2 * i) + " " + key + " down\n" + std::to_string(2 * i + 1) + " " +
                  key + " up\n";
    return script;
}

TEST_F(TimeAndContacts, TraceRowsByStepAreTheSameAtEveryRate) {
    const std::vector<std::string> normal = StepTrace("", 160);
    ASSERT_EQ(normal.size(), 161u);
    EXPECT_EQ(normal[0].rfind("step,x,y,z,", 0), 0u);
    struct Rate {
        const char* key;
        int presses;
        long ticksPerStep, stepsPerTick;
    };
    const Rate rates[] = {{"MINUS", 4, 16, 1}, {"MINUS", 3, 8, 1},  {"MINUS", 2, 4, 1},
                          {"MINUS", 1, 2, 1},  {"EQUALS", 1, 1, 2}, {"EQUALS", 2, 1, 4}};
    for (const Rate& rate : rates) {
        // About 40 steps at the slow rates, 160 ticks' worth at the fast ones.
        const long ticks = rate.stepsPerTick > 1 ? 160 / rate.stepsPerTick : 40 * rate.ticksPerStep;
        const std::vector<std::string> rows = StepTrace(Presses(rate.key, rate.presses), ticks);
        ASSERT_GE(rows.size(), 30u) << rate.key << " x" << rate.presses;
        // The rate took: a step every k-th tick, or that many steps a tick, but for the ticks
        // of the presses, which ran at the rates on the way.
        const long steps = static_cast<long>(rows.size()) - 1;
        EXPECT_NEAR(steps, ticks * rate.stepsPerTick / rate.ticksPerStep,
                    2 * rate.presses * rate.stepsPerTick)
            << rate.key << " x" << rate.presses << ": steps in " << ticks << " ticks";
        for (size_t i = 0; i < rows.size() && i < normal.size(); ++i)
            ASSERT_EQ(rows[i], normal[i]) << rate.key << " x" << rate.presses << ", row " << i;
    }
}

TEST_F(TimeAndContacts, ContactsAndFootfallsLeaveTheTraceAloneAndShowUnderTheFeet) {
    RunScript("", 150, {"--trace", Path("plain.csv"), "--shot", Path("plain.png")});
    RunScript("0 F4 down\n1 F4 up\n0 F5 down\n1 F5 up\n", 150,
              {"--trace", Path("lab.csv"), "--shot", Path("lab.png")});
    EXPECT_EQ(ReadAll(Path("lab.csv")), ReadAll(Path("plain.csv")));

    const Image plain = Decode("plain.png"), lab = Decode("lab.png");
    ASSERT_EQ(plain.rgba.size(), lab.rgba.size());
    ASSERT_EQ(lab.width, 640u);
    auto at = [&](const Image& image, uint32_t x, uint32_t y) {
        return &image.rgba[(size_t{y} * image.width + x) * 4];
    };
    // Arrows and crosses: white (gripping) or red (sliding) where the plain picture has
    // neither, below the help lines and right of the footfall panel.
    size_t marks = 0;
    for (uint32_t y = 220; y < 480; ++y)
        for (uint32_t x = 360; x < 640; ++x) {
            const uint8_t *p = at(lab, x, y), *q = at(plain, x, y);
            const bool white = p[0] > 220 && p[1] > 220 && p[2] > 220;
            const bool red = p[0] > 220 && p[1] < 80 && p[2] < 80;
            if ((white || red) && std::memcmp(p, q, 3) != 0) ++marks;
        }
    EXPECT_GT(marks, 60u) << "contact marks under the feet";
    // The legend line, and the footfall bars in the legs' colours (red, leg 0; green, leg 6).
    size_t legend = 0, red = 0, green = 0;
    for (uint32_t x = 0; x < 400; ++x)
        for (uint32_t y = 196; y < 212; ++y)
            legend += at(lab, x, y)[0] > 200 && at(plain, x, y)[0] < 200;
    for (uint32_t y = 310; y < 470; ++y)
        for (uint32_t x = 60; x < 260; ++x) {
            const uint8_t* p = at(lab, x, y);
            red += p[0] > 230 && p[1] < 30 && p[2] < 30;
            green += p[0] < 30 && p[1] > 230 && p[2] < 30;
        }
    EXPECT_GT(legend, 200u);
    EXPECT_GT(red, 200u);
    EXPECT_GT(green, 200u);
}

} // namespace
