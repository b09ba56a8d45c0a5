// Shared by the icon executors' tests: the engine's fixture with a display stage whose
// rectangle lists the test keeps, the icons library installed, and display objects made for
// icons directly, each with the sequence number the caller gives.
#pragma once
#include "tests/display/display_fixture.h"
#include "tests/engine/engine_fixture.h"

#include "runtime/display/dobj_icon.h"
#include "runtime/engine/goto.h"
#include "runtime/engine/icon_kinds.h"
#include "runtime/icons/icon_erase.h"
#include "runtime/icons/icon_stats.h"
#include "runtime/icons/icons.h"

#include <algorithm>
#include <vector>

namespace iconstest {

class IconsTest : public enginetest::EngineTest {
protected:
    disptest::Screen screen;

    void SetUp() override
    {
        EngineTest::SetUp();
        disptest::display_setup(screen);
        dobj_icon_reset();
        dobj_icon_init();
        icon_erase_reset();
        icons_install();
    }
    void TearDown() override
    {
        EngineTest::TearDown();
        icon_erase_reset();
        icon_kinds_set_hooks(nullptr);
        goto_set_hooks(nullptr);
        dobj_icon_reset();
        disptest::display_teardown();
    }

    // A display object of the icon with the sequence number, erasable automatically.
    static void show(IconId icon, uint16_t kind, int sequence)
    {
        std::vector<uint8_t> record = disptest::make_record(kDobjHeaderSize + 8, 0, 0, Rect {0, 0, 10, 10});
        record.resize(record.size() + kIconTailSize);
        ASSERT_NE(dobj_create_for_icon(record.data(), disptest::kRecordingKind, icon, kind, 0, 0), 0u);
        uint8_t* object = dobj_find_icon(icon, kind);
        ASSERT_NE(object, nullptr);
        dobj_icon_set_sequence(object, int16_t(sequence));
        dobj_icon_set_erase_allowed(object, 1);
        dlist_unlock(dlist_stage());
    }
    // The sequence numbers of the live icon objects, ascending.
    static std::vector<int> shown()
    {
        std::vector<int> numbers;
        dobj_for_each_icon(
            [](uint8_t* object, void* data, void*) {
                static_cast<std::vector<int>*>(data)->push_back(dobj_icon_sequence(object));
                return 1;
            },
            &numbers, nullptr, nullptr);
        std::sort(numbers.begin(), numbers.end());
        return numbers;
    }
    // The node numbers of the live icon objects, ascending.
    static std::vector<uint32_t> shown_nodes()
    {
        std::vector<uint32_t> nodes;
        dobj_for_each_icon(
            [](uint8_t* object, void* data, void*) {
                static_cast<std::vector<uint32_t>*>(data)->push_back(node_icon_number(dobj_icon_of(object)));
                return 1;
            },
            &nodes, nullptr, nullptr);
        std::sort(nodes.begin(), nodes.end());
        return nodes;
    }
};

} // namespace iconstest
