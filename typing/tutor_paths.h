// Every file of the tutor is named relative to its program folder: the folder of the running
// program unless the shell or a test sets another.
#pragma once
#include <string>
#include <string_view>

void tutor_folder_set(std::string_view folder); // a backslash is added when missing
const std::string& tutor_folder(); // ends in a backslash (or a slash as given)
std::string path_in_program_folder(std::string_view name);
std::string path_in_data_folder(std::string_view name);
void tutor_folder_reset(); // back to the program's own folder
