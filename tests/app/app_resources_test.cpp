// The program's own resources that the runtime's modules read from it.
#include <gtest/gtest.h>

#include "runtime/store/fhdr.h"

// Pieces carry the format number in their kind headers; without it the program cannot open one.
TEST(AppResources, TheProgramCarriesTheFileFormatNumber)
{
    fhdr_reset();
    EXPECT_EQ(fhdr_format_number(), 22u);
}
