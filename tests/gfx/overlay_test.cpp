// Notices and the screenshot folder: what F12 and later file-writing actions tell the user,
// and where F12 writes.
#include "gfx/overlay.h"
#include "gfx/screenshot.h"

#include "gfx/device/d3d_device.h"
#include "tests/support/platform/recording_device.h"
#include "tests/support/program/scoped_device.h"
#include "tests/support/platform/scratch_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using testsupport::RecordingDevice;
using testsupport::ScopedDevice;

// A notice is up for two seconds, as documented for users: 40 frames at one a 50 ms tick.
constexpr int kTwoSecondsOfFrames = 2000 / 50;

TEST(Notice, LastsTwoSecondsOfFramesAndDrawsNothingOnceGone) {
    RecordingDevice device;
    ScopedDevice installed{&device};
    DrawNotice();
    EXPECT_TRUE(device.calls.empty()) << "no notice, no drawing";

    ShowNotice("Screenshot saved: ~/Pictures/a.png");
    for (int frame = 0; frame < kTwoSecondsOfFrames; ++frame) {
        EXPECT_EQ(CurrentNotice(), "Screenshot saved: ~/Pictures/a.png") << frame;
        DrawNotice();
    }
    EXPECT_EQ(CurrentNotice(), "");
    EXPECT_EQ(device.CallsNamed("DrawPrimitive").size(), size_t(kTwoSecondsOfFrames))
        << "its panel";
    device.ClearCalls();
    DrawNotice();
    EXPECT_TRUE(device.calls.empty());
}

TEST(Notice, ALongTextKeepsItsHeadAndTheEndOfThePath) {
    std::string path = "/" + std::string(100, 'd') + "/koltrep_2026-01-02_03-04-05.png";
    ShowNotice("Screenshot saved: " + path);
    const std::string& shown = CurrentNotice();
    EXPECT_EQ(shown.size(), size_t(kNoticeColumns));
    EXPECT_EQ(shown.rfind("Screenshot saved: ...", 0), 0u) << shown;
    EXPECT_EQ(shown.substr(shown.size() - 32), "/koltrep_2026-01-02_03-04-05.png");
    ShowNotice(std::string(200, 'x')); // no ": " to keep
    EXPECT_EQ(CurrentNotice().rfind("...x", 0), 0u);
    // Without ": ", what stands before the path is kept all the same.
    ShowNotice("Recording video to ~" + path + " (F9 stops)");
    EXPECT_EQ(CurrentNotice().size(), size_t(kNoticeColumns));
    EXPECT_EQ(CurrentNotice().rfind("Recording video to ...", 0), 0u) << CurrentNotice();
    // Japanese characters take two columns each and are never cut in the middle.
    ShowNotice("動画を保存しました: " + path);
    EXPECT_EQ(CurrentNotice().size(), 29u + 3u + (kNoticeColumns - 20 - 3)) << CurrentNotice();
    std::string wide;
    for (int i = 0; i < 60; ++i)
        wide += "録";
    ShowNotice(wide);
    EXPECT_EQ(CurrentNotice(), "..." + wide.substr(0, 38 * 3));

    setenv("HOME", "/home/ann/", 1);
    EXPECT_EQ(NoticePath("/home/ann/Pictures/a.png"), "~/Pictures/a.png");
    EXPECT_EQ(NoticePath("/home/anna/a.png"), "/home/anna/a.png");
}

TEST(ScreenshotFolder, TheUsersFolderWhetherItExistsOrNotNeverTheCurrentOne) {
    testsupport::ScratchFolder scratch;
    const std::string home = scratch.Path() + "/home";
    EXPECT_EQ(ScreenshotFolder(home.c_str(), ""), home + "/Pictures");
    EXPECT_EQ(ScreenshotFolder("", ""), "");
    EXPECT_EQ(ScreenshotFolder(nullptr, nullptr), "");
    mkdir((scratch.Path() + "/config").c_str(), 0755);
    testsupport::WriteFile(scratch.Path() + "/config/user-dirs.dirs",
                           "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    const std::string config = scratch.Path() + "/config";
    EXPECT_EQ(ScreenshotFolder(home.c_str(), config.c_str()), home + "/Bilder");

    // Made with its parents, mode 0755 under the usual umask; a file in the way is named.
    mode_t previous = umask(022);
    std::string reason;
    ASSERT_TRUE(MakeFolders(home + "/Bilder/deep", reason)) << reason;
    struct stat info {};
    ASSERT_EQ(stat((home + "/Bilder").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
    EXPECT_TRUE(MakeFolders(home + "/Bilder/deep", reason)) << "an existing folder is fine";
    testsupport::WriteFile(home + "/file", "");
    EXPECT_FALSE(MakeFolders(home + "/file/sub", reason));
    EXPECT_EQ(reason, "cannot make " + home + "/file/sub: Not a directory");
    EXPECT_FALSE(MakeFolders(home + "/file", reason));
    EXPECT_EQ(reason, home + "/file is not a folder");
    umask(previous);
}

} // namespace
