// F1's key list in the picture. Every row of the program's key table is drawn alone, through
// the program's own text drawing, and must then be found in the replay's picture: in the
// table's order, one row under the other at one spacing, the keys in one column and what they
// do in another, headings yellow and rows white, over a dark panel. F1 again gives back the
// design's picture, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "gfx/device/d3d_device.h"
#include "gfx/device/device_defaults.h"
#include "gfx/immediate.h"
#include "sim/key_help.h"
#include "tests/support/platform/d3d_test_support.h"
#include "tests/support/program/scoped_device.h"
#include "tests/support/tools/replay_process.h"

#include <platform/d3dx8/image_decode.h>
#include <platform/i18n/i18n.h>

using platform::d3dx::DecodeImageFile;
using platform::d3dx::Image;

namespace {

// A pixel's brightness: its strongest channel, which the white rows and the yellow headings
// both draw at full strength.
int Brightness(const uint8_t* rgba) {
    return std::max({rgba[0], rgba[1], rgba[2]});
}

// What the panel lets through of the scene under it (the panel is nearly opaque), and then a
// little for the rasteriser's rounding.
constexpr int kShowThrough = 24;

// A text's pixels as drawn alone on black, in the box of its ink with one pixel of margin all
// round, and where that box lies from the point the text is drawn at.
struct Ink {
    int width = 0, height = 0, left = 0, top = 0;
    std::vector<uint8_t> brightness;
};

struct Place {
    int x = -1, y = -1; // where the text was drawn: its box less the offset
    bool yellow = false;
};

// Whether the picture shows `ink` with its box corner at (x, y): every pixel within a little of
// the text's own brightness.
bool InkAt(const Image& picture, const Ink& ink, int x, int y, Place& place) {
    if (x + ink.width > int(picture.width) || y + ink.height > int(picture.height)) return false;
    int red = 0, blue = 0;
    for (int j = 0; j < ink.height; ++j)
        for (int i = 0; i < ink.width; ++i) {
            const uint8_t* p = &picture.rgba[(size_t(y + j) * picture.width + x + i) * 4];
            const int shown = Brightness(p), own = ink.brightness[size_t(j) * ink.width + i];
            if (shown < own - kShowThrough || shown > own + kShowThrough) return false;
            if (own >= 128) red += p[0], blue += p[2];
        }
    place = {x + ink.left, y + ink.top, blue * 2 < red};
    return true;
}

// The first place, top to bottom and left to right from box corner (x0, y0) on, where the
// picture shows `ink` and `accept` takes it; `rows` box rows at most. A text that leaves no ink
// is nowhere.
template <typename Accept>
bool FindInk(const Image& picture, const Ink& ink, int x0, int y0, int rows, Accept accept,
             Place& place) {
    if (ink.brightness.empty()) return false;
    for (int y = std::max(y0, 0); y < y0 + rows && y + ink.height <= int(picture.height); ++y)
        for (int x = std::max(x0, 0); x + ink.width <= int(picture.width); ++x)
            if (InkAt(picture, ink, x, y, place) && accept(place)) return true;
    return false;
}

class KeyHelpPicture : public replay_test::ReplayProcessTest {
  protected:
    void SetUp() override {
        // The replay and the rows drawn here must speak one language: the texts as written.
        setenv("LC_ALL", "C", 1);
        ReplayProcessTest::SetUp();
    }

    Image Shot(const std::string& script, const std::string& name) {
        std::ofstream(Path(name + ".txt")) << script;
        replay_test::RunResult result =
            Run({"--script", Path(name + ".txt"), "--ticks", "60", "--shot", Path(name + ".png")});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        Image image;
        std::string error;
        EXPECT_TRUE(DecodeImageFile(Path(name + ".png").c_str(), image, error)) << error;
        return image;
    }
};

// Draws each text alone on the device the program would draw on, as the device's start-up
// leaves it, and keeps its ink.
class InkOfTexts {
  public:
    InkOfTexts() {
        backBufferWidth = 640;
        backBufferHeight = 480;
        InitFont(16, 0xFFFFFFFF, 400);
    }
    ~InkOfTexts() { FreeFont(); }
    bool Ready() const { return screen_.device != nullptr && textFont != nullptr; }

    Ink Of(const char* text) {
        constexpr int kAt = 16;
        screen_.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        screen_.device->BeginScene();
        BeginText();
        DrawTextAt(kAt, kAt, text);
        EndText();
        screen_.device->EndScene();
        const d3d_test::Picture p = d3d_test::ReadPicture(screen_.device);
        int left = p.width, top = p.height, right = -1, bottom = -1;
        for (int y = 0; y < int(p.height); ++y)
            for (int x = 0; x < int(p.width); ++x)
                if (Brightness(&p.rgba[(size_t(y) * p.width + x) * 4]) > kShowThrough) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        Ink ink;
        if (right < 0) return ink;
        ink.width = right - left + 3;
        ink.height = bottom - top + 3;
        ink.left = kAt - (left - 1);
        ink.top = kAt - (top - 1);
        for (int y = top - 1; y <= bottom + 1; ++y)
            for (int x = left - 1; x <= right + 1; ++x)
                ink.brightness.push_back(Brightness(&p.rgba[(size_t(y) * p.width + x) * 4]));
        return ink;
    }

