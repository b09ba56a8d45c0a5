// Any pattern against any text, in either code page, with every option: a match ends within
// the text on a character boundary, and one matcher kept for many starts answers as a fresh
// matcher does at each of them (its remembered star results are never stale).
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/kernel/codepage.h"
#include "runtime/base/str.h"
#include "runtime/calc/judge_text.h"

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    uint8_t flags = data[0];
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t split = rest.find('\0');
    std::string pattern = rest.substr(0, split);
    std::string text = split == std::string::npos ? std::string() : rest.substr(split + 1);
    text = text.substr(0, text.find('\0'));
    if (pattern.size() > 409 || text.size() > 4000)
        return 0;
    plat::set_active_code_page(flags & 1 ? 949 : 1252);
    str_init_from_entry(nullptr);
    JudgeCase ignore_case = flags & 2 ? kJudgeIgnoreCase : kJudgeMatchCase;
    JudgePunct skip_punct = flags & 4 ? kJudgeSkipPunct : kJudgeKeepPunct;
    JudgeLongest longest = flags & 8 ? kJudgeLongestEnd : kJudgeFirstEnd;
    const char* begin = text.c_str();
    const char* end = begin + text.size();
    WildcardMatcher shared(begin, end, pattern.c_str(), ignore_case, skip_punct, longest);
    int starts = 0;
    for (const char* p = begin; p < end && starts < 64; p = str_next_char(p), ++starts) {
        const char* kept = shared.match_at(p);
        const char* fresh = judge_wildcard_match(p, end, pattern.c_str(), ignore_case, skip_punct, longest);
        check(kept == fresh);
        check(!kept || (kept >= p && kept <= end));
    }
    size_t length = 0;
    for (const char* w = judge_next_word(begin, end, &length); w; w = judge_next_word(w + length, end, &length))
        check(length > 0 && w + length <= end);
    plat::codepage_reset();
    str_reset();
    return 0;
}
