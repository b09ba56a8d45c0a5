#include "platform/text/font.h"

#include <cstring>
#include <string>
#include <vector>

#include "gdi_test_support.h"
#include "platform/kernel/codepage.h"
#include "platform/text/font_metrics.h"
#include "platform/text/text_setup.h"

namespace {

using namespace gditest;

class FontTest : public GdiTest {
protected:
    void SetUp() override
    {
        codepage_reset();
        text_setup();
        GdiTest::SetUp();
        dc = create_compatible_dc(DcHandle{});
    }
    void TearDown() override
    {
        GdiTest::TearDown();
        codepage_reset();
    }

    // Selects a new font into the DC, deleting the one made before.
    void use_font(const char* face, int32_t height, int32_t weight = FW_NORMAL, bool italic = false,
        uint8_t char_set = DEFAULT_CHARSET)
    {
        GdiObject font = create_font(height, 0, 0, 0, weight, italic, 0, 0, char_set, 0, 0, 0, 0, face);
        ASSERT_TRUE(font);
        delete_object(select_object(dc, font));
    }

    DcHandle dc;
};

struct MetricsCase {
    const char* face;
    int32_t height;
    int32_t weight;
    bool italic;
    // height, ascent, descent, internal and external leading, average and maximum width,
    // weight, overhang, pitch and family, character set
    TextMetric expected;
};

static TextMetric metrics(int32_t height, int32_t ascent, int32_t descent, int32_t internal, int32_t external,
    int32_t average, int32_t widest, int32_t weight, int32_t overhang, uint8_t pitch_and_family, uint8_t char_set)
{
    TextMetric m;
    m.height = height;
    m.ascent = ascent;
    m.descent = descent;
    m.internal_leading = internal;
    m.external_leading = external;
    m.ave_char_width = average;
    m.max_char_width = widest;
    m.weight = weight;
    m.overhang = overhang;
    m.pitch_and_family = pitch_and_family;
    m.char_set = char_set;
    return m;
}

// Measured once with the Debian fonts (Liberation 1.07.4, DejaVu 2.37, Nanum 20200506) and
// FreeType 2.12; a change here means every layout moves.
static const MetricsCase kMetricsCases[] = {
    {"Arial", -16, 400, false, metrics(17, 14, 3, 1, 1, 9, 20, 400, 0, 0x27, 0)},
    {"Arial", 13, 400, false, metrics(13, 11, 2, 1, 0, 7, 15, 400, 0, 0x27, 0)},
    {"Arial", -16, 700, false, metrics(17, 14, 3, 1, 1, 10, 20, 700, 0, 0x27, 0)},
    {"Arial", -16, 400, true, metrics(17, 14, 3, 1, 1, 9, 21, 400, 0, 0x27, 0)},
    {"Arial", -72, 400, false, metrics(80, 65, 15, 8, 2, 42, 90, 400, 0, 0x27, 0)},
    {"Arial", 0, 400, false, metrics(16, 13, 3, 2, 0, 8, 18, 400, 0, 0x27, 0)}, // the default size
    {"Helvetica", -16, 400, false, metrics(17, 14, 3, 1, 1, 9, 20, 400, 0, 0x27, 0)},
    {"Helv", 13, 400, false, metrics(13, 11, 2, 1, 0, 7, 15, 400, 0, 0x27, 0)},
    {"MS Sans Serif", -11, 400, false, metrics(12, 10, 2, 1, 0, 6, 14, 400, 0, 0x27, 0)},
    {"Times New Roman", -16, 400, false, metrics(17, 14, 3, 1, 1, 9, 19, 400, 0, 0x17, 0)},
    {"Times", 13, 400, false, metrics(13, 10, 3, 1, 1, 7, 14, 400, 0, 0x17, 0)},
    {"MS Serif", -16, 400, false, metrics(17, 14, 3, 1, 1, 9, 19, 400, 0, 0x17, 0)},
    {"Courier New", -16, 400, false, metrics(18, 13, 5, 2, 0, 10, 10, 400, 0, 0x36, 0)},
    {"Courier", 13, 400, false, metrics(13, 10, 3, 2, 0, 7, 7, 400, 0, 0x36, 0)},
    {"System", 16, 700, false, metrics(16, 13, 3, 2, 0, 9, 17, 700, 0, 0x27, 0)},
    {"System", 16, 900, false, metrics(16, 13, 3, 2, 0, 10, 18, 900, 1, 0x27, 0)}, // emboldened further
    {"Symbol", -16, 400, false, metrics(19, 15, 4, 3, 0, 8, 45, 400, 0, 0x17, 2)},
    {"Gulim", -16, 400, false, metrics(19, 15, 4, 3, 0, 7, 16, 400, 0, 0x27, 0)},
    {"Gulim", -16, 400, true, metrics(19, 15, 4, 3, 0, 7, 16, 400, 0, 0x27, 0)},
    {"Gulim", -16, 700, false, metrics(19, 15, 4, 3, 0, 7, 17, 600, 0, 0x27, 0)},
    {"Dotum", 13, 400, false, metrics(13, 10, 3, 2, 0, 5, 11, 400, 0, 0x27, 0)},
    {"Batang", -16, 400, false, metrics(19, 15, 4, 3, 0, 8, 17, 400, 0, 0x17, 0)},
    {"Gungsuh", -16, 700, false, metrics(18, 15, 3, 2, 0, 8, 17, 600, 0, 0x17, 0)},
    {"GulimChe", -16, 400, false, metrics(16, 13, 3, 0, 0, 8, 16, 400, 0, 0x36, 0)},
    {"DotumChe", 13, 400, false, metrics(13, 10, 3, 0, 0, 7, 13, 400, 0, 0x36, 0)},
    {"BatangChe", -16, 400, false, metrics(16, 13, 3, 0, 0, 8, 16, 400, 0, 0x16, 0)},
    {"GungsuhChe", -16, 400, false, metrics(16, 13, 3, 0, 0, 8, 16, 400, 0, 0x16, 0)},
    {"No Such Face", -16, 400, false, metrics(17, 14, 3, 1, 1, 9, 20, 400, 0, 0x27, 0)},
};

TEST_F(FontTest, EachFaceHasItsMetricsInWholePixels)
{
    for (const MetricsCase& c : kMetricsCases) {
        SCOPED_TRACE(std::string(c.face) + " " + std::to_string(c.height) + " " + std::to_string(c.weight)
            + (c.italic ? " italic" : ""));
        use_font(c.face, c.height, c.weight, c.italic);
        TextMetric m;
        ASSERT_TRUE(get_text_metrics(dc, m));
        TextMetric expected = c.expected;
        expected.italic = c.italic ? 0xFF : 0;
        expected.first_char = 0x1E;
        expected.last_char = 0xFF;
        expected.default_char = 0x1F;
        expected.break_char = 0x20;
        EXPECT_EQ(m, expected);
        EXPECT_EQ(m.height, m.ascent + m.descent);
        // Negative heights are the character height, positive ones the cell.
        if (c.height < 0) {
            EXPECT_EQ(m.height - m.internal_leading, -c.height);
        } else if (c.height > 0) {
            EXPECT_EQ(m.height, c.height);
        }
        EXPECT_NE(m.pitch_and_family & TMPF_TRUETYPE, 0);
    }
}

TEST_F(FontTest, OutlineMetricsCarryTheValuesDescriptionsStore)
{
    struct OutlineCase {
        const char* face;
        bool italic;
        uint32_t size;
        uint32_t em_square;
        int32_t box_bottom;
        int32_t mac_ascent;
        int32_t mac_descent;
        int32_t italic_angle;
        int32_t underscore_position;
    };
    static const OutlineCase cases[] = {
        {"Arial", false, 250, 2048, -5, 14, -3, 0, -1},
        {"Arial", true, 263, 2048, -5, 14, -3, -120, -1}, // the italic file's own angle
        {"Times New Roman", false, 280, 2048, -5, 14, -3, 0, -1},
        {"Courier New", false, 268, 2048, -5, 13, -5, 0, -3},
        {"Gulim", false, 250, 1000, -3, 15, -4, 0, -4},
        {"Gulim", true, 263, 1000, -3, 15, -4, -120, -4}, // synthesised
    };
    for (const OutlineCase& c : cases) {
        SCOPED_TRACE(std::string(c.face) + (c.italic ? " italic" : ""));
        use_font(c.face, -16, FW_NORMAL, c.italic);
        OutlineTextMetric o;
        EXPECT_EQ(get_outline_text_metrics(dc, nullptr), c.size);
        ASSERT_EQ(get_outline_text_metrics(dc, &o), c.size);
        EXPECT_EQ(o.em_square, c.em_square);
        EXPECT_EQ(o.font_box.bottom, c.box_bottom);
        EXPECT_EQ(o.mac_ascent, c.mac_ascent);
        EXPECT_EQ(o.mac_descent, c.mac_descent);
        EXPECT_EQ(o.italic_angle, c.italic_angle);
        EXPECT_EQ(o.underscore_position, c.underscore_position);
        EXPECT_EQ(o.family_name, c.face);
        TextMetric m;
        get_text_metrics(dc, m);
        EXPECT_EQ(o.text_metrics, m);
    }
}

TEST_F(FontTest, StockFontsAreThereAndNewDcsSelectTheSystemFont)
{
    struct StockCase {
        int index;
        const char* face;
        int32_t height;
        int32_t weight;
        uint8_t pitch_and_family;
        uint8_t char_set;
    };
    static const StockCase cases[] = {
        {SYSTEM_FONT, "System", 16, 700, 0x27, ANSI_CHARSET},
        {DEVICE_DEFAULT_FONT, "System", 16, 700, 0x27, ANSI_CHARSET},
        {SYSTEM_FIXED_FONT, "Fixedsys", 16, 400, 0x36, ANSI_CHARSET},
        {OEM_FIXED_FONT, "Terminal", 12, 400, 0x36, OEM_CHARSET},
        {ANSI_FIXED_FONT, "Courier", 13, 400, 0x36, ANSI_CHARSET},
        {ANSI_VAR_FONT, "MS Sans Serif", 13, 400, 0x27, ANSI_CHARSET},
        {DEFAULT_GUI_FONT, "MS Sans Serif", 12, 400, 0x27, ANSI_CHARSET},
    };
    EXPECT_EQ(get_current_object(dc, OBJ_FONT), get_stock_object(SYSTEM_FONT));
    for (const StockCase& c : cases) {
        SCOPED_TRACE(c.face);
        GdiObject stock = get_stock_object(c.index);
        ASSERT_EQ(get_object_type(stock), OBJ_FONT);
        select_object(dc, stock);
        char face[LF_FACESIZE];
        EXPECT_EQ(get_text_face(dc, face, sizeof face), int(std::strlen(c.face) + 1));
        EXPECT_STREQ(face, c.face);
        TextMetric m;
        ASSERT_TRUE(get_text_metrics(dc, m));
        EXPECT_EQ(m.height, c.height);
        EXPECT_EQ(m.weight, c.weight);
        EXPECT_EQ(m.pitch_and_family, c.pitch_and_family);
        EXPECT_EQ(m.char_set, c.char_set);
    }
    // Under the Korean code page the system font is a Hangul font.
    ASSERT_TRUE(set_active_code_page(CP_KOREAN));
    select_object(dc, get_stock_object(SYSTEM_FONT));
    TextMetric m;
    ASSERT_TRUE(get_text_metrics(dc, m));
    EXPECT_EQ(m.char_set, HANGUL_CHARSET);
    char face[LF_FACESIZE];
    get_text_face(dc, face, sizeof face);
    EXPECT_STREQ(face, "Gulim");
}

TEST_F(FontTest, LogicalFontsKeepWhatTheyWereMadeWith)
{
    LogFont wanted;
    wanted.height = -13;
    wanted.width = 7;
    wanted.escapement = 900;
    wanted.weight = FW_BOLD;
    wanted.italic = 1;
    wanted.underline = 1;
    wanted.char_set = HANGUL_CHARSET;
    wanted.quality = PROOF_QUALITY;
    wanted.pitch_and_family = FIXED_PITCH | FF_MODERN;
    std::strcpy(wanted.face_name, "Courier New");
    GdiObject font = create_font_indirect(wanted);
    ASSERT_EQ(get_object_type(font), OBJ_FONT);
    LogFont got;
    ASSERT_TRUE(get_object(font, got));
    EXPECT_EQ(std::memcmp(&got, &wanted, sizeof got), 0);

    // A face longer than a LOGFONT holds is cut; a null face is empty.
    std::string long_face(40, 'x');
    GdiObject cut = create_font(-12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, long_face.c_str());
    ASSERT_TRUE(get_object(cut, got));
    EXPECT_EQ(std::string(got.face_name), long_face.substr(0, LF_FACESIZE - 1));
    GdiObject empty = create_font(-12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
    ASSERT_TRUE(get_object(empty, got));
    EXPECT_EQ(got.face_name[0], 0);

    EXPECT_TRUE(delete_object(font));
    EXPECT_FALSE(get_object(font, got));
    EXPECT_FALSE(get_object(get_stock_object(BLACK_PEN), got));
    ASSERT_TRUE(get_object(get_stock_object(SYSTEM_FONT), got));
    EXPECT_STREQ(got.face_name, "System");
}

TEST_F(FontTest, AFaceThatIsNotHereFallsBackAndSaysSo)
{
    struct FallbackCase {
        const char* face;
        uint8_t pitch_and_family;
        const char* answered;
        bool fell_back;
    };
    static const FallbackCase cases[] = {
        {"Arial", 0, "Arial", false},
        {"No Such Face", 0, "Arial", true},
        {"No Such Face", FF_ROMAN, "Times New Roman", true},
        {"No Such Face", FIXED_PITCH, "Courier New", true},
        {"", 0, "Arial", true},
    };
    for (const FallbackCase& c : cases) {
        SCOPED_TRACE(c.face);
        GdiObject font = create_font(-16, 0, 0, 0, 0, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, c.pitch_and_family, c.face);
        FontMatchInfo info;
        ASSERT_TRUE(get_font_match_info(font, info));
        EXPECT_EQ(info.requested, c.face);
        EXPECT_EQ(info.face, c.answered);
        EXPECT_EQ(info.fell_back, c.fell_back);
        delete_object(select_object(dc, font));
        char face[LF_FACESIZE];
        get_text_face(dc, face, sizeof face);
        EXPECT_STREQ(face, c.answered);
    }
    FontMatchInfo info;
    EXPECT_FALSE(get_font_match_info(get_stock_object(WHITE_BRUSH), info));
}

TEST_F(FontTest, GetTextFaceCutsToTheBufferAndTellsTheLengthItNeeds)
{
    use_font("Times New Roman", -12);
    EXPECT_EQ(get_text_face(dc, nullptr, 0), 16);
    char small[6] = "zzzzz";
    EXPECT_EQ(get_text_face(dc, small, sizeof small), 6);
    EXPECT_STREQ(small, "Times");
    EXPECT_EQ(get_text_face(DcHandle{}, small, sizeof small), 0);
}

struct Enumerated {
    std::vector<std::string> faces;
    std::vector<LogFont> fonts;
    std::vector<TextMetric> metrics;
    int stop_after = 1000;
};

int collect(const LogFont& font, const TextMetric& metrics, uint32_t font_type, LParam lparam)
{
    Enumerated* out = reinterpret_cast<Enumerated*>(lparam);
    out->faces.push_back(font.face_name);
    out->fonts.push_back(font);
    out->metrics.push_back(metrics);
    EXPECT_EQ(font_type, uint32_t(TRUETYPE_FONTTYPE));
    return int(out->faces.size()) < out->stop_after;
}

TEST_F(FontTest, EnumeratingFacesFindsANameExactlyOnceOrNotAtAll)
{
    Enumerated all;
    EXPECT_EQ(enum_font_families(dc, nullptr, collect, LParam(&all)), 1);
    EXPECT_GT(all.faces.size(), 20u);

    Enumerated courier;
    EXPECT_EQ(enum_fonts(dc, "courier new", collect, LParam(&courier)), 1);
    ASSERT_EQ(courier.faces, std::vector<std::string>{"Courier New"});
    EXPECT_EQ(courier.fonts[0].pitch_and_family, FIXED_PITCH | FF_MODERN);
    EXPECT_EQ(courier.fonts[0].char_set, ANSI_CHARSET);
    EXPECT_EQ(courier.fonts[0].height, courier.metrics[0].height);
    EXPECT_EQ(courier.metrics[0].height, 16);

    Enumerated none;
    EXPECT_EQ(enum_fonts(dc, "No Such Face", collect, LParam(&none)), 1);
    EXPECT_TRUE(none.faces.empty());

    Enumerated stopped;
    stopped.stop_after = 3;
    EXPECT_EQ(enum_font_families(dc, "", collect, LParam(&stopped)), 0);
    EXPECT_EQ(stopped.faces.size(), 3u);
    EXPECT_EQ(enum_fonts(DcHandle{}, nullptr, collect, LParam(&stopped)), 0);
    DcHandle info = create_ic("DISPLAY");
    Enumerated on_info;
    EXPECT_EQ(enum_fonts(info, "Arial", collect, LParam(&on_info)), 1);
    EXPECT_EQ(on_info.faces.size(), 1u);
    delete_dc(info);
}

TEST_F(FontTest, AFontDeletedWhileSelectedMeasuresUntilDeselected)
{
    use_font("Courier New", -16);
    GdiObject font = get_current_object(dc, OBJ_FONT);
    EXPECT_TRUE(delete_object(font));
    TextMetric m;
    ASSERT_TRUE(get_text_metrics(dc, m));
    EXPECT_EQ(m.pitch_and_family, 0x36);
    select_object(dc, get_stock_object(SYSTEM_FONT));
    EXPECT_EQ(get_object_type(font), 0);
}

TEST_F(FontTest, AGdiResetForgetsFontsAndTheStockFontsComeBack)
{
    GdiObject font = create_font(-20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    LogFont got;
    ASSERT_TRUE(get_object(font, got));
    uint32_t epoch = font_gdi_epoch();
    dc_reset(); // drops every DC and GDI object without telling the font module
    DcHandle fresh = create_compatible_dc(DcHandle{});
    EXPECT_NE(font_gdi_epoch(), epoch);
    GdiObject other = create_font(-30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Times");
    ASSERT_TRUE(get_object(other, got));
    EXPECT_EQ(got.height, -30);
    TextMetric m;
    ASSERT_TRUE(get_text_metrics(fresh, m));
    EXPECT_EQ(m.weight, 700); // the system font
}

TEST_F(FontTest, TheSameFontIsRealizedOnceAndMeasuresTheSameEveryTime)
{
    LogFont font;
    font.height = -16;
    std::strcpy(font.face_name, "Arial");
    uint32_t first = font_realize(font);
    std::strcpy(font.face_name, "ARIAL");
    EXPECT_EQ(font_realize(font), first);
    font_metrics_reset();
    uint32_t again = font_realize(font);
    EXPECT_NE(again, first); // ids are not used twice
    EXPECT_EQ(font_realized(first), nullptr);
    ASSERT_NE(font_realized(again), nullptr);
    EXPECT_EQ(font_realized(again)->metrics.height, 17);
}

} // namespace
