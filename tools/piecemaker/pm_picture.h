// Picture records for the piece maker: the `pic` content statement appends one record of a
// picture stream (or the image bytes that an image record holds) to the record being
// described, and keeps the stream header's record count and byte length up to date.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct PmPicArg {
    bool is_text = false;
    int64_t number = 0;
    std::string text;
};

// Appends what `pic OP ARGS` describes to bytes; false with a message in error. File names are
// taken relative to folder.
bool pm_picture_statement(const std::string& op, const std::vector<PmPicArg>& args, const std::string& folder,
    std::vector<uint8_t>& bytes, std::string& error);
