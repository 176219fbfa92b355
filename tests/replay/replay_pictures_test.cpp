// Pictures of the tour: the replay runner plays tools/replay/tour.txt with drawing on Mesa's
// software rasteriser, and a few of its saved frames are compared with reference frames stored
// in tests/data/frames.
//
// Tolerance: a pixel matches when each of its R, G and B channels differs by at most 24/255
// from the reference; a frame passes when at most 1% of its pixels do not match. That absorbs
// the rounding of another Mesa build or another compiler of our code (edges of triangles and
// glyphs moving by a pixel), while a wrong texture, a missing object, a changed camera or a
// moved machine changes far more than 1% of the picture.
//
// Every frame is also checked for a few facts that hold for any sound picture of it, so that
// references regenerated from a broken build do not go unnoticed: the help text is drawn, the
// ground is textured, the machine is in view where the camera looks at it.
//
// On a failure the frame as drawn and a difference image are written to
// <build folder>/picture-failures and named in the failure message. The references change only
// when the picture is meant to change, in a commit that says why (tests/replay/README.md).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/tools/replay_process.h"

#include <platform/d3dx8/image_decode.h>
#include <platform/d3dx8/image_write.h>

using platform::d3dx::DecodeImageFile;
using platform::d3dx::Image;
using platform::d3dx::WritePngRgba;