  private:
    d3d_test::OffscreenDevice screen_;
    testsupport::ScopedDevice installed_{screen_.device};
};

struct Row {
    Place keys, does; // keys.x < 0 for a heading
};

// The table's rows, top to bottom, as the picture shows them; stops at the first row missing.
std::vector<Row> FindRows(const Image& picture, InkOfTexts& inks, std::string& missing) {
    std::vector<Row> rows;
    const int height = int(picture.height);
    int above = -1; // the last row's line
    for (int i = 0; i < kKeyHelpRows; ++i) {
        const KeyHelpRow& entry = kKeyHelp[i];
        const Ink does = inks.Of(Translate(entry.does));
        auto below = [&](const Place& p) { return p.y > above; };
        Row row;
        bool found;
        if (*entry.keys == '\0') {
            found = FindInk(picture, does, 0, above, height, below, row.does);
        } else {
            // The keys, with what they do on their line to their right.
            const Ink keys = inks.Of(entry.keys);
            auto withDoes = [&](const Place& k) {
                auto onTheLine = [&](const Place& d) { return d.y == k.y; };
                return below(k) &&
                       FindInk(picture, does, k.x, k.y - does.top, 1, onTheLine, row.does);
            };
            found = FindInk(picture, keys, 0, above, height, withDoes, row.keys);
        }
        if (!found) {
            missing = "row " + std::to_string(i) + " \"" + entry.keys + "\" \"" +
                      Translate(entry.does) + "\"";
            return rows;
        }
        rows.push_back(row);
        above = row.does.y;
    }
    return rows;
}

// Names in a list such as "A, S, D, W and the mouse" or "A/S/D/W, mouse".
std::set<std::string> KeyNames(std::string text) {
    for (size_t at; (at = text.find(" and ")) != std::string::npos;)
        text.replace(at, 5, ",");
    std::set<std::string> names;
    std::istringstream parts(text);
    for (std::string name; std::getline(parts, name, ',');) {
        std::istringstream words(name);
        for (std::string word; std::getline(words, word, '/');) {
            word.erase(0, word.find_first_not_of(' '));
            word.erase(word.find_last_not_of(' ') + 1);
            if (word.rfind("the ", 0) == 0) word.erase(0, 4);
            if (!word.empty()) names.insert(word);
        }
    }
    return names;
}

// The keys the manual page documents: the bold names of its KEYS section.
std::set<std::string> DocumentedKeys() {
    std::ifstream page(KOLTREP_SOURCE_DIR "/docs/man/koltrep.6");
    std::set<std::string> keys;
    bool inKeys = false;
    for (std::string line; std::getline(page, line);) {
        if (line.rfind(".SH", 0) == 0) inKeys = line == ".SH KEYS";
        if (!inKeys || line.rfind(".B ", 0) != 0) continue;
        line.erase(std::remove(line.begin(), line.end(), '\\'), line.end());
        keys.merge(KeyNames(line.substr(3)));
    }
    return keys;
}

TEST(KeyHelpTable, NamesEveryKeyTheManualPageDocuments) {
    const std::set<std::string> documented = DocumentedKeys();
    ASSERT_GE(documented.size(), 20u) << "the manual page's KEYS section";
    std::set<std::string> listed;
    for (int i = 0; i < kKeyHelpRows; ++i)
        listed.merge(KeyNames(kKeyHelp[i].keys));
    for (const std::string& key : documented)
        EXPECT_EQ(listed.count(key), 1u) << key << " is documented but in no row of the list";
}

TEST_F(KeyHelpPicture, F1ShowsEveryRowOfTheTableInItsPlaceOnADarkPanelAndF1AgainTakesItAway) {
    InkOfTexts inks;
    ASSERT_TRUE(inks.Ready()) << "no GL device or font";
    Image list = Shot("40 F1 down\n41 F1 up\n", "list");
    ASSERT_EQ(list.width, 640u);
    ASSERT_EQ(list.height, 480u);

    std::string missing;
    const std::vector<Row> rows = FindRows(list, inks, missing);
    ASSERT_EQ(rows.size(), size_t(kKeyHelpRows)) << "not in the picture, in order: " << missing;
    const Row* firstKeys = nullptr;
    for (const Row& row : rows)
        if (row.keys.x >= 0) firstKeys = firstKeys ? firstKeys : &row;
    ASSERT_NE(firstKeys, nullptr);
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        const bool heading = row.keys.x < 0;
        EXPECT_EQ(row.does.yellow, heading) << "row " << i << ": headings yellow, rows white";
        EXPECT_EQ(heading ? row.does.x : row.keys.x, firstKeys->keys.x) << "row " << i;
        if (!heading) {
            EXPECT_EQ(row.does.x, firstKeys->does.x) << "row " << i;
        }
        if (i > 0) {
            EXPECT_EQ(row.does.y - rows[i - 1].does.y, rows[1].does.y - rows[0].does.y)
                << "row " << i << ": one spacing";
        }
    }

    // The panel under the rows hides the scene.
    size_t dark = 0, pixels = 0;
    for (int y = rows.front().does.y; y < rows.back().does.y; ++y)
        for (int x = 50; x < 590; ++x, ++pixels) {
            const uint8_t* p = &list.rgba[(size_t(y) * list.width + x) * 4];
            if (p[0] + p[1] + p[2] < 90) ++dark;
        }
    EXPECT_GT(dark, pixels * 3 / 4) << "the panel hides the scene";

    // Left of the keys column nothing of the design's help lines under the list shows.
    size_t besideKeys = 0;
    for (int y = 40; y < 440; ++y)
        for (int x = 0; x < 60; ++x) {
            const uint8_t* p = &list.rgba[(size_t(y) * list.width + x) * 4];
            if (p[0] + p[1] + p[2] >= 300) ++besideKeys;
        }
    EXPECT_EQ(besideKeys, 0u) << "the design's help lines show at the list's left edge";

    Image plain = Shot("", "plain");
    Image closed = Shot("30 F1 down\n31 F1 up\n40 F1 down\n41 F1 up\n", "closed");
    EXPECT_TRUE(plain.rgba == closed.rgba) << "closed, the list leaves the picture as designed";
    EXPECT_FALSE(plain.rgba == list.rgba);
}

} // namespace
