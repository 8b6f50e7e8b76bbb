// The default skin as shipped: its definition and the images it names.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "ui/skin_file.h"
#include "ui/skin_image_name.h"

namespace qm {
namespace {

const std::string kResources = std::string(QM_TEST_DATA_DIR) + "/../../resources/";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

SkinFile DefaultSkin() {
    SkinFile skin;
    skin.SetSkinFile("Skin.ini");
    skin.UseSkinText(ReadFile(kResources + "Skin.ini"));
    return skin;
}

bool IsNumber(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

struct ImageSize {
    int width = 0;
    int height = 0;
    bool operator==(const ImageSize& o) const { return width == o.width && height == o.height; }
};

unsigned Le(const std::string& b, std::size_t at, int bytes) {
    unsigned v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b.at(at + i));
    return v;
}

// Size from a GIF or BMP header.
ImageSize HeaderSize(const std::string& bytes) {
    if (bytes.compare(0, 3, "GIF") == 0) return {static_cast<int>(Le(bytes, 6, 2)), static_cast<int>(Le(bytes, 8, 2))};
    if (bytes.compare(0, 2, "BM") == 0) return {static_cast<int>(Le(bytes, 18, 4)), static_cast<int>(Le(bytes, 22, 4))};
    return {};
}

// The file in resources/skin for an image field (matched as the resource would be).
std::string ImageFile(const std::string& field) {
    static const char* const kFiles[] = {
        "home_on.gif", "home_click.gif", "home_hover.gif", "home_off.gif", "Mask.bmp",
        "home_unchk.gif", "home_chk.gif", "Autoscan_unchk.gif", "Autoscan_chk.gif",
        "Autoscan_disabled.gif", "Autoscan_disabled_chked.gif", "IGNORRED-ERRORS_unchk.gif",
        "IGNORRED-ERRORS_chk.gif", "IGNORRED-ERRORS_main.gif", "ADVANCED-SETTINGS_unchk.gif",
        "ADVANCED-SETTINGS_chk.gif", "result.gif", "BACKUPS_unchk.gif", "BACKUPS_chk.gif", "BACKUPS_main.gif", "SubMainNormal.gif", "SubMainChecked.gif",
        "scan_complete-normal.gif", "scan_complete-roll_over.gif", "scan_complete-pressed.gif",
        "scan_complete-disable.gif", "home_main.gif", "fix_complete-normal.gif",
        "fix_complete-roll_over.gif", "fix_complete-pressed.gif", "fix_complete-disable.gif"};
    for (const char* f : kFiles)
        if (ImageResourceName(f) == ImageResourceName(field)) return f;
    return std::string();
}

ImageSize SizeOf(const std::string& field) {
    return HeaderSize(ReadFile(kResources + "skin/" + ImageFile(field)));
}

bool Inside(const SkinRect& r, const ImageSize& s) {
    return r.left >= 0 && r.top >= 0 && r.right <= s.width && r.bottom <= s.height && r.Width() > 0 &&
           r.Height() > 0;
}

TEST(DefaultSkin, EveryNumberedSectionIsContiguous) {
    SkinFile skin = DefaultSkin();
    const auto sections = skin.Profile().GetSectionNames();
    EXPECT_EQ(sections.size(), 35u);
    for (const std::string& section : sections) {
        std::vector<std::string> keys;
        ASSERT_TRUE(skin.ReadSkinKeys(section, keys)) << section;
        if (!IsNumber(keys[0])) continue;
        EXPECT_EQ(skin.ReadNumberedSection(section).size(), keys.size()) << section;
    }
}

TEST(DefaultSkin, LastCategoryLabelIsCreated) {
    SkinFile skin = DefaultSkin();
    auto labels = skin.ReadNumberedSection("SUBMAIN_MAIN_TEXTINFO");
    ASSERT_EQ(labels.size(), 23u);
    SkinTextLine last = ParseTextLine(labels.back().value);
    EXPECT_EQ(last.name, "PROGRESS_COUNT_SHORTCUTS");
    EXPECT_EQ(last.rect, (SkinRect{290, 172, 380, 192}));
    EXPECT_EQ(ParseTextLine(labels[12].value).name, "PROGRESS_TEXT_MSDOS");
    EXPECT_EQ(ParseTextLine(labels[13].value).name, "PROGRESS_COUNT_COM");
    for (const SkinEntry& e : labels) {
        SkinTextLine t = ParseTextLine(e.value);
        EXPECT_EQ(t.face, "Arial");
        EXPECT_EQ(t.height, -10);
        EXPECT_TRUE(t.ItalicWhenFalse());
        EXPECT_EQ(t.text, "");
    }
    // No label's line of text (12 pixels of a 10-pixel font, from its top)
    // lies over another's: each area's status and count can be read whole.
    // (PROGRESS_TEXT_REGISTRY, the strip above the areas, is never filled.)
    for (std::size_t i = 0; i < labels.size(); ++i)
        for (std::size_t j = i + 1; j < labels.size(); ++j) {
            const SkinTextLine x = ParseTextLine(labels[i].value), y = ParseTextLine(labels[j].value);
            if (x.name == "PROGRESS_TEXT_REGISTRY" || y.name == "PROGRESS_TEXT_REGISTRY") continue;
            const SkinRect a = x.rect, b = y.rect;
            const bool apart = a.right <= b.left || b.right <= a.left || a.top + 12 <= b.top || b.top + 12 <= a.top;
            EXPECT_TRUE(apart) << labels[i].value << " | " << labels[j].value;
        }
}

TEST(DefaultSkin, ValuesThatDependOnExactSpelling) {
    SkinFile skin = DefaultSkin();
    EXPECT_EQ(skin.ReadSkinValue("MAINSCREENINFO", "Mask"), "Mask.bmp");
    EXPECT_EQ(skin.ReadSkinValue("MAINSCREENANIMATION", "DIMENSION"), "543,19,93,70");
    EXPECT_EQ(skin.ReadSkinValue("SCANSCREENANIMATION", "DIMENSION"), "250,32,93,70");
    SkinPanelLine advanced = ParsePanelLine(skin.ReadSkinValue("SUBMAINSCREENINFO", "4"));
    EXPECT_EQ(advanced.images[1], "ADVANCED-SETTINGS_chk.gif ");
    EXPECT_EQ(skin.ReadNumberedSection("MAINSCREENBUTTONINFO").size(), 10u);
    EXPECT_EQ(skin.ReadNumberedSection("SUBMAINSCREENINFO").size(), 7u);
    SkinTextLine edit = ParseTextLine(skin.ReadSkinValue("SUBMAIN_SCHEDULE_EDITBOXINFO", "1"));
    EXPECT_EQ(edit.name, "EDIT_SCAN_PERIOD");
    EXPECT_EQ(edit.text, "8");
    EXPECT_FALSE(edit.ItalicWhenTrue());
    SkinListLine list = ParseListLine(skin.ReadSkinValue("SUBMAIN_RESULT_LISTINFO", "1"));
    ASSERT_EQ(list.columns.size(), 7u);
    EXPECT_EQ(list.columns[1].title, "Type");
    EXPECT_EQ(list.columns[2].title, "Missing file");
}

TEST(DefaultSkin, MainScreenImagesHoldEveryButton) {
    SkinFile skin = DefaultSkin();
    const ImageSize window = SizeOf(skin.ReadSkinValue("MAINSCREENINFO", "Mask"));
    EXPECT_EQ(window, (ImageSize{708, 500}));
    for (const char* key : {"Main", "Over", "Down", "Disabled"}) {
        EXPECT_EQ(SizeOf(skin.ReadSkinValue("MAINSCREENINFO", key)), window) << key;
    }
    for (const SkinEntry& e : skin.ReadNumberedSection("MAINSCREENBUTTONINFO")) {
        EXPECT_TRUE(Inside(ParseButtonLine(e.value).rect, window)) << e.value;
    }
    std::string animation = skin.ReadSkinValue("MAINSCREENANIMATION", "DIMENSION");
    EXPECT_TRUE(Inside(ParseRect(animation), window));
    for (const SkinEntry& e : skin.ReadNumberedSection("SUBMAINSCREENINFO")) {
        EXPECT_TRUE(Inside(ParsePanelLine(e.value).rect, window)) << e.value;
    }
}

TEST(DefaultSkin, PanelAndScreenImagesFitTheirControls) {
    SkinFile skin = DefaultSkin();
    std::vector<SkinPanelLine> owners;
    for (const SkinEntry& e : skin.ReadNumberedSection("SUBMAINSCREENINFO")) owners.push_back(ParsePanelLine(e.value));
    for (const char* info : {"SCREENERRORSCANINFO", "SCREENSCANCOMPLETEINFO", "SCREENERRORFIXINGINFO",
                             "SCREENFIXCOMPLETEINFO"}) {
        owners.push_back(ParsePanelLine(skin.ReadSkinValue(info, "1")));
    }
    ASSERT_EQ(owners.size(), 11u);
    for (const SkinPanelLine& owner : owners) {
        const ImageSize size = SizeOf(owner.images[0]);
        ASSERT_GT(size.width, 0) << owner.images[0];
        for (const std::string& image : owner.images) EXPECT_EQ(SizeOf(image), size) << image;
        if (owner.name.compare(0, 8, "SUBMAIN_") == 0) {
            EXPECT_EQ(size, (ImageSize{owner.rect.Width(), owner.rect.Height()})) << owner.name;
        }
        for (const SkinEntry& e : skin.ReadNumberedSection(owner.name + "_BUTTONINFO")) {
            EXPECT_TRUE(Inside(ParseButtonLine(e.value).rect, size)) << e.value;
        }
        // Edit boxes are windows of their own and must be reachable; labels
        // may lie outside (PROGRESS_TEXT_MSDOS is placed below its panel).
        for (const SkinEntry& e : skin.ReadNumberedSection(owner.name + "_EDITBOXINFO")) {
            EXPECT_TRUE(Inside(ParseTextLine(e.value).rect, size)) << e.value;
        }
    }
}

// Every button of the default skin says in words what its images show, and
// the close and minimise targets are big enough to hit (24 x 24, apart).
TEST(DefaultSkin, EveryButtonHasItsWordingAndTheWindowButtonsAreBigTargets) {
    SkinFile skin = DefaultSkin();
    int buttons = 0;
    for (const std::string& section : skin.Profile().GetSectionNames()) {
        if (section.size() < 10 || section.compare(section.size() - 10, 10, "BUTTONINFO") != 0) continue;
        for (const SkinEntry& e : skin.ReadNumberedSection(section)) {
            const SkinButtonLine line = ParseButtonLine(e.value);
            ++buttons;
            EXPECT_FALSE(line.wording.empty()) << section << ": " << e.value;
            EXPECT_EQ(line.wording.find('_'), std::string::npos) << section << ": " << e.value;
        }
    }
    EXPECT_GT(buttons, 40);
    const SkinButtonLine exit = ParseButtonLine(skin.ReadSkinValue("MAINSCREENBUTTONINFO", "1"));
    const SkinButtonLine minimise = ParseButtonLine(skin.ReadSkinValue("MAINSCREENBUTTONINFO", "2"));
    ASSERT_EQ(exit.name, "BUTTON_EXIT");
    ASSERT_EQ(minimise.name, "BUTTON_MINIMIZE");
    EXPECT_EQ(exit.wording, "Close");
    EXPECT_EQ(minimise.wording, "Minimise");
    for (const SkinButtonLine* b : {&exit, &minimise}) {
        EXPECT_GE(b->rect.Width(), 24) << b->name;
        EXPECT_GE(b->rect.Height(), 24) << b->name;
    }
    EXPECT_TRUE(minimise.rect.right <= exit.rect.left || exit.rect.right <= minimise.rect.left ||
                minimise.rect.bottom <= exit.rect.top || exit.rect.bottom <= minimise.rect.top);
    EXPECT_EQ(ParseButtonLine(skin.ReadSkinValue("MAINSCREENBUTTONINFO", "7")).wording, "Start scan|Stop scan");
}

// Every edit box and list of the default skin has a name for a screen reader
// (neither shows one of its own).
TEST(DefaultSkin, EveryEditBoxAndListHasItsWording) {
    SkinFile skin = DefaultSkin();
    int edits = 0, lists = 0;
    auto endsWith = [](const std::string& s, const std::string& end) {
        return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
    };
    for (const std::string& section : skin.Profile().GetSectionNames()) {
        if (endsWith(section, "EDITBOXINFO")) {
            for (const SkinEntry& e : skin.ReadNumberedSection(section)) {
                ++edits;
                EXPECT_FALSE(ParseTextLine(e.value).wording.empty()) << section << ": " << e.value;
            }
        } else if (endsWith(section, "LISTINFO")) {
            ++lists;
            EXPECT_FALSE(ParseListLine(skin.ReadSkinValue(section, "1")).wording.empty()) << section;
        }
    }
    EXPECT_EQ(edits, 2);
    EXPECT_EQ(lists, 5);
    EXPECT_EQ(ParseTextLine(skin.ReadSkinValue("SUBMAIN_ADVANCED_EDITBOXINFO", "1")).wording,
              ParseTextLine(skin.ReadSkinValue("SUBMAIN_ADVANCED_TEXTINFO", "1")).text)
        << "the backup count box is named by the label beside it";
}

// The result window's animation: whole frames inside the scanning screen,
// clear of its button and its label, so none of them hides another.
TEST(DefaultSkin, ScanAnimationFitsTheScanningScreenClearOfItsControls) {
    SkinFile skin = DefaultSkin();
    std::string dimension = skin.ReadSkinValue("SCANSCREENANIMATION", "DIMENSION");
    const SkinRect movie = ParseRect(dimension);
    const ImageSize screen = SizeOf(ParsePanelLine(skin.ReadSkinValue("SCREENERRORSCANINFO", "1")).images[0]);
    EXPECT_TRUE(Inside(movie, screen)) << movie.left << "," << movie.top;
    EXPECT_GE(movie.Width(), 93);
    EXPECT_GE(movie.Height(), 70);
    std::vector<SkinRect> controls;
    for (const SkinEntry& e : skin.ReadNumberedSection("SCREENERRORSCAN_BUTTONINFO"))
        controls.push_back(ParseButtonLine(e.value).rect);
    for (const SkinEntry& e : skin.ReadNumberedSection("SCREENERRORSCAN_TEXTINFO"))
        controls.push_back(ParseTextLine(e.value).rect);
    ASSERT_EQ(controls.size(), 2u);
    for (const SkinRect& c : controls) {
        const bool apart = movie.right <= c.left || c.right <= movie.left || movie.bottom <= c.top ||
                           c.bottom <= movie.top;
        EXPECT_TRUE(apart) << c.left << "," << c.top << " " << c.Width() << "x" << c.Height();
    }
}

TEST(DefaultSkin, EveryImageIsAResourceOfTheDerivedName) {
    SkinFile skin = DefaultSkin();
    const std::string rc = ReadFile(kResources + "quillmere.rc");
    std::set<std::string> fields;
    for (const char* key : {"Main", "Mask", "Over", "Down", "Disabled"}) fields.insert(skin.ReadSkinValue("MAINSCREENINFO", key));
    for (const SkinEntry& e : skin.ReadNumberedSection("SUBMAINSCREENINFO"))
        for (const std::string& image : ParsePanelLine(e.value).images) fields.insert(image);
    for (const char* info : {"SCREENERRORSCANINFO", "SCREENSCANCOMPLETEINFO", "SCREENERRORFIXINGINFO", "SCREENFIXCOMPLETEINFO"})
        for (const std::string& image : ParsePanelLine(skin.ReadSkinValue(info, "1")).images) fields.insert(image);
    for (const std::string& field : fields) {
        const std::string file = ImageFile(field);
        ASSERT_FALSE(file.empty()) << field;
        const std::string line = ImageResourceName(field) + " GIF \"skin/" + file + "\"";
        EXPECT_NE(rc.find("\n" + line + "\n"), std::string::npos) << line;
    }
    EXPECT_NE(rc.find("\nSKININI INI \"Skin.ini\"\n"), std::string::npos);
    EXPECT_NE(rc.find("\nANIMATION GIF \"skin/animation.gif\"\n"), std::string::npos);
    EXPECT_NE(rc.find("#include \"manifest.rc\""), std::string::npos);
}

// The mask: a 24-bit BMP of pure black (window) and pure white (cut away).
TEST(DefaultSkin, MaskShapesTheWindowAroundEveryControl) {
    const std::string bmp = ReadFile(kResources + "skin/Mask.bmp");
    ASSERT_GT(bmp.size(), 54u);
    ASSERT_EQ(Le(bmp, 28, 2), 24u);
    ASSERT_EQ(Le(bmp, 30, 4), 0u);  // BI_RGB
    const int width = static_cast<int>(Le(bmp, 18, 4));
    const int height = static_cast<int>(Le(bmp, 22, 4));
    ASSERT_GT(height, 0);  // bottom-up
    const std::size_t offset = Le(bmp, 10, 4);
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    auto pixel = [&](int x, int y) { return Le(bmp, offset + (height - 1 - y) * stride + x * 3, 3); };
    std::size_t white = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned p = pixel(x, y);
            ASSERT_TRUE(p == 0 || p == 0xFFFFFF) << x << "," << y;
            white += p == 0xFFFFFF;
        }
    }
    EXPECT_GT(white, 1000u);
    EXPECT_EQ(pixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(pixel(width - 1, 0), 0xFFFFFFu);
    EXPECT_EQ(pixel(0, height - 1), 0xFFFFFFu);
    EXPECT_EQ(pixel(width - 1, height - 1), 0xFFFFFFu);

    SkinFile skin = DefaultSkin();
    std::vector<SkinRect> solid;
    for (const SkinEntry& e : skin.ReadNumberedSection("MAINSCREENBUTTONINFO")) solid.push_back(ParseButtonLine(e.value).rect);
    for (const SkinEntry& e : skin.ReadNumberedSection("SUBMAINSCREENINFO")) solid.push_back(ParsePanelLine(e.value).rect);
    std::string animation = skin.ReadSkinValue("MAINSCREENANIMATION", "DIMENSION");
    solid.push_back(ParseRect(animation));
    for (const SkinRect& r : solid)
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) ASSERT_EQ(pixel(x, y), 0u) << x << "," << y;
}

TEST(DefaultSkin, AnimationStripHoldsWholeFrames) {
    const ImageSize strip = HeaderSize(ReadFile(kResources + "skin/animation.gif"));
    EXPECT_EQ(strip.height, 70);
    EXPECT_GT(strip.width / 93, 1);
    EXPECT_EQ(strip.width % 93, 0);
}

}  // namespace
}  // namespace qm
