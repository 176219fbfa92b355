// The debug log as the program writes it: where it goes, the bytes of debug.txt, appending,
// exact option matching, and the bounds of one message.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "shell/debug_log.h"
#include "tests/support/platform/win32_test_support.h"

namespace {

const std::string kSeparator = "----------------------------------------\n";
const std::string kFileSeparator = "----------------------------------------\r\n";

// A line of /proc/meminfo in KiB; -1 when it is missing.
long MeminfoKib(const char* name) {
    std::FILE* file = std::fopen("/proc/meminfo", "r");
    if (!file) return -1;
    char key[64];
    long value = -1, kib;
    while (std::fscanf(file, "%63[^:]: %ld kB\n", key, &kib) == 2)
        if (std::strcmp(key, name) == 0) value = kib;
    std::fclose(file);
    return value;
}

class DebugLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(folder.path().empty());
        platform::SetModulePath(folder.path() + "/koltrep");
        logFile = folder.path() + "/debug.txt";
    }
    void TearDown() override {
        platform::SetModulePath("");
        UseArguments({"koltrep"});
        InitDebugStream(); // back to the debugger output
    }
    void UseArguments(std::vector<std::string> values) {
        arguments = std::move(values);
        pointers.clear();
        for (std::string& value : arguments)
            pointers.push_back(value.data());
        pointers.push_back(nullptr);
        SetCommandLine(static_cast<int>(arguments.size()), pointers.data());
    }
    std::string Log() const { return win32_test::ReadWholeFile(logFile); }

    win32_test::TempFolder folder;
    win32_test::DebugOutput output;
    std::string logFile;
    std::vector<std::string> arguments;
    std::vector<char*> pointers;
};

TEST_F(DebugLogTest, WithDbfTheOpeningLinesGoToDebugTxtBesideTheExecutableInCp932) {
    UseArguments({"koltrep", "-win", "-dbf"});
    const long availableBefore = MeminfoKib("MemAvailable");
    ASSERT_TRUE(InitDebugStream());
    EXPECT_EQ(std::string(logPath), logFile);
    EXPECT_EQ(output.text(), ""); // nothing went to the debugger output

    std::string log = Log();
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = log.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        lines.push_back(log.substr(start, end - start));
    ASSERT_EQ(lines.size(), 5u) << log;
    EXPECT_EQ(lines[0] + "\r\n", kFileSeparator);
    EXPECT_EQ(lines[1], "InitDebugStream");
    EXPECT_TRUE(std::regex_match(lines[2], std::regex("20[0-9]{2}/[01][0-9]/[0-3][0-9]  "
                                                      "[0-2][0-9]:[0-5][0-9]")))
        << lines[2];
    EXPECT_TRUE(
        std::regex_match(lines[3], std::regex("OS = ID 2 ver,[0-9]+\\.[0-9]+ build [0-9]+")))
        << lines[3];
    // "利用可能／搭載メモリ = " in Shift JIS, then available and installed mebibytes.
    const std::string memory = "\x97\x98\x97\x70\x89\xc2\x94\x5c\x81\x5e\x93\x8b\x8d\xda"
                               "\x83\x81\x83\x82\x83\x8a = ";
    ASSERT_EQ(lines[4].substr(0, memory.size()), memory);
    // The real figures of /proc/meminfo to the MB, beyond what 32 bits could hold; the
    // available figure is bracketed by reads before and after the line was written.
    long available = -1, installed = -1;
    ASSERT_EQ(std::sscanf(lines[4].c_str() + memory.size(), "%ld/%ld MB", &available, &installed),
              2)
        << lines[4];
    const long availableAfter = MeminfoKib("MemAvailable");
    EXPECT_EQ(installed, MeminfoKib("MemTotal") / 1024);
    EXPECT_GE(available, std::min(availableBefore, availableAfter) / 1024);
    EXPECT_LE(available, std::max(availableBefore, availableAfter) / 1024);
    EXPECT_EQ(log.find("\n"), log.find("\r\n") + 1); // every line end is CR LF
    for (size_t at = log.find('\n'); at != std::string::npos; at = log.find('\n', at + 1))
        EXPECT_EQ(log[at - 1], '\r');
}

