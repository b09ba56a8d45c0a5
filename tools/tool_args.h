// Command lines of the build-time tools: options may stand before, between or after the file
// arguments, "--" ends the options, and --help or -h asks for the usage.
#pragma once
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

struct ToolArgs {
    std::vector<std::string> files; // the arguments that are not options, in order
    std::map<std::string, std::string> values; // options that take a value (the last one given)
    std::set<std::string> flags; // options without a value
    bool help = false;
    std::string error; // an unknown option or an option missing its value
};

inline ToolArgs tool_parse_args(int argc, char** argv, const std::vector<std::string>& with_value,
    const std::vector<std::string>& flags)
{
    ToolArgs a;
    bool options_end = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (options_end || arg.size() < 2 || arg[0] != '-') {
            a.files.push_back(arg);
        } else if (arg == "--") {
            options_end = true;
        } else if (arg == "--help" || arg == "-h") {
            a.help = true;
        } else if (std::find(flags.begin(), flags.end(), arg) != flags.end()) {
            a.flags.insert(arg);
        } else if (std::find(with_value.begin(), with_value.end(), arg) != with_value.end()) {
            if (i + 1 >= argc) {
                a.error = arg + " needs a value";
                return a;
            }
            a.values[arg] = argv[++i];
        } else {
            a.error = "unknown option " + arg;
            return a;
        }
    }
    return a;
}