namespace {

namespace fs = std::filesystem;

// ---- Comparison -------------------------------------------------------------------------------

constexpr int kChannelTolerance = 24;        // of 255, per channel
constexpr double kMismatchedFraction = 0.01; // of the frame's pixels

struct Comparison {
    bool sameSize = false;
    size_t pixels = 0;
    size_t mismatched = 0;
    int largestDifference = 0; // over all channels of all pixels
    bool Passes() const {
        return sameSize && static_cast<double>(mismatched) <= kMismatchedFraction * pixels;
    }
};

// Alpha is not compared: the back buffer's alpha says nothing about what is on the screen.
bool PixelMatches(const uint8_t* a, const uint8_t* b, int& largest) {
    bool matches = true;
    for (int c = 0; c < 3; ++c) {
        int difference = std::abs(static_cast<int>(a[c]) - static_cast<int>(b[c]));
        largest = std::max(largest, difference);
        if (difference > kChannelTolerance) matches = false;
    }
    return matches;
}

// Compares `actual` with `reference`; `difference`, when given, receives an image of the
// frame in dim grey with every mismatched pixel in red.
Comparison CompareFrames(const Image& actual, const Image& reference, Image* difference) {
    Comparison result;
    result.sameSize = actual.width == reference.width && actual.height == reference.height &&
                      actual.rgba.size() == reference.rgba.size() &&
                      actual.rgba.size() == size_t{actual.width} * actual.height * 4;
    if (!result.sameSize) return result;
    result.pixels = size_t{actual.width} * actual.height;
    if (difference) {
        difference->width = actual.width;
        difference->height = actual.height;
        difference->rgba.assign(actual.rgba.size(), 255);
    }
    for (size_t i = 0; i < result.pixels; ++i) {
        const uint8_t* a = &actual.rgba[4 * i];
        bool matches = PixelMatches(a, &reference.rgba[4 * i], result.largestDifference);
        if (!matches) ++result.mismatched;
        if (difference) {
            uint8_t* d = &difference->rgba[4 * i];
            uint8_t grey = static_cast<uint8_t>((a[0] + a[1] + a[2]) / 12);
            d[0] = matches ? grey : 255;
            d[1] = matches ? grey : 0;
            d[2] = matches ? grey : 0;
        }
    }
    return result;
}

// ---- What any sound picture shows ---------------------------------------------------------------

struct Rect {
    uint32_t left, top, right, bottom; // right and bottom excluded
};

const uint8_t* PixelAt(const Image& image, uint32_t x, uint32_t y) {
    return &image.rgba[(size_t{y} * image.width + x) * 4];
}

template <typename Predicate>
size_t CountPixels(const Image& image, Rect area, Predicate predicate) {
    size_t count = 0;
    for (uint32_t y = area.top; y < std::min(area.bottom, image.height); ++y)
        for (uint32_t x = area.left; x < std::min(area.right, image.width); ++x)
            if (predicate(PixelAt(image, x, y))) ++count;
    return count;
}

bool WhiteIsh(const uint8_t* p) {
    return p[0] >= 200 && p[1] >= 200 && p[2] >= 200;
}

// The machine's frame and legs: cyan under the light, from full brightness down to shade.
bool CyanIsh(const uint8_t* p) {
    return p[1] >= 100 && p[2] >= 100 && p[0] + 60 <= std::min(p[1], p[2]) &&
           std::abs(p[1] - p[2]) <= 60;
}

// The ground texture's grass and earth: green or brown, never blue-dominated or grey.
bool GroundIsh(const uint8_t* p) {
    return p[1] > p[2] + 15 && p[0] + p[1] + p[2] >= 90;
}

constexpr Rect kHelpArea{0, 0, 300, 150};
// The camera line and the seven help lines give some 2300 white pixels there, about 290 a line;
// with a third of the lines missing the count falls below the limit. A white area is a flat
// quad or a lost clear, not text.
constexpr size_t kMinTextPixels = 1500;
constexpr double kMaxTextFraction = 0.4;
// Ground: most of the band green or brown (the tour's frames: 81% to 99%), in thousands of
// shades with a brightness deviation of 12 to 15; a missing texture leaves a flat white quad,
// a missing transform or light a black or one-coloured one, with a deviation near 0.
constexpr double kMinGroundFraction = 0.5;
constexpr size_t kMinGroundShades = 500;
constexpr double kMinGroundDeviation = 6.0;
// The tour's frames of the machine show 24 000 to 42 000 cyan pixels.
constexpr size_t kMinCyanPixels = 5000;

struct Facts {
    std::string failures; // empty when every fact holds
};

void CheckHelpText(const Image& frame, std::string& failures) {
    size_t white = CountPixels(frame, kHelpArea, WhiteIsh);
    size_t area = size_t{kHelpArea.right - kHelpArea.left} * (kHelpArea.bottom - kHelpArea.top);
    if (white < kMinTextPixels)
        failures += "help text: only " + std::to_string(white) + " white pixels in the top-left " +
                    "300 x 150 (at least " + std::to_string(kMinTextPixels) + " expected)\n";
    if (white > kMaxTextFraction * area)
        failures += "help text: " + std::to_string(white) + " of " + std::to_string(area) +
                    " pixels of the top-left 300 x 150 are white: not text on the scene\n";
}

void CheckGround(const Image& frame, Rect band, std::string& failures) {
    size_t pixels = 0, ground = 0;
    double sum = 0, sumSquares = 0;
    std::set<uint32_t> shades;
    for (uint32_t y = band.top; y < std::min(band.bottom, frame.height); ++y) {
        for (uint32_t x = band.left; x < std::min(band.right, frame.width); ++x) {
            const uint8_t* p = PixelAt(frame, x, y);
            ++pixels;
            if (!GroundIsh(p)) continue;
            ++ground;
            double luminance = 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
            sum += luminance;
            sumSquares += luminance * luminance;
            shades.insert(uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]);
        }
    }
    std::ostringstream text;
    text << "ground in rows " << band.top << ".." << band.bottom - 1 << ": ";
    if (pixels == 0 || static_cast<double>(ground) < kMinGroundFraction * pixels) {
        text << ground << " of " << pixels << " pixels green or brown (at least "
             << kMinGroundFraction * 100 << "% expected)\n";
        failures += text.str();
        return;
    }
    double mean = sum / ground;
    double deviation = std::sqrt(std::max(0.0, sumSquares / ground - mean * mean));
    if (shades.size() < kMinGroundShades || deviation < kMinGroundDeviation) {
        text << "flat, not textured: " << shades.size() << " shades, brightness deviation "
             << deviation << " (at least " << kMinGroundShades << " and " << kMinGroundDeviation
             << " expected)\n";
        failures += text.str();
    }
}

