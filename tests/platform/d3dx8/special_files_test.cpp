// Data files that are not files: a named pipe, a device or a folder at a data file's path is
// refused at once by the image and .x readers (a pipe without a writer would block an ordinary
// open forever, and /dev/zero never ends).
#include <platform/d3dx8/image_decode.h>
#include <platform/d3dx8/xfile/xfile_reader.h>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace {

TEST(SpecialFiles, PipesDevicesAndFoldersAreRefusedWithoutBlocking) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("koltrep-special-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string pipe = (dir / "ground.png").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {pipe, std::string("/dev/zero"), dir.string()}) {
        platform::d3dx::Image image;
        std::string error;
        EXPECT_FALSE(platform::d3dx::DecodeImageFile(path.c_str(), image, error)) << path;
        EXPECT_NE(error.find("not a"), std::string::npos) << error;
        platform::xfile::MeshData mesh;
        EXPECT_FALSE(platform::xfile::ReadXFile(path.c_str(), mesh, error)) << path;
        EXPECT_NE(error.find("not a"), std::string::npos) << error;
    }
    std::filesystem::remove_all(dir);
}

} // namespace
