// The catalogue lives from the first long-text screen to shutdown, the choice with it.
#include "typing/story_catalog.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/file.h"
#include "platform/kernel/profile.h"
#include "typing/tutor_paths.h"
#include "typing/tutor_settings.h"

#include <array>

static struct {
    std::vector<StoryEntry> entries;
    bool built = false;
    std::array<int32_t, 2> current {kNoStory, kNoStory};
} s_catalog;

static bool is_readme(const std::string& name) { return plat::lstrcmpi(name.c_str(), "readme.txt") == 0; }

void story_catalog_scan()
{
    if (s_catalog.built)
        return;
    s_catalog.built = true;
    plat::FindData found;
    plat::FindHandle search = plat::find_first_file(path_in_data_folder("*.TXT"), found);
    if (!search)
        return;
    do {
        if ((found.attributes & plat::FILE_ATTRIBUTE_DIRECTORY) || is_readme(found.name))
            continue;
        std::string bytes;
        if (!text_file_read(path_in_data_folder(found.name), bytes))
            continue;
        const uint32_t size = uint32_t(std::min<uint64_t>(found.size, kTextFileMax));
        s_catalog.entries.push_back(story_entry_from_head(found.name, bytes.substr(0, kStoryTitleBytes), size));
    } while (plat::find_next_file(search, found));
    plat::find_close(search);
}

bool story_catalog_built() { return s_catalog.built; }

void story_catalog_set(std::vector<StoryEntry> entries)
{
    s_catalog = {};
    s_catalog.entries = std::move(entries);
    s_catalog.built = true;
}

const std::vector<StoryEntry>& story_catalog() { return s_catalog.entries; }

const StoryEntry* story_entry(int32_t index)
{
    if (index < 0 || size_t(index) >= s_catalog.entries.size())
        return nullptr;
    return &s_catalog.entries[size_t(index)];
}

void story_catalog_free() { s_catalog = {}; }

std::vector<int32_t> story_indexes(int32_t language)
{
    std::vector<int32_t> out;
    for (size_t i = 0; i < s_catalog.entries.size(); ++i) {
        if (s_catalog.entries[i].language == language)
            out.push_back(int32_t(i));
    }
    return out;
}

static std::string choice_key(int32_t language) { return language == 0 ? "FileName1" : "FileName2"; }

void story_choice_read()
{
    const std::string ini = path_in_program_folder(kSettingsFileName);
    for (int32_t language : {0, 1}) {
        std::vector<int32_t> stories = story_indexes(language);
        // A language without stories has nothing to type, never another language's first one.
        int32_t chosen = stories.empty() ? kNoStory : stories.front();
        char name[261] = {};
        plat::get_private_profile_string(kStorySection, choice_key(language).c_str(), "", name, sizeof name,
            ini.c_str());
        for (int32_t index : stories) {
            if (name[0] && plat::lstrcmpi(name, s_catalog.entries[size_t(index)].file_name.c_str()) == 0) {
                chosen = index;
                break;
            }
        }
        s_catalog.current[size_t(language)] = chosen;
    }
}

void story_choice_write()
{
    const std::string ini = path_in_program_folder(kSettingsFileName);
    for (int32_t language : {0, 1}) {
        if (const StoryEntry* entry = story_entry(s_catalog.current[size_t(language)]))
            plat::write_private_profile_string(kStorySection, choice_key(language).c_str(), entry->file_name.c_str(),
                ini.c_str());
    }
}

int32_t story_current(int32_t language)
{
    return language == 0 || language == 1 ? s_catalog.current[size_t(language)] : kNoStory;
}

void story_set_current(int32_t language, int32_t index)
{
    const StoryEntry* entry = story_entry(index);
    if ((language == 0 || language == 1) && entry && entry->language == language)
        s_catalog.current[size_t(language)] = index;
}

int32_t chooser_page_count(std::span<const int32_t> stories)
{
    return std::max<int32_t>(1, int32_t((stories.size() + kChooserCells - 1) / kChooserCells));
}

int32_t chooser_cell_story(std::span<const int32_t> stories, int32_t page, int32_t cell)
{
    if (page < 0 || cell < 0 || cell >= kChooserCells)
        return kNoStory;
    const size_t at = size_t(page) * kChooserCells + size_t(cell);
    return at < stories.size() ? stories[at] : kNoStory;
}

std::string story_picture_name(char kind, const std::string& file_name)
{
    std::string base = file_name.substr(0, file_name.rfind('.'));
    return std::string(1, kind) + "_" + base + ".bmp";
}
