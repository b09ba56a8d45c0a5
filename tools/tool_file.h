// Output of the build-time tools. A header, as the tools share no library of their own.
#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

// Writes the bytes to PATH.tmp and renames that over path, so that a failed or interrupted
// build never leaves a half-written file that looks up to date; false if either step fails.
inline bool tool_write_replacing(
    const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        out.flush();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    return !error;
}
