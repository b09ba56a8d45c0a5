// piecemaker: writes record files (course and library files, the learner's records) from a
// text description, and shows any record file as the runtime reads it. README.md describes
// the description and the output.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "runtime/foundation/file.h"
#include "tools/piecemaker/pm_build.h"
#include "tools/piecemaker/pm_desc.h"
#include "tools/piecemaker/pm_dump.h"

static int usage()
{
    std::fputs("usage: piecemaker build DESCRIPTION OUTPUT [--program FILE]\n"
               "       piecemaker dump FILE [--hex N]\n"
               "       piecemaker dump --tree FILE\n",
        stderr);
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
    if (argc >= 4 && std::strcmp(argv[1], "build") == 0) {
        if (argc == 4)
            return build(argv[2], argv[3], nullptr);
        if (argc == 6 && std::strcmp(argv[4], "--program") == 0)
            return build(argv[2], argv[3], argv[5]);
        return usage();
    }
    if (argc == 4 && std::strcmp(argv[1], "dump") == 0 && std::strcmp(argv[2], "--tree") == 0) {
        std::string out;
        int result = pm_dump_tree(argv[3], out);
        file_term();
        std::fputs(out.c_str(), stdout);
        return result;
    }
    if (argc >= 3 && std::strcmp(argv[1], "dump") == 0) {
        if (argc == 3)
            return dump(argv[2], 0);
        char* end = nullptr;
        long number
            = argc == 5 && std::strcmp(argv[3], "--hex") == 0 ? std::strtol(argv[4], &end, 10) : 0;
        if (number < 1 || number > 65535 || (end && *end))
            return usage();
        return dump(argv[2], int(number));
    }
    return usage();
}
