// Texts shown for file specs: paths shortened to a width with an ellipsis standing
// for the folders left out, and menu texts with their ampersands doubled.
#pragma once
#include <string>

enum SplitAt {
    kSplitAtBackslash, // URLs: a "/" is part of a component
    kSplitAtBothSeparators, // disk paths
};

// The path itself when it is shorter than width; otherwise components chosen from the end and
// the start in turn (name, first, second to last, second ...) while they fit in width - 1
// characters, the left-out ones written once as "...\"; with fewer than two chosen, the name
// alone cut to width - 1. A network root "\\server\share" counts as one component.
std::string fspec_abbreviate_text(const std::string& path, int width, SplitAt split);
// The same in place on a NUL-terminated path; 0, or 8004 for a null text.
int fspec_abbreviate_path(char* text, int width);
// Every '&' doubled, so that a menu shows it rather than underlining the next letter.
std::string fspec_double_ampersands(const std::string& text);
