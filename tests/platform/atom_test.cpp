#include "platform/kernel/atom.h"

#include <gtest/gtest.h>
#include <string>

#include "platform/kernel/codepage.h"
#include "platform/kernel/error.h"

using namespace plat;

namespace {

class AtomTest : public testing::Test {
protected:
    void SetUp() override { atom_reset(); }
    void TearDown() override
    {
        atom_reset();
        set_active_code_page(CP_WESTERN);
    }

    static std::string name_of(Atom atom, uint32_t size = 300)
    {
        std::string buffer(size, 'x');
        uint32_t length = global_get_atom_name(atom, buffer.data(), size);
        EXPECT_EQ(buffer[length], '\0');
        return buffer.substr(0, length);
    }
};

TEST_F(AtomTest, NamesMatchRegardlessOfCase)
{
    static const struct {
        const char* added;
        const char* looked_up;
    } kSpellings[] = {
        {"SvrunTarget", "SVRUNTARGET"},
        {"c:\\course\\intro.v5r", "C:\\COURSE\\INTRO.V5R"},
        {"Caf\xE9", "CAF\xC9"}, // letters of the Western code page fold too
    };
    for (const auto& s : kSpellings) {
        SCOPED_TRACE(s.added);
        Atom atom = global_add_atom(s.added);
        EXPECT_GE(atom, kAtomFirstString);
        EXPECT_EQ(global_find_atom(s.looked_up), atom);
        EXPECT_EQ(global_add_atom(s.looked_up), atom);
        EXPECT_EQ(name_of(atom), s.added); // the first spelling is kept
    }
    EXPECT_EQ(global_find_atom("unknown"), 0);
    EXPECT_EQ(get_last_error(), ERROR_FILE_NOT_FOUND);
}

TEST_F(AtomTest, ReferenceCountsDecideWhenTheAtomGoes)
{
    Atom atom = global_add_atom("Shared");
    EXPECT_EQ(global_add_atom("shared"), atom);
    EXPECT_EQ(global_find_atom("SHARED"), atom); // finding adds no reference

    EXPECT_EQ(global_delete_atom(atom), 0);
    EXPECT_EQ(global_find_atom("Shared"), atom);
    EXPECT_EQ(global_delete_atom(atom), 0);
    EXPECT_EQ(global_find_atom("Shared"), 0);

    EXPECT_EQ(global_delete_atom(atom), atom);
    EXPECT_EQ(get_last_error(), ERROR_INVALID_HANDLE);
    char buffer[16];
    EXPECT_EQ(global_get_atom_name(atom, buffer, sizeof buffer), 0u);

    Atom next = global_add_atom("Other");
    EXPECT_NE(next, atom); // a freed value is not handed out again at once
}

struct IntegerCase {
    const char* name;
    Atom expected; // 0: refused with error 87
};

static const IntegerCase kIntegerCases[] = {
    {"#1", 1},
    {"#123", 123},
    {"#0123", 123},
    {"#49151", 0xBFFF},
    {"#0", 0},
    {"#49152", 0},               // would collide with string atoms
    {"#99999999999999999999", 0}, // must not wrap into range
};

TEST_F(AtomTest, HashNumbersAreIntegerAtoms)
{
    for (const IntegerCase& c : kIntegerCases) {
        SCOPED_TRACE(c.name);
        set_last_error(0);
        EXPECT_EQ(global_add_atom(c.name), c.expected);
        EXPECT_EQ(global_find_atom(c.name), c.expected);
        if (c.expected == 0) {
            EXPECT_EQ(get_last_error(), ERROR_INVALID_PARAMETER);
        }
    }
    EXPECT_EQ(name_of(123), "#123");
    EXPECT_EQ(global_delete_atom(123), 0);

    Atom text = global_add_atom("#12a"); // not all digits: an ordinary name
    EXPECT_GE(text, kAtomFirstString);
    EXPECT_EQ(name_of(text), "#12a");
}

TEST_F(AtomTest, NameLengthLimits)
{
    std::string path(kAtomMaxName, 'p');
    Atom atom = global_add_atom(path);
    ASSERT_NE(atom, 0);
    EXPECT_EQ(name_of(atom), path);
    EXPECT_EQ(global_add_atom(path + "p"), 0);
    EXPECT_EQ(get_last_error(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(global_add_atom(""), 0);
    EXPECT_EQ(global_add_atom(std::string_view("Cut\0here", 8)), global_add_atom("cut"));
}

TEST_F(AtomTest, NamesAreCutToTheBuffer)
{
    Atom atom = global_add_atom("Session");
    EXPECT_EQ(name_of(atom, 4), "Ses");
    EXPECT_EQ(name_of(atom, 1), "");
    char none[1];
    EXPECT_EQ(global_get_atom_name(atom, none, 0), 0u);
    EXPECT_EQ(get_last_error(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(name_of(123, 3), "#1");

    ASSERT_TRUE(set_active_code_page(CP_KOREAN));
    Atom korean = global_add_atom("\xB0\xA1\xB3\xAA"); // two double-byte characters
    EXPECT_EQ(name_of(korean, 4), "\xB0\xA1");      // never half a character
    EXPECT_EQ(name_of(korean, 5), "\xB0\xA1\xB3\xAA");
}

TEST_F(AtomTest, TableFullIsAnError)
{
    for (uint32_t i = 0; i < 0x4000; i++)
        ASSERT_NE(global_add_atom("a" + std::to_string(i)), 0);
    EXPECT_EQ(global_add_atom("one more"), 0);
    EXPECT_EQ(get_last_error(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(global_delete_atom(global_find_atom("a77")), 0);
    EXPECT_NE(global_add_atom("one more"), 0);
}

} // namespace
