// Shared by the display tests: a Windows folder of the test's own (its WIN.INI) and a fixed
// time zone, so dates and numbers read the same on every machine; and pieces written by the
// piece maker, opened as the current piece with the character-set map, the font map and the
// text styles up.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "runtime/display/font.h"
#include "runtime/display/fontmap.h"
#include "runtime/display/text_style.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/text/charmap.h"
#include "runtime/text/intl.h"
#include "tests/runtime/node_fixture.h"

namespace texttest {

// Sets an environment variable for the scope; the old value comes back.
class EnvScope {
public:
    EnvScope(const char* name, const std::string& value)
        : name_(name)
    {
        if (const char* old = std::getenv(name)) {
            had_ = true;
            old_ = old;
        }
        setenv(name, value.c_str(), 1);
        tzset();
    }
    ~EnvScope()
    {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
        tzset();
    }
    EnvScope(const EnvScope&) = delete;
    EnvScope& operator=(const EnvScope&) = delete;

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

// A Windows folder with the given WIN.INI text (none when empty) and TZ set.
class LocaleScope {
public:
    LocaleScope(const std::string& win_ini, const std::string& zone = "UTC0")
        : folder_(make_folder())
        , windows_("STORVEL_WINDOWS_DIR", folder_)
        , zone_("TZ", zone)
    {
        if (!win_ini.empty())
            std::ofstream(folder_ + "/WIN.INI") << win_ini;
        intl_init();
    }
    ~LocaleScope()
    {
        intl_reset();
        std::filesystem::remove_all(folder_);
    }

private:
    static std::string make_folder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "windows_XXXXXX").string();
        return mkdtemp(pattern.data()) ? pattern : std::string();
    }
    std::string folder_;
    EnvScope windows_;
    EnvScope zone_;
};

// The node store's fixture with the display modules up and a current piece in slot 1.
class PieceTextTest : public nodetest::NodeTest {
protected:
    void SetUp() override
    {
        NodeTest::SetUp();
        ASSERT_EQ(str_charmap_init(), 0);
        ASSERT_EQ(font_map_create(), 0);
        ASSERT_EQ(text_styles_init(), 1);
        ASSERT_EQ(font_init(), 1);
    }
    void TearDown() override
    {
        node_file_close_all(kPieceSlot);
        piece_current_clear();
        font_term();
        text_styles_term();
        font_map_destroy();
        str_charmap_term();
        NodeTest::TearDown();
    }

    // Writes the piece (and FONTMAP.TXT beside it when given), makes it the current piece and
    // opens it into slot 1: the node store's result.
    int open_current(const std::string& description, const std::string& fontmap_text = "")
    {
        make_file("piece.v5r", description);
        if (!fontmap_text.empty())
            std::ofstream(host("FONTMAP.TXT"), std::ios::binary) << fontmap_text;
        FileSpec* spec = disk("piece.v5r");
        EXPECT_EQ(piece_current_set_spec(spec), 0);
        piece_current_set_slot(kPieceSlot);
        font_map_reset(font_map());
        int result = open(kPieceSlot, spec, 0);
        return result != 0 ? result : node_file_open(kPieceSlot, 0);
    }
};

} // namespace texttest
