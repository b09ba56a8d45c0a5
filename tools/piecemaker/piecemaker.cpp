// piecemaker: writes record files (course and library files, the learner's records) from a
// text description, and shows any record file as the runtime reads it. README.md describes
// the description and the output.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "runtime/files/file.h"
#include "tools/piecemaker/pm_build.h"
#include "tools/piecemaker/pm_desc.h"
#include "tools/piecemaker/pm_dump.h"
#include "tools/tool_args.h"

static const char kUsage[] = "usage: piecemaker build DESCRIPTION OUTPUT [--program FILE]\n"
                             "       piecemaker dump FILE [--hex N]\n"
                             "       piecemaker dump --tree FILE\n"
                             "       piecemaker dump --learner RECORDS [PIECE]\n";

static int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

static int fail(const std::string& message)
{
    std::fprintf(stderr, "piecemaker: %s\n", message.c_str());
    return 1;
}

// A program's permissions go to the copy with the piece, so that the copy runs too.
static void copy_permissions(const std::string& from, const std::string& to)
{
    std::error_code ignored;
    std::filesystem::permissions(to, std::filesystem::status(from, ignored).permissions(), ignored);
}

static int build(const char* description_path, const char* output, const char* program)
{
    std::vector<uint8_t> text;
    std::string error;
    if (!pm_load(description_path, text, error))
        return fail(error);
    PieceDescription piece;
    std::string folder = std::filesystem::path(description_path).parent_path().string();
    if (!pm_parse(std::string(text.begin(), text.end()), folder, piece, error))
        return fail(std::string(description_path) + ": " + error);
    if (program)
        piece.program = program;
    std::vector<uint8_t> bytes;
    if (!pm_make(piece, bytes, error) || !pm_save(output, bytes, error))
        return fail(error);
    if (!piece.program.empty())
        copy_permissions(piece.program, output);
    return 0;
}

static int dump(const char* path, int hex_record)
{
    std::string out;
    int result = pm_dump(path, hex_record, out);
    file_term();
    std::fputs(out.c_str(), stdout);
    return result;
}

int main(int argc, char** argv)
{
    ToolArgs args = tool_parse_args(argc, argv, { "--program", "--hex" }, { "--tree", "--learner" });
    if (args.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!args.error.empty()) {
        std::fprintf(stderr, "piecemaker: %s\n", args.error.c_str());
        return usage();
    }
    const std::vector<std::string>& files = args.files;
    bool tree = args.flags.count("--tree") != 0;
    if (args.flags.count("--learner")) {
        if (files.size() < 2 || files.size() > 3 || files[0] != "dump" || tree || !args.values.empty())
            return usage();
        std::string out;
        int result = pm_dump_learner(files[1], files.size() == 3 ? files[2] : std::string(), out);
        file_term();
        std::fputs(out.c_str(), stdout);
        return result;
    }
    bool hex = args.values.count("--hex") != 0;
    if (files.size() == 3 && files[0] == "build" && !tree && !hex) {
        auto program = args.values.find("--program");
        return build(files[1].c_str(), files[2].c_str(),
            program == args.values.end() ? nullptr : program->second.c_str());
    }
    if (files.size() != 2 || files[0] != "dump" || args.values.count("--program") || (tree && hex))
        return usage();
    if (tree) {
        std::string out;
        int result = pm_dump_tree(files[1].c_str(), out);
        file_term();
        std::fputs(out.c_str(), stdout);
        return result;
    }
    if (!hex)
        return dump(files[1].c_str(), 0);
    const std::string& text = args.values["--hex"];
    char* end = nullptr;
    long number = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || number < 1 || number > 65535)
        return usage();
    return dump(files[1].c_str(), int(number));
}
