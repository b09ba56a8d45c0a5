// The proverb buffer is the module's one piece of state: the practice screens draw from it
// line by line.
#include "typing/practice_texts.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/file.h"
#include "platform/controls/msgbox.h"
#include "typing/johab.h"
#include "typing/tutor_paths.h"
#include "typing/tutor_settings.h"

#include <algorithm>
#include <cstdlib>

constexpr int kProverbDraws = 1000; // then the first line that fits, so a draw always ends
constexpr uint32_t kKoreanCodePage = 949;

static struct {
    int32_t language = -1;
    std::string buffer;
} s_proverbs;

bool text_file_read(std::string_view path, std::string& bytes)
{
    bytes.clear();
    plat::FileHandle file = plat::create_file(path, plat::GENERIC_READ, plat::FILE_SHARE_READ, plat::OPEN_EXISTING, 0);
    if (!file)
        return false;
    int64_t size = plat::get_file_size(file);
    bytes.assign(size_t(std::clamp<int64_t>(size, 0, kTextFileMax)), '\0');
    uint32_t got = 0;
    bool ok = size >= 0 && plat::read_file(file, bytes.data(), uint32_t(bytes.size()), &got);
    plat::close_handle(file);
    bytes.resize(ok ? got : 0);
    return ok;
}

void text_trim_end(std::string& bytes)
{
    while (!bytes.empty() && (bytes.back() == '\r' || bytes.back() == '\n' || bytes.back() == ' ' || bytes.back() == 7))
        bytes.pop_back();
}

// Converts line by line: the whole-text conversion stops at 255 bytes.
static std::string johab_of_wansung_text(std::string_view text)
{
    std::vector<uint16_t> codes = dbcs_to_codes(text);
    for (uint16_t& code : codes) {
        if (code >= 0x100) {
            uint16_t converted = wansung_char_to_johab(code);
            code = converted ? converted : code;
        }
    }
    return codes_to_dbcs(codes);
}

ProverbLoad proverb_take(int32_t language, std::string bytes)
{
    s_proverbs = {};
    if (bytes.size() > kTextFileMax)
        bytes.resize(kTextFileMax);
    text_trim_end(bytes);
    if (bytes.size() < kProverbMinSize)
        return kProverbTooShort;
    s_proverbs.buffer = language == 0 ? johab_of_wansung_text(bytes.substr(0, bytes.find('\0'))) : std::move(bytes);
    s_proverbs.language = language;
    return kProverbLoaded;
}

ProverbLoad proverb_load(int32_t language)
{
    if (language == s_proverbs.language)
        return kProverbLoaded;
    s_proverbs = {};
    std::string path = path_in_data_folder(language == 0 ? "PROVERB.KOR" : "PROVERB.ENG");
    std::string bytes;
    if (!text_file_read(path, bytes) || bytes.empty()) {
        std::string text = plat::utf8_to_code_page(kKoreanCodePage, "%s 구성요소가 없습니다.");
        text.replace(text.find("%s"), 2, path);
        plat::message_box({}, text.c_str(), plat::utf8_to_code_page(kKoreanCodePage, "뷔렌타자교사").c_str(), plat::MB_OK);
        return kProverbMissing;
    }
    return proverb_take(language, std::move(bytes));
}

