// Text matching shared by the string functions and the text-answer judging above calc: the
// wildcard matcher ("*" any run, "?" one character, a backslash makes the next character
// literal), words (runs of non-blank characters) and the blank and punctuation tests. All of it
// steps by whole characters, so a double-byte character is never split.
#pragma once
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

// 1 for a blank: tab, line feed, carriage return, space, and a double-byte character whose
// single-byte form is a space. c points at a character.
int judge_is_space(const char* c);
// 1 when the character continues a word: every single-byte character; a double-byte one only
// under Japanese rules, for the wide letters, signs, space and digits.
int judge_is_word_char(const char* c);
// 1 for punctuation: the single-byte punctuation class; a double-byte character only when its
// single-byte form is punctuation.
int judge_is_punct(const char* c);
// 1 when every character of the length bytes is punctuation.
int judge_all_punct(const char* text, size_t length);

enum JudgeCase { kJudgeMatchCase = 0, kJudgeIgnoreCase = 1 };
enum JudgePunct { kJudgeKeepPunct = 0, kJudgeSkipPunct = 1 };
enum JudgeLongest { kJudgeFirstEnd = 0, kJudgeLongestEnd = 1 };

// Matches the pattern at text..end: the end of the matched part, or null. A star tries the
// rest of the pattern from each later position; with kJudgeFirstEnd the first position that
// matches answers, with kJudgeLongestEnd a match reaching end at once, else the furthest one.
const char* judge_wildcard_match(const char* text, const char* end, const char* pattern, JudgeCase ignore_case,
    JudgePunct skip_punct, JudgeLongest longest);

// The matcher behind judge_wildcard_match, kept for many starts in one text: the results of
// the star rule are remembered by (star, position), so no pattern takes more than
// stars x characters steps however many starts are tried.
class WildcardMatcher {
public:
    WildcardMatcher(const char* text, const char* end, const char* pattern, JudgeCase ignore_case,
        JudgePunct skip_punct, JudgeLongest longest);
    // The end of a match that starts at start (within the text), or null.
    const char* match_at(const char* start);

private:
    static constexpr int32_t kNone = -1;
    static constexpr int32_t kUnknown = -2;
    int32_t match(int32_t at, int32_t pattern_at);
    int32_t star(int32_t at, int32_t pattern_at);
    bool candidate(int32_t at, int32_t pattern_at) const;
    int32_t next(int32_t at) const;
    int32_t chars_equal(int32_t at, int32_t pattern_at) const;

    const char* text_;
    int32_t length_;
    const char* pattern_;
    int32_t pattern_length_;
    bool ignore_case_, skip_punct_, longest_;
    std::vector<int32_t> star_number_; // by pattern position after a star run: its number, or -1
    int32_t star_count_ = 0;
    std::vector<int32_t> memo_; // star number x (length + 1)
    std::unordered_map<int64_t, int32_t> sparse_; // the same for texts too long for memo_
};

// The start of the next word at or after text (before end), its length in *length; null when
// only blanks are left.
const char* judge_next_word(const char* text, const char* end, size_t* length);
// The number of words of a NUL-terminated text.
int judge_word_count(const char* text);
