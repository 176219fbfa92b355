// Data files and the log of an installed program: its own data first when it has any, the
// current folder first when it has none, a folder the user names before both; the log beside
// the executable, else in the user's state folder.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <platform/win32/install_folders.h>
#include <platform/win32/services.h>

#include "tests/support/platform/win32_test_support.h"

namespace {

namespace fs = std::filesystem;

void Touch(const std::string& path) {
    if (fs::path(path).has_parent_path()) fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path) << "x";
}

class InstallFoldersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous = fs::current_path();
        root = temp.path();
        platform::SetModulePath(root + "/prefix/bin/koltrep");
        fs::create_directories(root + "/cwd");
        fs::current_path(root + "/cwd");
    }
    void TearDown() override {
        fs::current_path(previous);
        platform::SetModulePath("");
        unsetenv("XDG_DATA_DIRS");
        unsetenv("XDG_STATE_HOME");
        unsetenv("KOLTREP_DATA_DIR");
        platform::SetDataFolder("");
    }

    win32_test::TempFolder temp;
    std::string root;
    fs::path previous;
};

TEST_F(InstallFoldersTest, WithoutDataOfItsOwnTheCurrentFolderComesFirstThenXdgDataDirs) {
    setenv("XDG_DATA_DIRS", ("relative/share:" + root + "/one/:" + root + "/two").c_str(), 1);
    const std::string beside = root + "/prefix/share/koltrep";
    EXPECT_EQ(platform::InstalledDataFolders(),
              (std::vector<std::string>{beside, root + "/one/koltrep", root + "/two/koltrep"}));
    EXPECT_EQ(platform::DataFolders(),
              (std::vector<std::string>{".", root + "/one/koltrep", root + "/two/koltrep"}));

    Touch("a.png");
    Touch(root + "/one/koltrep/a.png");
    Touch(root + "/one/koltrep/b.png");
    Touch(root + "/two/koltrep/b.png");
    Touch(root + "/two/koltrep/c.png");
    EXPECT_EQ(platform::FindDataFile("a.png"), "a.png");
    EXPECT_EQ(platform::FindDataFile("b.png"), root + "/one/koltrep/b.png");
    EXPECT_EQ(platform::FindDataFile("c.png"), root + "/two/koltrep/c.png");
    // Names that reach out of a data folder are not looked up there.
    Touch(root + "/one/x.png");
    EXPECT_EQ(platform::FindDataFile("../x.png"), "../x.png");
    EXPECT_EQ(platform::FindDataFile("/nowhere/c.png"), "/nowhere/c.png");

    testing::internal::CaptureStderr();
    EXPECT_EQ(platform::FindDataFile("body.x"), "body.x");
    EXPECT_EQ(platform::FindDataFile("ground.png"), "ground.png");
    std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told; // one line, once
    for (const std::string& part :
         {std::string("body.x"), root + "/cwd", root + "/two/koltrep", std::string("--data DIR")})
        EXPECT_NE(told.find(part), std::string::npos) << part << " missing from: " << told;
}

TEST_F(InstallFoldersTest, AnInstalledProgramReadsItsOwnDataBeforeTheCurrentFolder) {
    setenv("XDG_DATA_DIRS", (root + "/one").c_str(), 1);
    const std::string beside = root + "/prefix/share/koltrep";
    Touch(beside + "/body.x");
    Touch("body.x"); // a stray copy where the program happens to be started
    Touch("ground.png");
    Touch(root + "/one/koltrep/almi.png");
    EXPECT_EQ(platform::DataFolders(), (std::vector<std::string>{beside, root + "/one/koltrep"}));
    EXPECT_EQ(platform::FindDataFile("body.x"), beside + "/body.x");
    EXPECT_EQ(platform::FindDataFile("almi.png"), root + "/one/koltrep/almi.png");
    // Missing from the installed data: not taken from the current folder either.
    testing::internal::CaptureStderr();
    EXPECT_EQ(platform::FindDataFile("ground.png"), "ground.png");
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(platform::DataFoldersText(), beside + ", then " + root + "/one/koltrep");
}

TEST_F(InstallFoldersTest, DataOptionThenEnvironmentReplaceEveryOtherPlace) {
    const std::string beside = root + "/prefix/share/koltrep";
    Touch(beside + "/body.x");
    Touch(beside + "/ground.png");
    Touch(root + "/env/body.x");
    Touch(root + "/option/body.x");
    setenv("KOLTREP_DATA_DIR", (root + "/env").c_str(), 1);
    EXPECT_EQ(platform::FindDataFile("body.x"), root + "/env/body.x");
    EXPECT_EQ(platform::DataFoldersText(), root + "/env (KOLTREP_DATA_DIR)");
    platform::SetDataFolder(root + "/option");
    EXPECT_EQ(platform::DataFolders(), std::vector<std::string>{root + "/option"});
    EXPECT_EQ(platform::FindDataFile("body.x"), root + "/option/body.x");
    // A file the chosen folder lacks is not taken from elsewhere.
    testing::internal::CaptureStderr();
    EXPECT_EQ(platform::FindDataFile("ground.png"), "ground.png");
    testing::internal::GetCapturedStderr();
    platform::SetDataFolder("");
    unsetenv("KOLTREP_DATA_DIR");
    EXPECT_EQ(platform::FindDataFile("ground.png"), beside + "/ground.png");
}

TEST_F(InstallFoldersTest, WithoutXdgDataDirsTheUsualSystemFoldersAreSearched) {
    std::vector<std::string> folders = platform::InstalledDataFolders();
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[1], "/usr/local/share/koltrep");
    EXPECT_EQ(folders[2], "/usr/share/koltrep");
}

TEST_F(InstallFoldersTest, TheLogStaysWhereItCanBeWrittenElseGoesToThePrivateStateFolder) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(platform::WritableLogPath(root + "/cwd/debug.txt"), root + "/cwd/debug.txt");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    // A folder that does not exist cannot be written, even by root.
    const std::string unwritable = root + "/gone/debug.txt";
    setenv("XDG_STATE_HOME", (root + "/state/deep").c_str(), 1);
    testing::internal::CaptureStderr();
    const std::string moved = platform::WritableLogPath(unwritable);
    std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(moved, root + "/state/deep/koltrep/debug.txt");
    EXPECT_NE(told.find(moved), std::string::npos) << told;
    struct stat info {};
    ASSERT_EQ(stat((root + "/state/deep/koltrep").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    unsetenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    setenv("HOME", (root + "/home").c_str(), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(platform::WritableLogPath(unwritable), root + "/home/.local/state/koltrep/debug.txt");
    testing::internal::GetCapturedStderr();
    setenv("HOME", savedHome.c_str(), 1);
}

} // namespace