// The line holding offset at; the first line for offsets up to 9.
static std::string_view line_at(std::string_view buffer, size_t at)
{
    size_t start = 0;
    if (at > 9) {
        size_t previous = buffer.rfind('\n', at);
        start = previous == std::string_view::npos ? 0 : previous + 1;
    }
    size_t end = buffer.find_first_of("\r\n", start);
    return buffer.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

int32_t proverb_random(std::string& line, size_t max_length)
{
    line.clear();
    std::string_view buffer = s_proverbs.buffer;
    if (buffer.empty())
        return -1;
    for (int draw = 0; draw < kProverbDraws; ++draw) {
        std::string_view candidate = line_at(buffer, size_t(std::rand()) % buffer.size());
        if (!candidate.empty() && candidate.size() <= max_length) {
            line = candidate;
            return int32_t(line.size());
        }
    }
    for (size_t start = 0; start < buffer.size();) {
        std::string_view candidate = line_at(buffer, start);
        if (!candidate.empty() && candidate.size() <= max_length) {
            line = candidate;
            return int32_t(line.size());
        }
        size_t next = buffer.find('\n', start);
        start = next == std::string_view::npos ? buffer.size() : next + 1;
    }
    return -1;
}

void proverb_reset() { s_proverbs = {}; }

StoryEntry story_entry_from_head(std::string_view file_name, std::string_view head, uint32_t file_size)
{
    head = head.substr(0, kStoryTitleBytes);
    StoryEntry entry;
    entry.file_name = file_name;
    entry.file_size = file_size;
    size_t start = 0;
    while (start < head.size() && uint8_t(head[start]) <= 0x20)
        ++start;
    size_t end = start;
    while (end < head.size() && uint8_t(head[end]) >= 0x20)
        ++end;
    std::string title(head.substr(start, end - start));
    entry.code = johab_text_is_korean(title) ? kStoryJohab : kStoryWansung;
    entry.title = entry.code == kStoryJohab ? johab_to_wansung(title) : title;
    bool any_high = std::any_of(head.begin(), head.end(), [](char c) { return uint8_t(c) >= 0x80; });
    entry.language = any_high ? kStoryKorean : kStoryEnglish;
    return entry;
}

static bool line_end(char c) { return c == '\r' || c == '\n'; }

std::vector<std::string> story_cut(std::string_view text, size_t width)
{
    width = std::clamp<size_t>(width, 2, kStoryLineMax); // a pair always fits, so each line takes something
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && uint8_t(text[at]) <= 0x20)
            ++at;
        if (at >= text.size())
            break;
        const size_t start = at;
        size_t last_blank = std::string_view::npos;
        size_t end = start;
        while (end < text.size() && !line_end(text[end])) {
            size_t step = uint8_t(text[end]) >= 0x80 && end + 1 < text.size() ? 2 : 1;
            if (end + step - start > width) {
                if (last_blank != std::string_view::npos)
                    end = last_blank;
                break;
            }
            if (text[end] == ' ')
                last_blank = end;
            end += step;
        }
        std::string line(text.substr(start, end - start));
        text_trim_end(line);
        if (!line.empty())
            lines.push_back(std::move(line));
        at = end;
    }
    return lines;
}

std::string story_reformat(std::string_view line, int32_t mode)
{
    if (mode == kAfterSpaceKeep || line.size() > 200)
        return std::string(line.substr(0, kStoryLineMax));
    std::string out;
    for (size_t i = 0; i < line.size();) {
        if (uint8_t(line[i]) >= 0x80 && i + 1 < line.size()) {
            out.append(line.substr(i, 2));
            i += 2;
            continue;
        }
        out.push_back(line[i]);
        if (line[i++] != '.' || i >= line.size() || line[i] != ' ')
            continue;
        while (i < line.size() && line[i] == ' ')
            ++i;
        out.push_back(' ');
        // The second blank only where the rest of the line still fits the model line.
        if (mode == kAfterSpaceTwo && out.size() + 1 + (line.size() - i) <= kStoryLineMax)
            out.push_back(' ');
    }
    return dbcs_cut(out, kStoryLineMax);
}

std::vector<std::string> story_page(const std::vector<std::string>& lines, size_t page, StoryCode code, int32_t mode)
{
    std::vector<std::string> out;
    for (size_t i = page * kStoryPageLines; i < lines.size() && out.size() < kStoryPageLines; ++i) {
        std::string line = code == kStoryJohab ? johab_to_wansung(lines[i]) : lines[i];
        line = story_reformat(line, mode);
        for (char& c : line)
            c = uint8_t(c) < 0x20 ? ' ' : c;
        out.push_back(std::move(line));
    }
    return out;
}
