#include "platform/kernel/log.h"

#include <cstdio>

#include "platform/kernel/clock.h"
#include "platform/kernel/codepage.h"

namespace plat {

struct LogState {
    std::FILE* file = nullptr;
};

static LogState s_log;

bool log_open(const std::string& host_path)
{
    log_close();
    s_log.file = std::fopen(host_path.c_str(), "w");
    return s_log.file != nullptr;
}

void log_close()
{
    if (s_log.file)
        std::fclose(s_log.file);
    s_log.file = nullptr;
}

bool log_is_open() { return s_log.file != nullptr; }

void log_event(std::string_view text)
{
    if (!s_log.file)
        return;
    std::fprintf(s_log.file, "%u %.*s\n", get_tick_count(), int(text.size()), text.data());
    std::fflush(s_log.file);
}

std::string log_quote(std::string_view text) { return log_quote_utf8(code_page_to_utf8(CP_ACP, text)); }

std::string log_quote_utf8(std::string_view utf8)
{
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (uint8_t(c) < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", unsigned(uint8_t(c)));
            out += escaped;
        } else
            out += c;
    }
    return out + "\"";
}

} // namespace plat
