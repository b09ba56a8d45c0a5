#include "fspec_fixture.h"
#include "runtime/files/fspec_disk.h"
#include "runtime/files/fspec_inet.h"

#include <cstring>
#include <vector>

namespace {

// --- the pool ----------------------------------------------------------------------------

TEST_F(FspecTest, FiftyPooledSpecsThenTheHeap)
{
    std::vector<FileSpec*> taken;
    for (int i = 0; i < kSpecPoolSize + 1; ++i)
        taken.push_back(fspec_new());
    EXPECT_EQ(fspec_pool_in_use(), kSpecPoolSize);
    // The 51st came from the heap: freeing it leaves the pool as it was.
    fspec_free(taken.back());
    taken.pop_back();
    EXPECT_EQ(fspec_pool_in_use(), kSpecPoolSize);
    // Freeing a pooled one frees exactly its entry, which the next spec takes.
    FileSpec* middle = taken[17];
    fspec_free(middle);
    EXPECT_EQ(fspec_pool_in_use(), kSpecPoolSize - 1);
    taken[17] = fspec_new();
    EXPECT_EQ(taken[17], middle);
    for (FileSpec* made : taken)
        fspec_free(made);
    EXPECT_EQ(fspec_pool_in_use(), 0);
}

TEST_F(FspecTest, ASpecBackFromThePoolIsEmptyWithBothSwitchesOn)
{
    FileSpec* first = fspec_new();
    ASSERT_EQ(fspec_set_path(first, "T:\\a\\b.txt"), 0);
    DiskFileSpec* disk = fspec_as_disk(first);
    ASSERT_NE(disk, nullptr);
    disk->network_mapping = 0;
    disk->long_names = 0;
    fspec_free(first);
    FileSpec* again = hold(fspec_new());
    ASSERT_EQ(again, first);
    EXPECT_EQ(path_of(again), "");
    EXPECT_EQ(disk->flags, 0);
    EXPECT_EQ(disk->name_length, 0);
    EXPECT_EQ(disk->network_mapping, 1);
    EXPECT_EQ(disk->long_names, 1);
}

TEST(FspecManager, WithoutAManagerSpecsComeFromTheHeap)
{
    FileSpec* made = fspec_new();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(fspec_pool_in_use(), 0);
    EXPECT_EQ(fspec_network_begin(), 8003);
    fspec_free(made);
}

// --- clone and copy by kind --------------------------------------------------------------

TEST_F(FspecTest, ClonesKeepTheirKindAndContents)
{
    FileSpec* memory = hold(fspec_new_memory());
    MemHandle data = mem_alloc_copy("bytes", 5);
    ASSERT_EQ(fspec_set_memory(memory, data, 5, 64), 0);
    mem_free(data);
    FileSpec* memory_clone = hold(fspec_clone(memory));
    ASSERT_NE(memory_clone, nullptr);
    EXPECT_EQ(fspec_is_memory(memory_clone), 1);
    MemHandle copy;
    int32_t length = 0, capacity = 0;
    ASSERT_EQ(fspec_get_memory(memory_clone, &copy, &length, &capacity), 0);
    EXPECT_EQ(length, 5);
    EXPECT_EQ(capacity, 64);
    EXPECT_EQ(std::memcmp(mem_address(copy), "bytes", 5), 0);
    mem_free(copy);

    InetFileSpec* inet = fspec_manager_new_inet();
    hold(inet);
    ASSERT_EQ(inet_spec_set_url(*inet, "http://host/dir/page.htm"), 0);
    FileSpec* inet_clone = hold(fspec_clone(inet));
    EXPECT_EQ(inet_clone->kind(), kSpecInet);
    EXPECT_EQ(path_of(inet_clone), "http://host/dir/page.htm");

    FileSpec* disk = spec("T:\\a\\b.txt");
    fspec_as_disk(disk)->long_names = 0;
    FileSpec* disk_clone = hold(fspec_clone(disk));
    EXPECT_EQ(fspec_equal(disk, disk_clone), 1);
    EXPECT_EQ(fspec_as_disk(disk_clone)->long_names, 0);

    // Contents move only between specs of one kind.
    EXPECT_EQ(fspec_copy(memory, disk), 8004);
    EXPECT_EQ(fspec_copy(disk, inet), 8004);
    EXPECT_EQ(fspec_copy(disk_clone, nullptr), 8004);
    EXPECT_EQ(fspec_copy(inet_clone, inet), 0);
}

// --- the functions' answers to null and to the wrong kind --------------------------------

TEST_F(FspecTest, NullAndMemorySpecsGetClearAnswers)
{
    char buffer[16] = "untouched";
    EXPECT_EQ(fspec_get_path(nullptr, buffer, sizeof buffer), 2);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(fspec_get_path(spec(""), buffer, sizeof buffer), 2);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(fspec_get_name(nullptr, buffer, sizeof buffer), 8004);
    EXPECT_EQ(fspec_set_name(nullptr, "x"), 8004);
    EXPECT_EQ(fspec_set_path(nullptr, "x"), 8004);
    EXPECT_EQ(fspec_check_arg(nullptr), 8004);
    EXPECT_EQ(fspec_check_arg(buffer), 0);
    EXPECT_EQ(fspec_is_valid(nullptr), 0);
    EXPECT_EQ(fspec_is_memory(nullptr), 0);
    EXPECT_EQ(fspec_disk_free(nullptr), 0);
    EXPECT_EQ(fspec_cluster_size(nullptr), 0);

    FileSpec* folder_only = spec("T:\\a\\");
    FileSpec* memory = hold(fspec_new_memory());
    EXPECT_EQ(fspec_equal(folder_only, nullptr), 0);
    EXPECT_EQ(fspec_same_folder(spec("name.txt"), nullptr), 1);
    EXPECT_EQ(fspec_same_folder(folder_only, nullptr), 0);
    EXPECT_EQ(fspec_same_folder(folder_only, memory), 0);
    EXPECT_EQ(fspec_equal(memory, memory), 0);
    EXPECT_EQ(fspec_set_path(memory, "T:\\x"), 8004);
    EXPECT_EQ(fspec_get_name(memory, buffer, sizeof buffer), 8004);
    EXPECT_EQ(fspec_is_valid(memory), 1);
    EXPECT_EQ(fspec_get_display_text(memory, buffer, sizeof buffer, 0x100), 0);
    EXPECT_STREQ(buffer, "Memory Based Fi"); // cut to the buffer
    // A length the block does not hold is refused.
    MemHandle small = mem_alloc_copy("ab", 2);
    EXPECT_EQ(fspec_set_memory(memory, small, 100, 0), 8004);
    EXPECT_EQ(fspec_set_memory(folder_only, small, 2, 0), 8004);
    mem_free(small);
}

TEST_F(FspecTest, FoldersTravelAsMovableTexts)
{
    FileSpec* source = spec("T:\\Course\\Media\\a.wav");
    MemHandle folder;
    int size = 0;
    ASSERT_EQ(fspec_get_folder_handle(source, &folder, &size), 0);
    EXPECT_EQ(size, kPathBufferSize);
    EXPECT_STREQ(static_cast<const char*>(mem_address(folder)), "T:\\Course\\Media\\");
    FileSpec* target = spec("b.wav");
    EXPECT_EQ(fspec_set_folder_handle(target, folder), 0);
    EXPECT_EQ(path_of(target), "T:\\Course\\Media\\b.wav");
    EXPECT_EQ(fspec_set_folder_handle(target, MemHandle {}), 0);
    EXPECT_EQ(path_of(target), "T:\\Course\\Media\\b.wav");
    mem_free(folder);

    FileSpec* from_folder = nullptr;
    EXPECT_EQ(fspec_from_folder("T:\\Course", &from_folder), 0);
    hold(from_folder);
    EXPECT_EQ(path_of(from_folder), "T:\\Course\\");
    EXPECT_EQ(fspec_same_folder(from_folder, spec("t:\\course\\x.v5r")), 1);
}

TEST_F(FspecTest, ExtensionCodesCarryThreeCharacters)
{
    FileSpec* made = spec("T:\\dir\\piece");
    EXPECT_EQ(fspec_extension_code("v5rx"), uint32_t('v' | '5' << 8 | 'r' << 16));
    EXPECT_EQ(fspec_set_extension_code(made, fspec_extension_code("v5r")), 0);
    EXPECT_EQ(path_of(made), "T:\\dir\\piece.v5r");
    char extension[4];
    EXPECT_EQ(fspec_get_extension(spec("T:\\a.jpeg"), extension, sizeof extension), 0);
    EXPECT_STREQ(extension, "jpe");
    EXPECT_EQ(fspec_get_extension(spec("T:\\readme"), extension, sizeof extension), 0);
    EXPECT_STREQ(extension, "");
    EXPECT_EQ(fspec_set_extension_code(made, 0), 0);
    EXPECT_EQ(path_of(made), "T:\\dir\\piece");
}

TEST_F(FspecTest, UsableSpecs)
{
    InetFileSpec* inet = fspec_manager_new_inet();
    hold(inet);
    struct Case {
        const char* name;
        const char* path; // null: the Internet spec with url
        const char* url;
        int valid;
    };
    static const Case kCases[] = {
        { "file on a mapped drive", "T:\\a\\b.txt", nullptr, 1 },
        { "relative file on the current drive", "a\\b.txt", nullptr, 1 },
        { "folder alone", "Q:\\a\\", nullptr, 1 },
        { "unmapped drive", "Q:\\a\\b.txt", nullptr, 0 },
        { "network share", "\\\\server\\share\\b.txt", nullptr, 0 },
        { "url", nullptr, "http://host/dir/page.htm", 1 },
        { "url with a blank in its name", nullptr, "http://host/dir/my page.htm", 0 },
        { "url with a blank in its folder", nullptr, "http://host/my dir/page.htm", 1 },
        { "url without name", nullptr, "http://host/dir/", 0 },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        if (c.url != nullptr) {
            ASSERT_EQ(inet_spec_set_url(*inet, c.url), 0);
            EXPECT_EQ(fspec_is_valid(inet), c.valid);
        } else {
            EXPECT_EQ(fspec_is_valid(spec(c.path)), c.valid);
        }
    }
    EXPECT_EQ(fspec_is_valid(spec(("T:\\" + std::string(255, 'n')).c_str())), 1);
    EXPECT_EQ(fspec_is_valid(spec(("T:\\" + std::string(256, 'n')).c_str())), 0);
}

// --- Internet specs ----------------------------------------------------------------------

TEST_F(FspecTest, AUrlsNameKeepsItsQuery)
{
    InetFileSpec* inet = fspec_manager_new_inet();
    hold(inet);
    ASSERT_EQ(inet_spec_set_url(*inet, "http://host/dir/page.php?a=b/c"), 0);
    char buffer[kUrlBufferSize];
    EXPECT_EQ(fspec_get_name(inet, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "page.php?a=b/c");
    EXPECT_EQ(fspec_get_folder(inet, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "http://host/dir/");
    EXPECT_EQ(fspec_get_root(inet, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "Internet");

    EXPECT_EQ(fspec_set_name(inet, "other.htm"), 0);
    EXPECT_EQ(path_of(inet), "http://host/dir/other.htm");
    EXPECT_EQ(fspec_set_folder(inet, "https://mirror/x/"), 0);
    EXPECT_EQ(path_of(inet), "https://mirror/x/other.htm");
    EXPECT_EQ(fspec_set_folder(inet, std::string(2040, 'f').c_str()), 8004);
    EXPECT_EQ(fspec_set_name(inet, std::string(2040, 'n').c_str()), 2);
    EXPECT_EQ(path_of(inet), "https://mirror/x/other.htm");

    static const struct {
        int form;
        const char* text;
    } kForms[] = {
        { kDisplayName, "other.htm" },
        { kDisplayPath, "https://mirror/x/other.htm" },
        { kDisplayRoot, "Internet" },
    };
    for (const auto& form : kForms) {
        SCOPED_TRACE(form.form);
        EXPECT_EQ(fspec_get_display_text(inet, buffer, sizeof buffer, form.form), 0);
        EXPECT_STREQ(buffer, form.text);
    }

    // Internet specs are never "equal", but their parts compare as texts.
    FileSpec* twin = hold(fspec_clone(inet));
    EXPECT_EQ(fspec_equal(inet, twin), 0);
    EXPECT_EQ(fspec_same_folder(inet, twin), 1);
    EXPECT_EQ(fspec_same_name(inet, twin), 1);
    EXPECT_EQ(inet->disk_free(nullptr, nullptr, nullptr), 2);
    EXPECT_EQ(fspec_disk_free(inet), INT32_MAX);
}

// --- full paths and the piece ------------------------------------------------------------

TEST_F(FspecTest, FullPathsResolveAgainstThePiecesFolder)
{
    make_folder("Course");
    make_folder("Other");
    ASSERT_TRUE(plat::set_current_directory("T:\\Other"));
    FileSpec* relative = spec("..\\Media\\a.wav");
    char buffer[kPathBufferSize];
    EXPECT_EQ(fspec_get_full_path(relative, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "T:\\Media\\a.wav");

    fspec_manager_set_piece(spec("T:\\Course\\Sub\\intro.v5r"));
    make_folder("Course/Sub");
    EXPECT_EQ(fspec_get_full_path(relative, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "T:\\Course\\Media\\a.wav");
    // The current folder is put back.
    EXPECT_EQ(plat::get_current_directory(), "T:\\Other");
    EXPECT_EQ(fspec_get_full_path(nullptr, buffer, sizeof buffer), 2);
    fspec_manager_set_piece(nullptr);
}

TEST_F(FspecTest, FreeSpaceIsMeasuredOnTheSpecsOwnVolume)
{
    fspec_manager_set_piece(spec("T:\\Course\\intro.v5r"));
    uint64_t bytes = 0;
    // A relative path is measured where the piece is; a missing folder on its root's volume.
    EXPECT_EQ(fspec_disk_free_ex(spec("records\\x.rec"), &bytes), 0);
    EXPECT_GT(bytes, 0u);
    EXPECT_GT(fspec_disk_free(spec("T:\\not\\yet\\made\\x.rec")), 0);
    EXPECT_GT(fspec_cluster_size(spec("T:\\x.rec")), 0);
    // Another drive is measured there: one that does not answer is unknown, not full.
    EXPECT_EQ(fspec_disk_free_ex(spec("Q:\\x.rec"), &bytes), 2);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(fspec_disk_free(spec("Q:\\x.rec")), INT32_MAX);
    EXPECT_EQ(fspec_cluster_size(spec("Q:\\x.rec")), 0);
    fspec_manager_set_piece(nullptr);
}

// --- network drives ----------------------------------------------------------------------

static int s_enumerations = 0;

static int one_share(std::vector<NetworkMapping>& out)
{
    ++s_enumerations;
    out.push_back({ "F:", "\\\\server\\share" });
    return 0;
}

TEST_F(FspecTest, MappedDrivesAreWrittenAsTheirShareAndBack)
{
    s_enumerations = 0;
    fspec_manager_set_network_source(one_share);
    FileSpec* mapped = spec("f:\\docs\\a.txt");
    EXPECT_EQ(path_of(mapped), "\\\\server\\share\\docs\\a.txt");
    spec("T:\\docs\\a.txt");
    EXPECT_EQ(s_enumerations, 1);
    // An activation makes the next conversion enumerate again, once.
    fspec_manager_mark_activated();
    spec("F:\\x\\y.txt");
    spec("F:\\x\\z.txt");
    EXPECT_EQ(s_enumerations, 2);

    char buffer[kPathBufferSize];
    EXPECT_EQ(fspec_get_short_path(mapped, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "F:\\docs\\a.txt");
    DiskFileSpec* disk = fspec_as_disk(spec("\\\\SERVER\\Share\\docs\\b.txt"));
    EXPECT_EQ(fspec_disk_to_unc(*disk), 0);
    EXPECT_EQ(path_of(disk), "F:\\docs\\b.txt");
    EXPECT_EQ(disk->network_mapping, 0);
    // A share whose name only begins the same is another share.
    DiskFileSpec* other = fspec_as_disk(spec("\\\\server\\shared\\b.txt"));
    EXPECT_EQ(fspec_disk_to_unc(*other), 0);
    EXPECT_EQ(path_of(other), "\\\\server\\shared\\b.txt");

    EXPECT_EQ(fspec_network_begin(), 0);
    const NetworkMapping* first = fspec_network_next();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->local_name, "F:");
    EXPECT_EQ(fspec_network_next(), nullptr);
    fspec_network_end();
}

TEST_F(FspecTest, WithoutNetworkDrivesPathsStayAsGiven)
{
    FileSpec* made = spec("F:\\docs\\a.txt");
    EXPECT_EQ(path_of(made), "F:\\docs\\a.txt");
    EXPECT_EQ(fspec_network_begin(), 8);
}

} // namespace
