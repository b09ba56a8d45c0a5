// The standard controls' common ground: their class names, which exist without being registered
// (each is made on first use, so a reset of the window system loses nothing), the answers of
// WM_GETDLGCODE, the owner-draw records their owners receive, and what every control does
// alike: notify its parent, keep a font, ask its parent for colours.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/window/geometry.h"
#include "platform/window/message.h"
#include "platform/kernel/slots.h"
#include "platform/window/window.h"
#include "platform/window/window_types.h"

namespace plat {

// Class names as GetClassName answers them; lookups ignore case.
constexpr const char* kButtonClass = "Button";
constexpr const char* kStaticClass = "Static";
constexpr const char* kEditClass = "Edit";
constexpr const char* kListBoxClass = "ListBox";
constexpr const char* kComboBoxClass = "ComboBox";
constexpr const char* kComboListClass = "ComboLBox"; // the drop-down list of a combo box
constexpr const char* kScrollBarClass = "ScrollBar";
constexpr const char* kDialogClass = "Dialog"; // the class of dialogs whose template names none

// WM_GETDLGCODE answers.
enum : uint32_t {
    DLGC_WANTARROWS = 0x0001,
    DLGC_WANTTAB = 0x0002,
    DLGC_WANTALLKEYS = 0x0004,
    DLGC_WANTMESSAGE = 0x0004,
    DLGC_HASSETSEL = 0x0008,
    DLGC_DEFPUSHBUTTON = 0x0010,
    DLGC_UNDEFPUSHBUTTON = 0x0020,
    DLGC_RADIOBUTTON = 0x0040,
    DLGC_WANTCHARS = 0x0080,
    DLGC_STATIC = 0x0100,
    DLGC_BUTTON = 0x2000,
};

// Messages of owner-drawn and sorted controls.
enum : uint32_t {
    WM_DELETEITEM = 0x002D,
    WM_VKEYTOITEM = 0x002E,
    WM_CHARTOITEM = 0x002F,
    WM_COMPAREITEM = 0x0039,
};

// Owner-draw control kinds, actions and states.
enum : uint32_t {
    ODT_MENU = 1,
    ODT_LISTBOX = 2,
    ODT_COMBOBOX = 3,
    ODT_BUTTON = 4,
    ODT_STATIC = 5,
    ODA_DRAWENTIRE = 0x0001,
    ODA_SELECT = 0x0002,
    ODA_FOCUS = 0x0004,
    ODS_SELECTED = 0x0001,
    ODS_GRAYED = 0x0002,
    ODS_DISABLED = 0x0004,
    ODS_CHECKED = 0x0008,
    ODS_FOCUS = 0x0010,
    ODS_DEFAULT = 0x0020,
    ODS_COMBOBOXEDIT = 0x1000,
};

// DRAWITEMSTRUCT: what WM_DRAWITEM's lparam points to.
struct DrawItemStruct {
    uint32_t ctl_type = 0;
    uint32_t ctl_id = 0;
    uint32_t item_id = 0; // -1 (0xFFFFFFFF) for an empty list
    uint32_t item_action = 0;
    uint32_t item_state = 0;
    WindowHandle hwnd_item;
    DcHandle hdc;
    Rect rc_item;
    uintptr_t item_data = 0;
};

// MEASUREITEMSTRUCT: WM_MEASUREITEM's; the owner fills item_height (and item_width).
struct MeasureItemStruct {
    uint32_t ctl_type = 0;
    uint32_t ctl_id = 0;
    uint32_t item_id = 0;
    uint32_t item_width = 0;
    uint32_t item_height = 0;
    uintptr_t item_data = 0;
};

// COMPAREITEMSTRUCT: WM_COMPAREITEM's; the owner answers -1, 0 or 1.
struct CompareItemStruct {
    uint32_t ctl_type = 0;
    uint32_t ctl_id = 0;
    WindowHandle hwnd_item;
    uint32_t item_id1 = 0;
    uintptr_t item_data1 = 0;
    uint32_t item_id2 = 0;
    uintptr_t item_data2 = 0;
};

// DELETEITEMSTRUCT: WM_DELETEITEM's, sent for each item an owner-drawn list lets go of.
struct DeleteItemStruct {
    uint32_t ctl_type = 0;
    uint32_t ctl_id = 0;
    uint32_t item_id = 0;
    WindowHandle hwnd_item;
    uintptr_t item_data = 0;
};

// For the layer.

// Makes the standard class of that name (Button, Static, Edit, ListBox, ComboBox, ComboLBox,
// ScrollBar, Dialog) when it is not there; false for any other name.
bool controls_register_system_class(std::string_view class_name);

// The extra bytes every standard control reserves: its state's id and its font.
constexpr int kControlStateIndex = 0;
constexpr int kControlFontIndex = 4;
constexpr int kControlExtraBytes = 8;

// WM_COMMAND (id, code) with the control as lparam, sent to its parent (a popup's owner).
LResult controls_notify(WindowHandle control, uint32_t code);
// WM_SETFONT and WM_GETFONT: the font kept in the extra bytes; a control without one draws in
// the system font.
void controls_set_font(WindowHandle control, GdiObject font, bool redraw);
GdiObject controls_get_font(WindowHandle control);
// Selects the control's font into a DC; answers the font it replaced.
GdiObject controls_select_font(WindowHandle control, DcHandle dc);
// Sets the default colours of a control kind (WM_CTLCOLOREDIT, WM_CTLCOLORSTATIC ...) on the DC
// and lets the parent change them; answers the background brush to use.
GdiObject controls_color_brush(WindowHandle control, DcHandle dc, uint32_t message);
// The letter after the first single '&' of a label ("&&" is a literal '&'), upper-cased; 0 when
// the label has none.
char controls_mnemonic(std::string_view label);
// A window's text as a string (WM_GETTEXT).
std::string controls_text(WindowHandle window);

// Each control's state lives in a table under the id kept in its extra bytes, so that a stale
// window never reaches another's state. A state pointer is good until the next message is
// sent: a notification may destroy the control.
template <typename T>
class ControlTable {
public:
    explicit ControlTable(uint32_t first_generation)
        : m_slots(first_generation)
    {
    }
    T* find(WindowHandle window)
    {
        if (!is_window(window))
            return nullptr;
        std::shared_ptr<T>* slot = m_slots.find(uint32_t(get_window_long(window, kControlStateIndex)));
        return slot ? slot->get() : nullptr;
    }
    T* create(WindowHandle window)
    {
        uint32_t id = m_slots.insert(std::make_shared<T>());
        if (!id)
            return nullptr;
        set_window_long(window, kControlStateIndex, int32_t(id));
        return m_slots.find(id)->get();
    }
    void remove(WindowHandle window)
    {
        m_slots.erase(uint32_t(get_window_long(window, kControlStateIndex)));
        set_window_long(window, kControlStateIndex, 0);
    }
    void clear() { m_slots.clear(); }

private:
    SlotTable<std::shared_ptr<T>> m_slots;
};

} // namespace plat
