// The single-instance mutex across real processes: held, refused, released, abandoned by a
// killed holder; and what its lock file must never do.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <platform/win32/clock.h>
#include <windows.h>

#include "tests/support/platform/win32_test_support.h"

namespace {

using Holder = win32_test::MutexHolder;

class MutexTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(folder.path().empty());
        platform::SetLockFolder(folder.path());
        // The private fallback folder goes under the test's own folder too.
        const char* temp = std::getenv("TMPDIR");
        savedTemp = temp ? std::optional<std::string>(temp) : std::nullopt;
        setenv("TMPDIR", folder.path().c_str(), 1);
    }
    void TearDown() override {
        platform::SetLockFolder("");
        if (savedTemp)
            setenv("TMPDIR", savedTemp->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    std::string PrivateFolder() const {
        return folder.path() + "/koltrep-" + std::to_string(geteuid());
    }
    win32_test::TempFolder folder;
    std::optional<std::string> savedTemp;
};

TEST_F(MutexTest, SecondProcessIsRefusedUntilTheHolderReleases) {
    Holder holder("guard a");
    ASSERT_EQ(holder.waitResult(), WAIT_OBJECT_0);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "guard a");
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(mutex, 30), WAIT_TIMEOUT);
    EXPECT_FALSE(ReleaseMutex(mutex)); // not ours

    holder.ReleaseAndExit();
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0); // a clean release is no abandonment
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
}

TEST_F(MutexTest, HolderKilledLeavesItAbandonedOnce) {
    Holder holder("guard b");
    ASSERT_EQ(holder.waitResult(), WAIT_OBJECT_0);
    holder.Kill();

    HANDLE mutex = CreateMutexA(nullptr, FALSE, "guard b");
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
}

TEST_F(MutexTest, ClosingTheLastHandleWhileOwningAbandonsIt) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "guard c");
    ASSERT_NE(mutex, nullptr);
    EXPECT_TRUE(CloseHandle(mutex));
    Holder holder("guard c");
    EXPECT_EQ(holder.waitResult(), WAIT_ABANDONED);
}

TEST_F(MutexTest, OwnerWaitsAgainThroughAnyHandleAndReleasesAsOften) {
    HANDLE first = CreateMutexA(nullptr, FALSE, "guard d");
    HANDLE second = CreateMutexA(nullptr, FALSE, "guard d");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(second));
    {
        Holder stillHeld("guard d");
        EXPECT_EQ(stillHeld.waitResult(), WAIT_TIMEOUT);
    }
    EXPECT_TRUE(ReleaseMutex(first));
    EXPECT_FALSE(ReleaseMutex(first));
    Holder nowFree("guard d");
    EXPECT_EQ(nowFree.waitResult(), WAIT_OBJECT_0);
    CloseHandle(first);
    CloseHandle(second);
}

TEST_F(MutexTest, ForeignAndStaleHandlesAreRefused) {
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_FALSE(ReleaseMutex(nullptr));
    EXPECT_FALSE(CloseHandle(nullptr));
    int notAHandle = 0;
    EXPECT_EQ(WaitForSingleObject(&notAHandle, 0), WAIT_FAILED);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "guard e");
    ASSERT_TRUE(CloseHandle(mutex));
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_FAILED);
    EXPECT_FALSE(CloseHandle(mutex));
}

TEST_F(MutexTest, LockFileIsNeitherFollowedThroughALinkNorTakenFromAnotherKind) {
    std::string target = folder.path() + "/target";
    std::string link = platform::LockFilePath("guard f");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(mkdir(platform::LockFilePath("guard g").c_str(), 0700), 0);
    ASSERT_EQ(mkfifo(platform::LockFilePath("guard h").c_str(), 0600), 0);
    // Each moves to the private folder, where the lock still keeps a second process out.
    for (const char* name : {"guard f", "guard g", "guard h"}) {
        HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
        ASSERT_NE(mutex, nullptr) << name;
        EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0) << name;
        Holder other(name);
        EXPECT_EQ(other.waitResult(), WAIT_TIMEOUT) << name;
        CloseHandle(mutex);
    }
    EXPECT_FALSE(win32_test::FileExists(target));
    struct stat info {};
    ASSERT_EQ(lstat(PrivateFolder().c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(win32_test::FileExists(PrivateFolder() + "/koltrep-guard_h.lock"));
}

TEST_F(MutexTest, WithoutAnyUsableLockFileTheProgramRunsUnguarded) {
    platform::SetLockFolder(folder.path() + "/missing");
    ASSERT_EQ(mkdir(PrivateFolder().c_str(), 0755), 0); // open to others: refused
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "guard i");
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
    EXPECT_FALSE(win32_test::FileExists(PrivateFolder() + "/koltrep-guard_i.lock"));
    // Whatever the caller makes of a null handle, waiting on it can never mean ownership.
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
}

TEST(MutexLocation, PerUserFolderAndSafeFileName) {
    platform::SetLockFolder("");
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    std::string savedValue = saved ? saved : "";
    setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(platform::LockFilePath("varn mutex"), "/run/user/4242/koltrep-varn_mutex.lock");
    EXPECT_EQ(platform::LockFilePath("../x/y"), "/run/user/4242/koltrep-.._x_y.lock");
    unsetenv("XDG_RUNTIME_DIR");
    std::string inTemp = platform::LockFilePath("varn mutex");
    EXPECT_NE(inTemp.find("koltrep-" + std::to_string(geteuid()) + "-varn_mutex.lock"),
              std::string::npos);
    if (saved) setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
}

} // namespace
