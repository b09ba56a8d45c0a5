// qkttext KIND SOURCE OUTPUT: converts one of the tutor's texts from its readable UTF-8 source
// to the stored form the tutor reads (CP949 or ASCII, CR LF). KIND is words-kor, words-eng,
// proverbs-kor, proverbs-eng, story-kor or story-eng. A source that breaks a limit of the tutor
// gets one line "qkttext: SOURCE:LINE: what" and exit status 1; the old output then stays.
#include "tools/qkttext/text_convert.h"
#include "tools/tool_args.h"
#include "tools/tool_file.h"

#include <cstdio>
#include <fstream>
#include <iterator>

static const char kUsage[] =
    "usage: qkttext KIND SOURCE OUTPUT\n"
    "  KIND: words-kor words-eng proverbs-kor proverbs-eng story-kor story-eng\n"
    "  SOURCE is UTF-8; OUTPUT is written in CP949 (Korean) or ASCII with CR LF line ends\n";

int main(int argc, char** argv)
{
    ToolArgs args = tool_parse_args(argc, argv, {}, {});
    if (args.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    TextKind kind {};
    TextLanguage language {};
    if (!args.error.empty() || args.files.size() != 3 || !text_kind_parse(args.files[0], kind, language)) {
        if (!args.error.empty())
            std::fprintf(stderr, "qkttext: %s\n", args.error.c_str());
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string& source = args.files[1];
    const std::string& output = args.files[2];
    std::ifstream in(source, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "qkttext: cannot read %s\n", source.c_str());
        return 1;
    }
    std::string utf8(std::istreambuf_iterator<char>(in), {});
    TextConversion conversion;
    if (!text_convert(kind, language, source, utf8, output, conversion)) {
        std::fprintf(stderr, "qkttext: %s\n", conversion.error.c_str());
        return 1;
    }
    if (!tool_write_replacing(output, {conversion.stored.begin(), conversion.stored.end()})) {
        std::fprintf(stderr, "qkttext: cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