void CheckMachineInView(const Image& frame, std::string& failures) {
    size_t cyan = CountPixels(frame, Rect{0, 0, frame.width, frame.height}, CyanIsh);
    if (cyan < kMinCyanPixels)
        failures += "machine: only " + std::to_string(cyan) + " cyan pixels (at least " +
                    std::to_string(kMinCyanPixels) + " expected)\n";
}

// The facts for one frame; `groundBand` is the part of the frame where the camera sees ground.
std::string CheckFacts(const Image& frame, Rect groundBand, bool machineInView) {
    std::string failures;
    if (frame.width != 640 || frame.height != 480)
        return "frame is " + std::to_string(frame.width) + " x " + std::to_string(frame.height) +
               ", not 640 x 480\n";
    CheckHelpText(frame, failures);
    CheckGround(frame, groundBand, failures);
    if (machineInView) CheckMachineInView(frame, failures);
    return failures;
}

// ---- The comparison and the facts themselves, on made-up frames ------------------------------

Image Filled(uint32_t width, uint32_t height, uint8_t r, uint8_t g, uint8_t b) {
    Image image;
    image.width = width;
    image.height = height;
    image.rgba.resize(size_t{width} * height * 4);
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        image.rgba[i] = r;
        image.rgba[i + 1] = g;
        image.rgba[i + 2] = b;
        image.rgba[i + 3] = 255;
    }
    return image;
}

void Paint(Image& image, Rect area, uint8_t r, uint8_t g, uint8_t b) {
    for (uint32_t y = area.top; y < area.bottom; ++y)
        for (uint32_t x = area.left; x < area.right; ++x) {
            uint8_t* p = &image.rgba[(size_t{y} * image.width + x) * 4];
            p[0] = r;
            p[1] = g;
            p[2] = b;
        }
}

TEST(PictureComparison, ChannelToleranceIsTwentyFourInclusiveOnEveryColourChannel) {
    Image reference = Filled(10, 10, 100, 100, 100);
    for (int channel = 0; channel < 3; ++channel) {
        for (int delta : {24, -24}) {
            Image actual = reference;
            for (size_t i = channel; i < actual.rgba.size(); i += 4)
                actual.rgba[i] = static_cast<uint8_t>(100 + delta);
            Comparison same = CompareFrames(actual, reference, nullptr);
            EXPECT_EQ(same.mismatched, 0u) << "channel " << channel << " delta " << delta;
            EXPECT_EQ(same.largestDifference, 24);
            for (size_t i = channel; i < actual.rgba.size(); i += 4)
                actual.rgba[i] = static_cast<uint8_t>(100 + (delta > 0 ? 25 : -25));
            Comparison off = CompareFrames(actual, reference, nullptr);
            EXPECT_EQ(off.mismatched, 100u) << "channel " << channel << " delta " << delta;
            EXPECT_FALSE(off.Passes());
        }
    }
    // Alpha is ignored; the extremes of the range do not wrap.
    Image actual = reference;
    for (size_t i = 3; i < actual.rgba.size(); i += 4)
        actual.rgba[i] = 0;
    EXPECT_EQ(CompareFrames(actual, reference, nullptr).mismatched, 0u);
    EXPECT_EQ(CompareFrames(Filled(10, 10, 0, 0, 0), Filled(10, 10, 255, 255, 255), nullptr)
                  .largestDifference,
              255);
}

