// Clock, module path, system information and the no-display message box of the Win32 stand-in.
#include <gtest/gtest.h>

#include <sys/utsname.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <platform/win32/clock.h>
#include <platform/win32/message_box_picture.h>
#include <platform/win32/services.h>
#include <windows.h>

#include "tests/support/platform/win32_test_support.h"

namespace {

TEST(Clock, TimeAndSleepGoThroughTheInstalledClockAndWrapAt32Bits) {
    platform::VirtualClock clock(0xFFFFFFF0u);
    platform::SetClock(&clock);
    EXPECT_EQ(timeGetTime(), 0xFFFFFFF0u);
    Sleep(0x20);
    EXPECT_EQ(timeGetTime(), 0x10u);
    EXPECT_EQ(timeGetTime() - 0xFFFFFFF0u, 0x20u); // differences survive the wrap
    EXPECT_EQ(clock.sleepCalls(), 1u);
    platform::SetClock(nullptr);
    EXPECT_NE(dynamic_cast<platform::RealClock*>(&platform::CurrentClock()), nullptr);
}

TEST(ModulePath, RealExecutableAndCutNames) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(GetModuleHandleA(nullptr), path, MAX_PATH);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
    EXPECT_EQ(path[0], '/');
    EXPECT_EQ(std::strlen(path), length);
    EXPECT_NE(std::string(path).find("test_platform_win32"), std::string::npos);

    platform::SetModulePath("/opt/koltrep/koltrep");
    char small[8];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), sizeof small); // cut: full size
    EXPECT_STREQ(small, "/opt/ko");
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, 0), 0u);
    EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
    platform::SetModulePath("");
}

TEST(SystemInfo, VersionAndMemoryAreFilledOnlyForTheRightStructure) {
    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = 100;
    EXPECT_FALSE(GetVersionExA(&version));
    EXPECT_FALSE(GetVersionExA(nullptr));
    version.dwOSVersionInfoSize = 148;
    ASSERT_TRUE(GetVersionExA(&version));
    utsname name{};
    ASSERT_EQ(uname(&name), 0);
    EXPECT_EQ(version.dwPlatformId, 2u);
    EXPECT_EQ(version.dwMajorVersion, static_cast<DWORD>(std::atoi(name.release)));

    MEMORYSTATUS memory;
    std::memset(&memory, 0, sizeof memory);
    memory.dwLength = 32;
    GlobalMemoryStatus(&memory);
    EXPECT_GT(memory.dwTotalPhys, 0u);
    EXPECT_LE(memory.dwAvailPhys, memory.dwTotalPhys);
    EXPECT_LE(memory.dwMemoryLoad, 100u);
    GlobalMemoryStatus(nullptr);

    SYSTEMTIME time;
    GetLocalTime(&time);
    EXPECT_GE(time.wYear, 2020);
    EXPECT_GE(time.wMonth, 1);
    EXPECT_LE(time.wMonth, 12);
    EXPECT_LE(time.wMinute, 59);
}

TEST(MessageBox, WithoutADisplayTheTextGoesToStderr) {
    const char* display = std::getenv("DISPLAY");
    if (display && display[0]) GTEST_SKIP() << "a display is present; a real box would appear";
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "3Dデバイスが作成できません.", "エラー", MB_SYSTEMMODAL), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "二行目\n", "", MB_OK), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK), IDOK);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "エラー: 3Dデバイスが作成できません.\n二行目\n\n");
}

TEST(MessageBox, SinkSeesOwnerTextCaptionAndType) {
    win32_test::MessageBoxes boxes;
    EXPECT_EQ(MessageBoxA(nullptr, "text", "", MB_OK), IDOK);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "text");
    EXPECT_EQ(boxes.shown[0].caption, "");
    EXPECT_EQ(boxes.shown[0].type, static_cast<UINT>(MB_OK));
}

// The message in the program's face above the button; CP932 text draws the same; hostile
// sizes stay bounded.
TEST(MessageBox, PictureDrawsTheTextReadablyAndStaysBounded) {
    auto inkAboveButton = [](const platform::MessageBoxPicture& p) {
        int dark = 0;
        for (int i = 0; i < p.button.y * p.width; ++i)
            dark += (p.argb[i] & 0xFF) < 0x80;
        return dark;
    };
    platform::MessageBoxPicture one, two, utf8, cp932, huge;
    std::string error;
    ASSERT_TRUE(platform::DrawMessageBox("このプログラムは既に起動しています.\n", one, error))
        << error;
    EXPECT_EQ(one.missingGlyphs, 0);
    EXPECT_GT(inkAboveButton(one), 300);
    ASSERT_TRUE(platform::DrawMessageBox("一行目\n二行目", two, error));
    EXPECT_GT(two.button.y, one.button.y);
    ASSERT_TRUE(platform::DrawMessageBox("エラー", utf8, error));
    ASSERT_TRUE(platform::DrawMessageBox("\x83\x47\x83\x89\x81\x5b", cp932, error));
    EXPECT_EQ(cp932.argb, utf8.argb);
    std::string flood(5000, 'W');
    for (int i = 0; i < 200; ++i)
        flood += "\nline";
    ASSERT_TRUE(platform::DrawMessageBox(flood.c_str(), huge, error));
    EXPECT_LE(huge.width, 1024);
    EXPECT_LE(huge.height, 768);
}

// Quiet unless asked for (or a debugger listens), as the debugger output is on Windows.
TEST(DebugOutput, ReachesStderrOnlyWithKoltrepDebug) {
    unsetenv("KOLTREP_DEBUG");
    if (platform::DebugOutputWanted()) GTEST_SKIP() << "a debugger is attached";
    ::testing::internal::CaptureStderr();
    OutputDebugStringA("quiet\n");
    setenv("KOLTREP_DEBUG", "0", 1);
    OutputDebugStringA("still quiet\n");
    setenv("KOLTREP_DEBUG", "1", 1);
    OutputDebugStringA("<アクティブ>\n");
    unsetenv("KOLTREP_DEBUG");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "<アクティブ>\n");
}

TEST(DebugOutput, SinkReceivesTextUnchangedAndNullIsIgnored) {
    win32_test::DebugOutput output;
    OutputDebugStringA("100% <アクティブ>\n");
    OutputDebugStringA(nullptr);
    EXPECT_EQ(output.text(), "100% <アクティブ>\n");
}

} // namespace
