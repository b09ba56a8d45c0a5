// File references: stored forms read and written field by field, resolving to the best
// representation, text forms, and damage that must answer 8004 without a crash. The hex rows
// are written by hand from the stored layout, so reader and writer cannot share a mistake.
#include "fspec_fixture.h"
#include "hex_fixture.h"
#include "runtime/pieces/fileref.h"

#include <gtest/gtest.h>

namespace {

class FileRefTest : public FspecTest {
protected:
    void SetUp() override
    {
        FspecTest::SetUp();
        pfs_fileref_install();
        ref = pfs_fileref_new();
    }
    void TearDown() override
    {
        pfs_fileref_destroy(ref);
        fspec_set_fileref_service(nullptr);
        FspecTest::TearDown();
    }
    int read(const std::string& hex)
    {
        bytes = from_hex(hex);
        return pfs_fileref_read(ref, bytes.data(), bytes.size());
    }
    std::string resolved(int* changed = nullptr)
    {
        FileSpec* spec = pfs_fileref_resolve(ref, changed);
        std::string text = spec ? std::to_string(spec->kind()) + " " + fspec_text(*spec) : "none";
        fspec_free(spec);
        return text;
    }
    FileRef* ref = nullptr;
    std::vector<uint8_t> bytes;
};

struct RefCase {
    const char* name;
    const char* hex;
    const char* text; // pfs_fileref_text: representation 1
    const char* resolves; // kind and path of the spec, or "none"
};
// "C:\a.txt" = 433a5c612e747874, "A" = 41, "http://x/y" = 687474703a2f2f782f79.
static const RefCase kRefs[] = {
    {"pair with second path", "01000000 02000000 | 00000000 | 13000000 09000000 433a5c612e74787400 02000000 4100",
        "C:\\a.txt (A)", "5 C:\\a.txt"},
    {"pair, first path only", "01000000 02000000 | 00000000 | 11000000 09000000 433a5c612e74787400 00000000",
        "C:\\a.txt", "5 C:\\a.txt"},
    {"plain path", "01000000 01000000 | 09000000 433a5c612e74787400", "", "5 C:\\a.txt"},
    {"url wins over the pair",
        "01000000 04000000 | 00000000 | 11000000 09000000 433a5c612e74787400 00000000 | 00000000 | 0b000000 687474703a2f2f782f7900",
        "C:\\a.txt", "6 http://x/y"},
    // Tag 0, has-path 1, then the path: Disk:Folder:File.
    {"mac path", "01000000 03000000 | 00000000 | 00000000 | 17000000 00000000 0001 4469736b3a466f6c6465723a46696c6500",
        "", "5 C:\\Disk\\Folder\\File"},
    {"empty", "01000000 00000000", "", "none"},
};

TEST_F(FileRefTest, StoredFormsGiveTheirTextAndResolveToTheBestRepresentation)
{
    for (const RefCase& c : kRefs) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(read(c.hex), 0);
        char text[300];
        pfs_fileref_text(ref, text, sizeof text);
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(resolved(), c.resolves);
        // Written back, the same bytes.
        std::vector<uint8_t> out;
        pfs_fileref_write(ref, out);
        EXPECT_EQ(to_hex(out), to_hex(bytes));
        EXPECT_EQ(pfs_fileref_size(ref), out.size());
    }
}

TEST_F(FileRefTest, RawRepresentationIsKeptByteForByteAndShownAsUnknown)
{
    ASSERT_EQ(read("01000000 06000000 00000000 00000000 00000000 00000000 00000000 03000000 abcdef"), 0);
    ASSERT_EQ(ref->items.size(), 6u);
    ASSERT_NE(ref->items[5], nullptr);
    EXPECT_EQ(pfs_item_text(*ref->items[5]), "Unknown");
    EXPECT_EQ(resolved(), "none");
    std::vector<uint8_t> out;
    pfs_fileref_write(ref, out);
    EXPECT_EQ(to_hex(out), to_hex(bytes));
}

TEST_F(FileRefTest, OldFormSetsTheChangedFlagForOneResolve)
{
    // Three {size, data} items: the plain path, the pair's first path as text, nothing.
    ASSERT_EQ(read("09000000 433a5c612e74787400 | 00000000 | 00000000"), 0);
    int changed = 0;
    EXPECT_EQ(resolved(&changed), "5 C:\\a.txt");
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(resolved(&changed), "5 C:\\a.txt");
    EXPECT_EQ(changed, 0);
}

struct DamageCase {
    const char* name;
    const char* hex;
};
static const DamageCase kDamaged[] = {
    {"count past the data", "01000000 ffffffff 00000000"},
    {"item size past the data", "01000000 01000000 ff000000 41"},
    {"size word cut short", "01000000 02000000 00000000 0100"},
    {"pair's first size past its item", "01000000 02000000 00000000 05000000 ff000000 41"},
    {"old form sizes that wrap", "ffffffff 41 | ffffffff | 02000000"},
    {"mac item shorter than its fields", "01000000 03000000 00000000 00000000 04000000 00000000"},
};

TEST_F(FileRefTest, DamagedFormsAnswer8004AndLeaveTheReferenceEmpty)
{
    for (const DamageCase& c : kDamaged) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(read(c.hex), 8004);
        EXPECT_TRUE(ref->items.empty());
        EXPECT_EQ(resolved(), "none");
    }
}

struct MacCase {
    const char* path;
    const char* mac; // pfs_mac_path
};
static const MacCase kMacPaths[] = {
    {"C:\\Dir\\File", "Dir:File"},
    {"\\\\server\\share\\x", "server:share:x"},
    {"rel/a.txt", "rel:a.txt"},
};

TEST_F(FileRefTest, PathsTurnIntoMacPathsAndBack)
{
    for (const MacCase& c : kMacPaths) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(pfs_mac_path(c.path), c.mac);
    }
    EXPECT_EQ(pfs_path_from_mac("Disk:Folder:File"), "C:\\Disk\\Folder\\File");
    EXPECT_EQ(pfs_path_from_mac("NoColon"), "NoColon");
}

TEST_F(FileRefTest, TheFileLayerMakesAndResolvesSpecsThroughTheReference)
{
    FileSpec* spec = nullptr;
    ASSERT_EQ(fspec_from_path("T:\\Course\\lib.v5e", &spec), 0);
    ASSERT_EQ(fspec_fileref_set(ref, spec), 0);
    FileSpec* back = nullptr;
    int changed = 1;
    ASSERT_EQ(fspec_from_fileref(ref, &back, &changed), 0);
    EXPECT_EQ(fspec_text(*back), "T:\\Course\\lib.v5e");
    EXPECT_EQ(changed, 0);
    fspec_free(back);
    fspec_free(spec);
}

} // namespace
