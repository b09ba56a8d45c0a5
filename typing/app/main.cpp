#include "platform/kernel/internal_error.h"

int main(int, char**)
{
    try {
        return 0;
    } catch (const plat::InternalError&) {
        return 1;
    }
}
