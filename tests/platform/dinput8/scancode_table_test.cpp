// The scancode table against the key codes the header declares: read from the header itself,
// so a code added there without a table entry (or a typo in either) is caught.
#include <platform/dinput8/scancode_table.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

std::map<std::string, int> DeclaredKeyCodes() {
    std::ifstream header(KOLTREP_SOURCE_DIR "/platform/dinput8/dinput.h");
    std::stringstream text;
    text << header.rdbuf();
    std::map<std::string, int> codes;
    std::regex define(R"(#define\s+(DIK_\w+)\s+(0x[0-9A-Fa-f]+))");
    std::string all = text.str();
    for (std::sregex_iterator it(all.begin(), all.end(), define), end; it != end; ++it)
        codes[(*it)[1]] = std::stoi((*it)[2], nullptr, 16);
    return codes;
}

// Codes of keys that no SDL scancode stands for (see the table's opening comment).
const std::set<std::string> kWithoutScancode = {
    "DIK_ABNT_C2", "DIK_AT", "DIK_COLON", "DIK_UNDERLINE", "DIK_AX", "DIK_UNLABELED", "DIK_WAKE"};

TEST(ScancodeTable, EveryDeclaredKeyWithAScancodeIsMappedExactlyOnce) {
    std::map<std::string, int> declared = DeclaredKeyCodes();
    ASSERT_GT(declared.size(), 140u) << "could not read the key codes from dinput.h";

    std::map<int, int> timesMapped;
    std::set<int> scancodes;
    for (const platform::dinput::ScancodeMapping& mapping : platform::dinput::ScancodeTable()) {
        ++timesMapped[mapping.dik];
        EXPECT_TRUE(scancodes.insert(mapping.scancode).second)
            << "scancode " << SDL_GetScancodeName(mapping.scancode) << " mapped twice";
    }
    for (const auto& [name, code] : declared) {
        int expected = kWithoutScancode.count(name) ? 0 : 1;
        EXPECT_EQ(timesMapped[code], expected) << name;
    }
    // Nothing maps to a code the header does not declare.
    std::set<int> declaredCodes;
    for (const auto& entry : declared)
        declaredCodes.insert(entry.second);
    for (const auto& [code, times] : timesMapped)
        EXPECT_TRUE(declaredCodes.count(code)) << "undeclared code " << code;
}

TEST(ScancodeTable, LettersDigitsArrowsAndControlKeysMapToTheirCodes) {
    std::map<std::string, int> declared = DeclaredKeyCodes();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        auto scancode = SDL_Scancode(SDL_SCANCODE_A + (letter - 'A'));
        EXPECT_EQ(platform::dinput::DikFromScancode(scancode),
                  declared[std::string("DIK_") + letter])
            << letter;
    }
    EXPECT_EQ(platform::dinput::DikFromScancode(SDL_SCANCODE_1), DIK_1);
    EXPECT_EQ(platform::dinput::DikFromScancode(SDL_SCANCODE_0), DIK_0);
    EXPECT_EQ(platform::dinput::DikFromScancode(SDL_SCANCODE_UP), DIK_UP);
    EXPECT_EQ(platform::dinput::DikFromScancode(SDL_SCANCODE_DOWN), DIK_DOWN);
    EXPECT_EQ(platform::dinput::DikFromScancode(SDL_SCANCODE_LEFT), DIK_LEFT);
    EXPECT_EQ(platform::dinput::DikFromScancode(SDL_SCANCODE_RIGHT), DIK_RIGHT);
    EXPECT_EQ(platform::dinput::DikFromScancode(SDL_SCANCODE_TAB), DIK_TAB);
    EXPECT_EQ(platform::dinput::DikFromScancode(SDL_SCANCODE_SPACE), DIK_SPACE);
    EXPECT_EQ(platform::dinput::DikFromScancode(SDL_SCANCODE_ESCAPE), DIK_ESCAPE);
    EXPECT_EQ(platform::dinput::DikFromScancode(SDL_SCANCODE_RETURN), DIK_RETURN);
    EXPECT_EQ(platform::dinput::DikFromScancode(SDL_SCANCODE_KP_ENTER), DIK_NUMPADENTER);
    EXPECT_EQ(platform::dinput::DikFromScancode(SDL_SCANCODE_RCTRL), DIK_RCONTROL);
}

TEST(ScancodeTable, UnknownAndOutOfRangeScancodesHaveNoCode) {
    EXPECT_EQ(platform::dinput::DikFromScancode(SDL_SCANCODE_UNKNOWN), 0);
    EXPECT_EQ(platform::dinput::DikFromScancode(-1), 0);
    EXPECT_EQ(platform::dinput::DikFromScancode(SDL_NUM_SCANCODES), 0);
    EXPECT_EQ(platform::dinput::DikFromScancode(100000), 0);
}

} // namespace
