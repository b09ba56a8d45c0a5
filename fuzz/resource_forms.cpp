// Arbitrary bytes as each compiled resource form: the readers must refuse or accept them
// without reading outside the bytes, and what they accept must be consistent.
#include "platform/kernel/resource_forms.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    plat::ResourceBytes bytes { data, uint32_t(size) };
    plat::DialogTemplate dialog;
    (void)plat::read_dialog_template(bytes, dialog);
    std::vector<plat::MenuItemTemplate> menu;
    (void)plat::read_menu_template(bytes, menu);
    std::vector<plat::AcceleratorEntry> keys;
    (void)plat::read_accelerator_table(bytes, keys);
    std::vector<plat::IconGroupEntry> group;
    (void)plat::read_icon_group(bytes, group);
    plat::IconImage image;
    if (plat::read_icon_image(bytes, image)) {
        size_t mask_size = plat::mask_stride(image.width) * image.height;
        if (image.and_mask.size() != mask_size || image.xor_mask.size() != mask_size)
            __builtin_trap();
    }
    return 0;
}