TEST(PictureComparison, AFramePassesWithAtMostOnePercentOfItsPixelsOff) {
    Image reference = Filled(100, 50, 10, 200, 30); // 5000 pixels: 50 may be off
    Image actual = reference;
    Paint(actual, Rect{0, 0, 50, 1}, 200, 0, 0);
    Image difference;
    Comparison at = CompareFrames(actual, reference, &difference);
    EXPECT_EQ(at.mismatched, 50u);
    EXPECT_TRUE(at.Passes());
    Paint(actual, Rect{99, 49, 100, 50}, 200, 0, 0); // the last pixel of the frame
    Comparison over = CompareFrames(actual, reference, nullptr);
    EXPECT_EQ(over.mismatched, 51u);
    EXPECT_FALSE(over.Passes());

    // The difference image marks exactly the mismatched pixels in red.
    ASSERT_EQ(difference.width, 100u);
    ASSERT_EQ(difference.height, 50u);
    size_t red = 0;
    for (size_t i = 0; i < difference.rgba.size(); i += 4)
        if (difference.rgba[i] == 255 && difference.rgba[i + 1] == 0) ++red;
    EXPECT_EQ(red, 50u);
    EXPECT_EQ(difference.rgba[0], 255);
    EXPECT_LT(difference.rgba[4 * 50], 255); // the first pixel of row 0 past the painted run
}

TEST(PictureComparison, FramesOfAnotherSizeNeverPass) {
    Comparison comparison =
        CompareFrames(Filled(640, 480, 0, 0, 0), Filled(480, 640, 0, 0, 0), nullptr);
    EXPECT_FALSE(comparison.sameSize);
    EXPECT_FALSE(comparison.Passes());
    Image truncated = Filled(640, 480, 0, 0, 0);
    truncated.rgba.resize(truncated.rgba.size() - 4);
    EXPECT_FALSE(CompareFrames(truncated, Filled(640, 480, 0, 0, 0), nullptr).Passes());
}

// A frame that has every fact: text lines in the top-left, a noisy green and brown ground and a
// cyan machine.
Image SoundFrame() {
    Image frame = Filled(640, 480, 0, 0, 0);
    for (uint32_t line = 0; line < 8; ++line)
        for (uint32_t x = 0; x < 280; x += 3)
            Paint(frame, Rect{x, 18 * line + 4, x + 2, 18 * line + 12}, 255, 255, 255);
    uint32_t seed = 12345;
    for (uint32_t y = 240; y < 480; ++y)
        for (uint32_t x = 0; x < 640; ++x) {
            seed = seed * 1103515245 + 12345;
            int shade = static_cast<int>(seed >> 25);     // 0..127
            int tint = static_cast<int>(seed >> 10) % 32; // 0..31
            bool earth = (seed >> 8) % 3 == 0;
            Paint(frame, Rect{x, y, x + 1, y + 1},
                  static_cast<uint8_t>(earth ? 120 + shade / 2 : 60 + tint),
                  static_cast<uint8_t>(earth ? 100 + shade / 2 : 110 + shade),
                  static_cast<uint8_t>(earth ? 40 + tint : 30 + tint));
        }
    Paint(frame, Rect{200, 260, 440, 300}, 0, 220, 220);
    return frame;
}