TEST_F(DebugLogTest, ASecondRunAppendsStartingWithTheSeparator) {
    UseArguments({"koltrep", "-dbf"});
    InitDebugStream();
    DebugPrint("<アクティブ>\n");
    std::string first = Log();
    InitDebugStream();
    std::string both = Log();
    ASSERT_GT(both.size(), first.size());
    EXPECT_EQ(both.substr(0, first.size()), first);
    EXPECT_EQ(both.substr(first.size(), kFileSeparator.size()), kFileSeparator);
    const std::string active = "<\x83\x41\x83\x4e\x83\x65\x83\x42\x83\x75>\r\n";
    ASSERT_GE(first.size(), active.size());
    EXPECT_EQ(first.substr(first.size() - active.size()), active);
}

TEST_F(DebugLogTest, ArgumentsArePrintedUnchangedAndNeverUsedAsAFormat) {
    UseArguments({"koltrep", "-dbf"});
    InitDebugStream();
    std::string before = Log();
    DebugPrint("アダプタ名 = %s\n", "100%s %d %n card");
    DebugSeparator();
    EXPECT_EQ(Log().substr(before.size()),
              "\x83\x41\x83\x5f\x83\x76\x83\x5e\x96\xbc = 100%s %d %n card\r\n" + kFileSeparator);
}

TEST_F(DebugLogTest, WithoutDbfNoFileIsCreatedOrTouched) {
    UseArguments({"koltrep", "-win"});
    InitDebugStream();
    DebugPrint("<クライアント領域 %d x %d>\n", 640, 480);
    EXPECT_FALSE(win32_test::FileExists(logFile));
    std::vector<std::string> lines = output.Lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], kSeparator);
    EXPECT_EQ(lines[1], "InitDebugStream\n");
    EXPECT_EQ(lines[5], "<クライアント領域 640 x 480>\n"); // the debugger gets UTF-8

    // An existing file from an earlier run stays exactly as it is.
    ASSERT_EQ(symlink("/nonexistent", logFile.c_str()), 0);
    InitDebugStream();
    struct stat info {};
    EXPECT_EQ(lstat(logFile.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
}

TEST_F(DebugLogTest, OptionsMatchWholeArgumentsExactlyAnywhere) {
    UseArguments({"-dbf", "-DBF", "-dbf2", "dbf", " -dbf", "-db", "-Win", "-win "});
    EXPECT_FALSE(HasOption("-dbf")); // the program name is no option
    EXPECT_FALSE(HasOption("-win"));
    EXPECT_FALSE(HasOption("-2nd"));
    InitDebugStream();
    EXPECT_FALSE(win32_test::FileExists(logFile));

    UseArguments({"koltrep", "-2nd", "extra", "-dbf", "-win", "-dbf"});
    EXPECT_TRUE(HasOption("-dbf"));
    EXPECT_TRUE(HasOption("-win"));
    EXPECT_TRUE(HasOption("-2nd"));
    EXPECT_FALSE(HasOption("-"));
    EXPECT_FALSE(HasOption(""));
    InitDebugStream();
    EXPECT_EQ(Log().find(kFileSeparator), 0u);

    UseArguments({});
    EXPECT_FALSE(HasOption("-dbf"));
}

TEST_F(DebugLogTest, LongMessagesAreCutAtTheLineBoundWithoutHalfCharacters) {
    std::string longText(2000, 'a');
    DebugPrint("%s", longText.c_str());
    EXPECT_EQ(output.text(), std::string(1023, 'a'));

    UseArguments({"koltrep", "-dbf"});
    InitDebugStream();
    std::string before = Log();
    // 1022 bytes, then a three-byte character that only fits by its first byte.
    DebugPrint("%sあ", std::string(1022, 'b').c_str());
    DebugPrint("%s", std::string(1023, '\n').c_str());
    DebugPrint("é😀x\n");
    std::string added = Log().substr(before.size());
    std::string expected = std::string(1022, 'b');
    for (int i = 0; i < 1023; ++i)
        expected += "\r\n";
    expected += "??x\r\n"; // characters Shift JIS lacks
    EXPECT_EQ(added, expected);
}

TEST_F(DebugLogTest, ExecutableWithoutADirectoryLogsInTheCurrentDirectory) {
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(folder.path().c_str()), 0);
    platform::SetModulePath("koltrep");
    UseArguments({"koltrep", "-dbf"});
    InitDebugStream();
    EXPECT_STREQ(logPath, "debug.txt");
    EXPECT_EQ(Log().find(kFileSeparator), 0u);
    ASSERT_EQ(chdir(saved), 0);
}

