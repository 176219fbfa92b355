// Whole runs of the Application on a private X server with the real device, input and scene:
// the single-instance guard between processes, and a run ended by the close box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <platform/win32/clock.h>
#include <platform/win32/sdl_window.h>
#include <platform/win32/services.h>

#include "app/application.h"
#include "shell/debug_log.h"
#include "shell/main_window.h"
#include "sim/controls.h"
#include "sim/world.h"
#include "tests/support/platform/win32_test_support.h"

namespace {

const std::string kSeparator = "----------------------------------------\n";

std::vector<char*> UseArguments(std::vector<std::string>& values) {
    std::vector<char*> pointers;
    for (std::string& value : values)
        pointers.push_back(value.data());
    pointers.push_back(nullptr);
    SetCommandLine(static_cast<int>(values.size()), pointers.data());
    return pointers;
}

class ApplicationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The program's state is process-wide: one start per process.
        if (mainWindow != nullptr) GTEST_SKIP() << "the Application already ran in this process";
        ASSERT_TRUE(win32_test::StartPrivateXServer());
        ASSERT_FALSE(locks.path().empty());
        platform::SetLockFolder(locks.path());
        pointers = UseArguments(arguments);
    }
    void TearDown() override {
        platform::SetClock(nullptr);
        platform::SetWaitHook({});
    }

    win32_test::TempFolder locks;
    win32_test::MessageBoxes boxes;
    win32_test::DebugOutput log;
    std::vector<std::string> arguments = {"koltrep", "-win"};
    std::vector<char*> pointers;
};

TEST_F(ApplicationTest, ASecondInstanceIsTurnedAwayAndAStartAfterAKilledHolderProceeds) {
    {
        win32_test::MutexHolder first("varn mutex");
        ASSERT_EQ(first.waitResult(), WAIT_OBJECT_0);
        EXPECT_FALSE(application.Init(GetModuleHandleA(nullptr)));
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, "このプログラムは既に起動しています.\n");
        EXPECT_EQ(boxes.shown[0].caption, "");
        EXPECT_EQ(boxes.shown[0].owner, nullptr);
        EXPECT_EQ(boxes.shown[0].type, static_cast<UINT>(MB_OK));
        EXPECT_EQ(mainWindow, nullptr);
        EXPECT_EQ(log.text(), "多重起動を禁止します.\n"); // nothing after the guard
        first.Kill();                                     // dies holding it
    }
    boxes.shown.clear();
    log.Clear();

    EXPECT_TRUE(application.Init(GetModuleHandleA(nullptr)));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_NE(mainWindow, nullptr);
    std::vector<std::string> lines = log.Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "多重起動を禁止します.\n");
    EXPECT_EQ(lines[1], kSeparator);
    EXPECT_EQ(lines[2], "InitDebugStream\n");
    EXPECT_EQ(application.frameCallback, &RunFrame);

    win32_test::MutexHolder third("varn mutex");
    EXPECT_EQ(third.waitResult(), WAIT_TIMEOUT);
}

// Virtual time in which the close box is clicked during the third tick's sleep, or whenever
// the program would wait for a message.
class ClosingClock final : public platform::Clock {
  public:
    uint32_t NowMs() override { return nowMs; }
    void SleepMs(uint32_t milliseconds) override {
        nowMs += milliseconds;
        if (++sleeps == 3) platform::InjectWindowEvent(mainWindow, platform::WindowEvent::Close);
    }
    uint32_t nowMs = 100000;
    int sleeps = 0;
};

TEST_F(ApplicationTest, TheCloseBoxEndsTheRunAndTheWindowOutlivesTheSceneTeardown) {
    ClosingClock clock;
    platform::SetClock(&clock);
    platform::SetWaitHook(
        [] { platform::InjectWindowEvent(mainWindow, platform::WindowEvent::Close); });

    EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWNORMAL), 0);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(clock.sleeps, 3); // the tick that saw the close request was the last
    EXPECT_EQ(world, nullptr);  // the scene is torn down ...
    HWND window = mainWindow;
    EXPECT_NE(platform::SdlWindowFromHandle(window), nullptr); // ... the window is not
    EXPECT_EQ(log.text().find("FreeInput"), std::string::npos);

    application.Shutdown();
    EXPECT_EQ(platform::SdlWindowFromHandle(window), nullptr);
    std::string text = log.text();
    size_t freeInput = text.find(kSeparator + "FreeInput\n");
    size_t freeDirect3D = text.find(kSeparator + "FreeDirect3D\n");
    ASSERT_NE(freeInput, std::string::npos);
    ASSERT_NE(freeDirect3D, std::string::npos);
    EXPECT_LT(freeInput, freeDirect3D);
    // Released, not abandoned: the next start finds it free.
    win32_test::MutexHolder next("varn mutex");
    EXPECT_EQ(next.waitResult(), WAIT_OBJECT_0);
}

} // namespace