TEST(PictureFacts, ABrokenPictureIsCaughtWhateverTheReference) {
    constexpr Rect ground{0, 400, 640, 480};
    EXPECT_EQ(CheckFacts(SoundFrame(), ground, true), "");

    // Nothing drawn at all.
    std::string black = CheckFacts(Filled(640, 480, 0, 0, 0), ground, true);
    EXPECT_NE(black.find("help text: only 0 white"), std::string::npos) << black;
    EXPECT_NE(black.find("ground in rows 400..479: 0 of 51200"), std::string::npos) << black;
    EXPECT_NE(black.find("machine: only 0 cyan"), std::string::npos) << black;

    // Text missing, or the help area covered by something white.
    Image noText = SoundFrame();
    Paint(noText, kHelpArea, 0, 0, 0);
    EXPECT_NE(CheckFacts(noText, ground, true).find("help text: only 0"), std::string::npos);
    Image whiteOut = SoundFrame();
    Paint(whiteOut, kHelpArea, 255, 255, 255);
    EXPECT_NE(CheckFacts(whiteOut, ground, true).find("not text on the scene"), std::string::npos);

    // The ground quad without its texture: white, or one flat green.
    Image untextured = SoundFrame();
    Paint(untextured, Rect{0, 300, 640, 480}, 255, 255, 255);
    EXPECT_NE(CheckFacts(untextured, ground, true).find("green or brown"), std::string::npos);
    Image flat = SoundFrame();
    Paint(flat, Rect{0, 300, 640, 480}, 60, 140, 40);
    std::string flatFacts = CheckFacts(flat, ground, true);
    EXPECT_NE(flatFacts.find("flat, not textured: 1 shades"), std::string::npos) << flatFacts;

    // The machine out of the picture, or drawn in another colour; where it is not expected,
    // its absence is no fault.
    Image noMachine = SoundFrame();
    Paint(noMachine, Rect{200, 260, 440, 300}, 128, 128, 128);
    EXPECT_NE(CheckFacts(noMachine, ground, true).find("machine: only 0 cyan"), std::string::npos);
    EXPECT_EQ(CheckFacts(noMachine, ground, false), "");

    EXPECT_NE(CheckFacts(Filled(320, 240, 0, 0, 0), ground, false).find("not 640 x 480"),
              std::string::npos);
}

// ---- The tour --------------------------------------------------------------------------------

struct TourFrame {
    long tick;
    const char* what;
    Rect groundBand;
    bool machineInView;
};

// The ground band of each view: below the machine's legs where it stands in front of the
// camera, the strip between the horizon and the chassis' top in Driver View.
const TourFrame kTourFrames[] = {
    {100, "Back View, standing", Rect{0, 440, 640, 480}, true},
    {290, "Back View, walking", Rect{0, 440, 640, 480}, true},
    {430, "Driver View", Rect{0, 270, 640, 390}, false},
    {500, "Manual View after the shot", Rect{0, 440, 640, 480}, true},
};
constexpr long kTourTicks = 520;
constexpr long kTourEvery = 10;

class ReplayPictures : public replay_test::ReplayProcessTest {
  protected:
    // Plays the tour in the data folder, as the runner is meant to be run, saving every tenth
    // frame into `frames`; returns the exit code, with the runner's stderr in `err`.
    int PlayTour(const fs::path& frames, std::string& err) const {
        replay_test::RunResult run = Run({"--script", KOLTREP_SOURCE_DIR "/tools/replay/tour.txt",
                                          "--ticks", std::to_string(kTourTicks), "--frames",
                                          frames.string(), "--every", std::to_string(kTourEvery)});
        err = run.err;
        return run.exitCode;
    }
};

std::string FrameName(long tick) {
    char name[32];
    std::snprintf(name, sizeof name, "%06ld.png", tick);
    return name;
}

// Where a failed frame is kept: beside the build, where the temporary folder's removal does not
// take it. Without ".png".
std::string FailureBase(long tick) {
    std::string base = KOLTREP_BINARY_DIR "/picture-failures/tour_" + FrameName(tick);
    base.resize(base.size() - 4);
    return base;
}

// A frame's files of an earlier failed run go, so that the folder shows only this run's.
void ForgetFailure(long tick) {
    std::error_code ignored;
    fs::remove(FailureBase(tick) + ".actual.png", ignored);
    fs::remove(FailureBase(tick) + ".diff.png", ignored);
}

