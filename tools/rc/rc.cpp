// The resource compiler: reads the .rsrc sources of one module and writes a C++ source whose
// table registers the module with the platform's resource store. README.md has the format.
#include "tools/rc/rc_emit.h"
#include "tools/rc/rc_parse.h"
#include "tools/tool_args.h"

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

static const char kUsage[]
    = "usage: rc --module NAME [--program] --output FILE.cpp [--depfile FILE.d] SOURCE.rsrc...\n";

static int usage()
{
    std::fputs(kUsage, stderr);
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

static bool parse_options(const ToolArgs& args, Options& o)
{
    if (!args.error.empty()) {
        std::fprintf(stderr, "rc: %s\n", args.error.c_str());
        return false;
    }
    if (args.flags.count("--program"))
        o.kind = ModuleKind::program;
    auto value = [&](const char* name) {
        auto found = args.values.find(name);
        return found == args.values.end() ? std::string() : found->second;
    };
    o.module_name = value("--module");
    o.output = value("--output");
    o.depfile = value("--depfile");
    o.sources = args.files;
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
    ToolArgs args = tool_parse_args(argc, argv, { "--module", "--output", "--depfile" }, { "--program" });
    if (args.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    Options o;
    if (!parse_options(args, o))
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
