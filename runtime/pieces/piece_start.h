// The start-up road to the first piece: the piece appended to the program file, else the file
// the command line names, else the open dialog until a piece opens or the learner cancels.
#pragma once
#include <string>

// Always 0; a failed appended piece and a cancelled dialog ask the program to close.
int app_open_start_piece(const char* command_line);
// The open dialog for pieces until one opens; Cancel asks the program to close.
void piece_open_dialog_loop();
// The command line's file name: options (words starting with '-', with the value of
// -TARGETWINDOW and -TARGETICON) and quotes removed. Empty when it names none.
std::string piece_command_line_name(const char* command_line);
