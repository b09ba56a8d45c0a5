// Switches the active code page and the language letter for one test and puts both back, so
// the text settings of one test never leak into the next.
#pragma once
#include "platform/kernel/codepage.h"
#include "runtime/base/str.h"

#include <gtest/gtest.h>

class TextScope {
public:
    TextScope(uint32_t code_page, const char* language_entry)
    {
        EXPECT_TRUE(plat::set_active_code_page(code_page)) << code_page;
        str_init_from_entry(language_entry);
    }
    ~TextScope()
    {
        plat::codepage_reset();
        str_reset();
    }
    TextScope(const TextScope&) = delete;
    TextScope& operator=(const TextScope&) = delete;
};
