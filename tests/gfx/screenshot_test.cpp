// Where F12 puts its pictures, with settings files written the way users have them.
#include "gfx/screenshot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class ScreenshotFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "koltrep-shot-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        home = pattern;
        fs::create_directories(home / ".config");
    }
    void TearDown() override { fs::remove_all(home); }
    void Settings(const fs::path& folder, const std::string& text) {
        std::ofstream(folder / "user-dirs.dirs") << text;
    }
    std::string Folder(const char* configHome = nullptr) {
        return ScreenshotFolder(home.c_str(), configHome);
    }
    fs::path home;
};

TEST_F(ScreenshotFolderTest, SettingsFileThenPicturesThenCurrentFolder) {
    EXPECT_EQ(Folder(), ".");
    fs::create_directory(home / "Pictures");
    EXPECT_EQ(Folder(), (home / "Pictures").string());
    // Configured but missing: the fallback stands.
    Settings(home / ".config", "# comment\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    EXPECT_EQ(Folder(), (home / "Pictures").string());
    fs::create_directory(home / "Bilder");
    EXPECT_EQ(Folder(), (home / "Bilder").string());
    // XDG_CONFIG_HOME wins over ~/.config; absolute values are taken as they are.
    fs::create_directories(home / "cfg");
    Settings(home / "cfg", "XDG_PICTURES_DIR=\"" + home.string() + "/Pictures\"\n");
    EXPECT_EQ(Folder((home / "cfg").c_str()), (home / "Pictures").string());
}

TEST_F(ScreenshotFolderTest, OtherFormsAndBrokenLinesAreIgnored) {
    fs::create_directory(home / "x");
    Settings(home / ".config", "XDG_PICTURES_DIR=\"relative/x\"\nXDG_PICTURES_DIR=\"$HOME/x\n"
                               "XDG_PICTURES_DIR=$HOME/x\n" +
                                   std::string(10000, 'A') + "\n");
    EXPECT_EQ(Folder(), ".");
    EXPECT_EQ(ScreenshotFolder(nullptr, nullptr), ".");
}

} // namespace
