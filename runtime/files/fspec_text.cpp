#include "runtime/files/fspec_text.h"

#include "runtime/base/errcode.h"
#include "runtime/base/str.h"

#include <cstring>
#include <vector>

static const char kEllipsis[] = "...";
// What the ellipsis adds to the chosen components: "...\" beside the separator they pay.
constexpr int kEllipsisCost = 4;

static bool splits_at(char c, SplitAt split)
{
    return c == '\\' || (split == kSplitAtBothSeparators && c == '/');
}

// The components of a path, a leading "\\server\share" kept whole.
static std::vector<std::string> components_of(const std::string& path, SplitAt split)
{
    std::vector<std::string> parts;
    std::string current;
    int leading = 0; // separators of a network root still to be taken into its component
    if (path.size() >= 2 && splits_at(path[0], split) && splits_at(path[1], split))
        leading = 3; // the leading pair and the one after the server
    for (const char* p = path.c_str(); *p;) {
        const char* next = str_next_char(p);
        if (str_is_single_byte(p) && splits_at(*p, split) && leading-- <= 0) {
            parts.push_back(current);
            current.clear();
        } else {
            current.append(p, size_t(next - p));
        }
        p = next;
    }
    parts.push_back(current);
    return parts;
}

// Which components fit in budget, chosen from the end and the start in turn.
static std::vector<bool> choose_components(const std::vector<std::string>& parts, int budget)
{
    std::vector<bool> chosen(parts.size(), false);
    size_t front = 0;
    size_t back = parts.size();
    int used = 0;
    for (int count = 0; front < back; ++count) {
        size_t index = count % 2 == 0 ? --back : front++;
        int cost
            = int(parts[index].size()) + (count > 0 ? 1 : 0) + (count == 1 ? kEllipsisCost : 0);
        if (cost > budget - used)
            break;
        used += cost;
        chosen[index] = true;
    }
    return chosen;
}

std::string fspec_abbreviate_text(const std::string& path, int width, SplitAt split)
{
    if (int(path.size()) < width)
        return path;
    if (width <= 0)
        return std::string();
    std::vector<std::string> parts = components_of(path, split);
    std::vector<bool> chosen = choose_components(parts, width - 1);
    size_t chosen_count = 0;
    for (bool taken : chosen)
        chosen_count += taken ? 1 : 0;
    if (chosen_count < 2) {
        const std::string& name = parts.back();
        return name.substr(0, size_t(str_fit_length(name.c_str(), width - 1)));
    }
    std::string result;
    bool gap_written = false;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!chosen[i] && gap_written)
            continue;
        if (!result.empty() || i > 0)
            result += '\\';
        result += chosen[i] ? parts[i] : kEllipsis;
        gap_written = gap_written || !chosen[i];
    }
    return result;
}

int fspec_abbreviate_path(char* text, int width)
{
    if (text == nullptr)
        return kErrBadValue;
    std::string shortened = fspec_abbreviate_text(text, width, kSplitAtBothSeparators);
    // Never longer than the text it came from, so it fits where that text was.
    std::memcpy(text, shortened.c_str(), shortened.size() + 1);
    return kErrOk;
}

std::string fspec_double_ampersands(const std::string& text)
{
    std::string result;
    for (const char* p = text.c_str(); *p;) {
        const char* next = str_next_char(p);
        result.append(p, size_t(next - p));
        if (*p == '&' && next == p + 1)
            result += '&';
        p = next;
    }
    return result;
}
