#include "typing/tutor_paths.h"

#include "platform/kernel/path.h"

static std::string s_folder; // empty: the program's own, found on first use

void tutor_folder_set(std::string_view folder)
{
    s_folder.assign(folder);
    if (s_folder.empty() || (s_folder.back() != '\\' && s_folder.back() != '/'))
        s_folder += '\\';
}

const std::string& tutor_folder()
{
    if (s_folder.empty())
        tutor_folder_set(plat::get_program_folder());
    return s_folder;
}

std::string path_in_program_folder(std::string_view name) { return tutor_folder() + std::string(name); }

std::string path_in_data_folder(std::string_view name)
{
    return tutor_folder() + "data\\" + std::string(name);
}

void tutor_folder_reset() { s_folder.clear(); }