TEST_F(DebugLogTest, DirectoryIsCutAfterTheLastSeparator) {
    char buffer[MAX_PATH];
    platform::SetModulePath("/a/b.c/koltrep");
    EXPECT_TRUE(GetModuleDirectory(buffer));
    EXPECT_STREQ(buffer, "/a/b.c/");
    platform::SetModulePath("/koltrep");
    EXPECT_TRUE(GetModuleDirectory(buffer));
    EXPECT_STREQ(buffer, "/");
    platform::SetModulePath("C:\\games\\koltrep.exe");
    EXPECT_TRUE(GetModuleDirectory(buffer));
    EXPECT_STREQ(buffer, "C:\\games\\");
}

TEST_F(DebugLogTest, PathsTooLongForTheBufferLogToTheDebuggerInstead) {
    std::string deep = "/" + std::string(250, 'd') + "/koltrep"; // fits; with debug.txt it does not
    platform::SetModulePath(deep);
    UseArguments({"koltrep", "-dbf"});
    InitDebugStream();
    EXPECT_STREQ(logPath, "");
    EXPECT_NE(output.text().find("InitDebugStream\n"), std::string::npos);

    output.Clear();
    platform::SetModulePath("/" + std::string(300, 'e') + "/koltrep"); // cut by the buffer
    char buffer[MAX_PATH];
    EXPECT_FALSE(GetModuleDirectory(buffer));
    EXPECT_STREQ(buffer, "");
    InitDebugStream();
    EXPECT_STREQ(logPath, "");
    EXPECT_NE(output.text().find("InitDebugStream\n"), std::string::npos);
}

TEST_F(DebugLogTest, AnUnwritableExecutableFolderLogsInTheStateFolderAndSaysSo) {
    platform::SetModulePath(folder.path() + "/missing/koltrep");
    setenv("XDG_STATE_HOME", (folder.path() + "/state").c_str(), 1);
    UseArguments({"koltrep", "-dbf"});
    ::testing::internal::CaptureStderr();
    InitDebugStream();
    std::string errors = ::testing::internal::GetCapturedStderr();
    logFile = folder.path() + "/state/koltrep/debug.txt";
    EXPECT_EQ(logPath, logFile);
    EXPECT_NE(errors.find(logFile), std::string::npos) << errors;
    EXPECT_EQ(Log().find(kFileSeparator + "InitDebugStream\r\n"), 0u);
    unsetenv("XDG_STATE_HOME");
}

TEST_F(DebugLogTest, AMessageTheFileCannotTakeGoesToStderr) {
    platform::SetModulePath(folder.path() + "/missing/koltrep");
    // Nor can the state folder be made: it would lie below a file.
    std::FILE* file = std::fopen((folder.path() + "/file").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    setenv("XDG_STATE_HOME", (folder.path() + "/file/state").c_str(), 1);
    UseArguments({"koltrep", "-dbf"});
    ::testing::internal::CaptureStderr();
    InitDebugStream();
    DebugPrint("<非アクティブ>\n");
    std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors.find(kSeparator + "InitDebugStream\n"), 0u);
    EXPECT_NE(errors.find("<非アクティブ>\n"), std::string::npos);
    EXPECT_EQ(output.text(), "");
    unsetenv("XDG_STATE_HOME");
}

} // namespace