std::string KeepFailure(const Image& frame, const Image* difference, long tick) {
    fs::path folder = KOLTREP_BINARY_DIR "/picture-failures";
    std::error_code error;
    fs::create_directories(folder, error);
    std::string base = FailureBase(tick);
    std::string kept;
    std::string actual = base + ".actual.png";
    if (WritePngRgba(actual.c_str(), frame.width, frame.height, frame.rgba.data()))
        kept += "\n  frame as drawn: " + actual;
    if (difference && !difference->rgba.empty()) {
        std::string diff = base + ".diff.png";
        if (WritePngRgba(diff.c_str(), difference->width, difference->height,
                         difference->rgba.data()))
            kept += "\n  difference (mismatched pixels in red): " + diff;
    }
    return kept.empty() ? "\n  (could not write the failed frame under " + folder.string() + ")"
                        : kept;
}

TEST_F(ReplayPictures, TourFramesMatchTheirReferencesAndShowTheScene) {
    fs::path frames = dir_ / "frames";
    std::string err;
    ASSERT_EQ(PlayTour(frames, err), 0) << err;

    const fs::path references = KOLTREP_SOURCE_DIR "/tests/data/frames";
    for (const TourFrame& expected : kTourFrames) {
        SCOPED_TRACE("tick " + std::to_string(expected.tick) + ", " + expected.what);
        ForgetFailure(expected.tick);
        Image actual, reference;
        std::string error;
        fs::path actualPath = frames / FrameName(expected.tick);
        ASSERT_TRUE(DecodeImageFile(actualPath.c_str(), actual, error))
            << actualPath << ": " << error;
        fs::path referencePath = references / ("tour_" + FrameName(expected.tick));

        std::string facts = CheckFacts(actual, expected.groundBand, expected.machineInView);
        Image difference;
        bool haveReference = DecodeImageFile(referencePath.c_str(), reference, error);
        Comparison comparison;
        if (haveReference) comparison = CompareFrames(actual, reference, &difference);
        if (facts.empty() && haveReference && comparison.Passes()) continue;

        std::string kept =
            KeepFailure(actual, haveReference ? &difference : nullptr, expected.tick);
        EXPECT_EQ(facts, "") << "the frame does not show the scene" << kept;
        if (!haveReference) {
            ADD_FAILURE() << "no reference " << referencePath << ": " << error << kept;
        } else if (!comparison.sameSize) {
            ADD_FAILURE() << "frame " << actual.width << " x " << actual.height << ", reference "
                          << reference.width << " x " << reference.height << kept;
        } else if (!comparison.Passes()) {
            ADD_FAILURE() << comparison.mismatched << " of " << comparison.pixels
                          << " pixels differ from " << referencePath << " by more than "
                          << kChannelTolerance << "/255 in a channel (at most "
                          << kMismatchedFraction * comparison.pixels << " may); largest "
                          << "difference " << comparison.largestDifference << kept;
        }
    }
}

// The laser in the default view: a shot while the machine stands in Back View shows the red
// beams flying out ahead of it, not hidden by the body. (A beam is a short line seen nearly
// end-on, a few pixels; one frame may fall between pixels.)
TEST_F(ReplayPictures, BeamsAreSeenInBackViewAfterSpace) {
    const fs::path frames = dir_ / "frames";
    std::ofstream(Path("fire.txt")) << "100 SPACE down\n102 SPACE up\n";
    replay_test::RunResult run = Run({"--script", Path("fire.txt").string(), "--ticks", "121",
                                      "--frames", frames.string(), "--every", "2"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto red = [](const uint8_t* p) { return p[0] >= 200 && p[1] <= 60 && p[2] <= 60; };
    auto redPixels = [&](long tick) {
        Image frame;
        std::string error;
        EXPECT_TRUE(DecodeImageFile((frames / FrameName(tick)).c_str(), frame, error)) << error;
        return CountPixels(frame, Rect{0, 150, 640, 480}, red);
    };
    EXPECT_EQ(redPixels(98), 0u) << "red before the shot";
    int framesWithBeams = 0;
    for (long tick = 102; tick <= 120; tick += 2)
        if (redPixels(tick) >= 2) ++framesWithBeams;
    EXPECT_GE(framesWithBeams, 8) << "of the 10 frames after the shot";
}

} // namespace
