// The resource compiler: reads the .rsrc sources of one module and writes a C++ source whose
// table registers the module with the platform's resource store. README.md has the format.
#include "tools/rc/rc_emit.h"
#include "tools/rc/rc_parse.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

constexpr int kExitBadSource = 1;
constexpr int kExitUsage = 2;

struct Options {
    std::string module_name;
    ModuleKind kind = ModuleKind::library;
    std::string output;
    std::string depfile;
    std::vector<std::string> sources;
};

static int usage()
{
    std::fprintf(stderr,
        "usage: rc --module NAME [--program] --output FILE.cpp [--depfile FILE.d] "
        "SOURCE.rsrc...\n");
    return kExitUsage;
}

// The name becomes part of a C symbol.
static bool is_identifier(const std::string& name)
{
    if (name.empty())
        return false;
    for (char c : name) {
        if (!(std::isalnum(uint8_t(c)) || c == '_'))
            return false;
    }
    return true;
}

static bool parse_options(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool has_value = i + 1 < argc;
        if (arg == "--program")
            o.kind = ModuleKind::program;
        else if (arg == "--module" && has_value)
            o.module_name = argv[++i];
        else if (arg == "--output" && has_value)
            o.output = argv[++i];
        else if (arg == "--depfile" && has_value)
            o.depfile = argv[++i];
        else if (arg.rfind("--", 0) == 0)
            return false;
        else
            o.sources.push_back(arg);
    }
    return is_identifier(o.module_name) && !o.output.empty() && !o.sources.empty();
}

static int report(const RcError& e)
{
    if (e.line > 0)
        std::fprintf(stderr, "%s:%d: %s\n", e.file.c_str(), e.line, e.message.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", e.file.c_str(), e.message.c_str());
    return kExitBadSource;
}

int main(int argc, char** argv)
{
    Options o;
    if (!parse_options(argc, argv, o))
        return usage();
    RcModule module;
    RcError error;
    for (const std::string& source : o.sources) {
        if (!rc_parse_file(source, module, error))
            return report(error);
    }
    if (!rc_finish_module(module, error))
        return report(error);
    std::string message;
    bool written = rc_write_source(module, o.module_name, o.kind, o.output, message);
    if (written && !o.depfile.empty())
        written = rc_write_depfile(module, o.output, o.depfile, message);
    if (!written)
        return report({ "rc", 0, message });
    return 0;
}
