#include "runtime/calc/list_table.h"

#include "runtime/base/flex.h"
#include "runtime/calc/calc_hooks.h"
#include "runtime/calc/codeblock.h"
#include "runtime/calc/interp.h"
#include "platform/kernel/byte_io.h"
#include "platform/kernel/resource.h"
#include "runtime/store/swap.h"

#include <algorithm>
#include <cstring>
#include <vector>

constexpr int kListMaxCount = 32767;
constexpr size_t kMaxObjects = 32766;

struct ListObject {
    int kind = 0;
    uint32_t stamp = 0;    // generation of the slot: bumped on every reuse
    uint32_t refs = 0;     // 0: the slot is free
    int32_t fixed[4] = {}; // rect left, top, right, bottom; point x, y
    std::vector<ScriptValue> keys;   // linear list elements, or property keys
    std::vector<ScriptValue> values; // property values
    std::vector<ListHolder> holders; // variables, and lists once per element that names it
    int sort_order = 0; // 0 none, 1 ascending, 2 descending
    uint16_t mark = 0;
};

// Holder records waiting for an object to take them over.
struct HolderChain {
    bool used = false;
    std::vector<ListHolder> records;
};

// The texts that write lists, string entries 8048 up.
enum ListText { kTextOpen, kTextClose, kTextSeparator, kTextColon, kTextRect, kTextParen, kTextPoint, kListTextCount };
constexpr uint32_t kListTextEntry = 8048;
constexpr int kListTextRoom = 16;

// An object element of a restored list: the slot stays empty until its id is mapped.
struct PendingElement {
    uint32_t list;   // the new list's id
    bool value_half;
    uint32_t index;  // 0-based
    ScriptValue stored;
};

struct ListTables {
    bool ready = false;
    std::vector<ListObject> objects; // slot id - 1
    std::vector<uint32_t> free_ids;
    bool restoring = false;
    std::vector<std::pair<uint32_t, uint32_t>> restore_map; // {stored id, new id}
    std::vector<struct PendingElement> pending;              // object elements to map at the end
    std::vector<HolderChain> chains;                         // chain - 1
    char texts[kListTextCount][kListTextRoom] = {};
};

static ListTables s_lists;

static void notify(uint32_t id, int depth);

// Lists may nest at most this deep, so that text forms, operators and release never recurse
// without end; deeper nesting is refused like a cycle.
constexpr int kListMaxNesting = 32;

// The calculation language's start-up step also lends the converter of stored code blocks.
int list_tables_init()
{
    s_lists.ready = true;
    for (int i = 0; i < kListTextCount; ++i)
        plat::load_string(plat::ModuleHandle {}, kListTextEntry + uint32_t(i), s_lists.texts[i], kListTextRoom);
    code_init();
    return 1;
}

void list_tables_free()
{
    swap_set_hook(kSwapHookCalc, nullptr);
    // Every object goes at once: texts are freed, object elements simply forgotten.
    for (ListObject& o : s_lists.objects) {
        for (ScriptValue& v : o.keys)
            if (!val_is_object_type(val_type(v)))
                val_free(v);
        for (ScriptValue& v : o.values)
            if (!val_is_object_type(val_type(v)))
                val_free(v);
    }
    s_lists = ListTables {};
}

static ListObject* object_by_id(uint32_t id)
{
    if (id == 0 || id > s_lists.objects.size())
        return nullptr;
    ListObject& o = s_lists.objects[id - 1];
    return o.refs > 0 ? &o : nullptr;
}

uint32_t list_map_restored_id(uint32_t stored)
{
    for (const auto& [from, to] : s_lists.restore_map)
        if (from == stored)
            return to;
    return stored;
}

// The id a value names: mapped while a restore runs.
static uint32_t value_id(const ScriptValue& v)
{
    return s_lists.restoring ? list_map_restored_id(val_object_id(v)) : val_object_id(v);
}

static ListObject* lookup(const ScriptValue& v)
{
    if (!val_is_object_type(val_type(v)))
        return nullptr;
    ListObject* o = object_by_id(value_id(v));
    return o && o->stamp == val_stamp(v) && o->kind == val_type(v) ? o : nullptr;
}

static bool fixed_kind(int kind) { return kind == kValRect || kind == kValPoint; }
static bool pair_kind(int kind) { return kind == kValPropList || kind == kValEventList; }
static int fixed_count(int kind) { return kind == kValRect ? 4 : 2; }

int list_new(int kind, int count, ScriptValue& out)
{
    ScriptValue initial = out;
    if (!val_is_object_type(kind))
        return 0;
    uint32_t id;
    if (!s_lists.free_ids.empty()) {
        id = s_lists.free_ids.back();
        s_lists.free_ids.pop_back();
    } else if (s_lists.objects.size() < kMaxObjects) {
        s_lists.objects.emplace_back();
        id = uint32_t(s_lists.objects.size());
    } else {
        return 0;
    }
    ListObject& o = s_lists.objects[id - 1];
    uint32_t stamp = o.stamp + 1;
    o = ListObject {};
    o.kind = kind;
    o.stamp = stamp;
    o.refs = 1;
    val_set_object(kind, id, stamp, out);
    count = std::min(std::max(count, 0), kListMaxCount);
    if (!fixed_kind(kind) && val_is_object_type(val_type(initial)))
        count = 0; // a list of copies of one list is never asked for
    for (int i = 0; i < count && !fixed_kind(kind); ++i) {
        ScriptValue copy;
        val_copy(copy, initial);
        if (kind == kValLinearList) {
            s_lists.objects[id - 1].keys.push_back(copy);
        } else {
            ScriptValue key;
            val_init(key);
            s_lists.objects[id - 1].keys.push_back(key);
            s_lists.objects[id - 1].values.push_back(copy);
        }
    }
    return 1;
}

int list_is_live(const ScriptValue& v) { return lookup(v) != nullptr; }

uint32_t list_add_ref(const ScriptValue& v)
{
    ListObject* o = lookup(v);
    return o ? ++o->refs : kListNotLive;
}

static bool same_holder(const ListHolder& a, const ListHolder& b)
{
    return a.kind == b.kind && a.id == b.id && a.icon == b.icon;
}

static bool drop_holder(ListObject* o, const ListHolder& holder)
{
    auto it = std::find_if(o->holders.begin(), o->holders.end(), [&](const ListHolder& h) { return same_holder(h, holder); });
    if (it == o->holders.end())
        return false;
    o->holders.erase(it);
    return true;
}

static void drop_parent(const ScriptValue& element, uint32_t parent)
{
    if (ListObject* o = lookup(element))
        drop_holder(o, { kHolderList, parent, 0 });
}

// Releases an element that the list `parent` held.
static void release_element(ScriptValue& element, uint32_t parent)
{
    drop_parent(element, parent);
    val_free(element);
}

uint32_t list_release(const ScriptValue& v)
{
    ListObject* o = lookup(v);
    if (!o)
        return kListNotLive;
    if (--o->refs > 0)
        return o->refs;
    uint32_t id = value_id(v);
    std::vector<ScriptValue> keys = std::move(o->keys), values = std::move(o->values);
    o->keys.clear();
    o->values.clear();
    o->holders.clear();
    s_lists.free_ids.push_back(id);
    for (ScriptValue& e : keys)
        release_element(e, id);
    for (ScriptValue& e : values)
        release_element(e, id);
    return 0;
}

int list_count(const ScriptValue& v)
{
    ListObject* o = lookup(v);
    if (!o)
        return 0;
    return fixed_kind(o->kind) ? fixed_count(o->kind) : int(o->keys.size());
}

// Longest chain of lists holding id (0 when nothing holds it), capped past the limit.
static int height_above(uint32_t id, int depth)
{
    ListObject* o = object_by_id(id);
    if (!o || depth > kListMaxNesting)
        return depth;
    int best = depth;
    for (const ListHolder& h : o->holders)
        if (h.kind == kHolderList)
            best = std::max(best, height_above(h.id, depth + 1));
    return best;
}

// 1 when id is container or holds it; nesting below id in *depth.
static bool reaches(uint32_t id, uint32_t container, int level, int* depth)
{
    *depth = std::max(*depth, level);
    if (id == container)
        return true;
    ListObject* o = object_by_id(id);
    if (!o || level > kListMaxNesting)
        return false;
    for (const std::vector<ScriptValue>* half : { &o->keys, &o->values })
        for (const ScriptValue& e : *half)
            if (val_is_object_type(val_type(e)) && reaches(value_id(e), container, level + 1, depth))
                return true;
    return false;
}

// Storing x into the list `container` makes no cycle and no nesting past the limit.
static bool may_hold(uint32_t container, const ScriptValue& x)
{
    if (!val_is_object_type(val_type(x)) || fixed_kind(val_type(x)))
        return true;
    int depth = 0;
    if (reaches(value_id(x), container, 1, &depth))
        return false;
    return height_above(container, 0) + depth <= kListMaxNesting;
}

// A copy of x for the list id to hold: 0, or the copy's error.
static int held_copy(uint32_t id, const ScriptValue& x, ScriptValue& out)
{
    if (!may_hold(id, x))
        return kValErrBadList;
    int status = val_copy(out, x);
    if (status != 0)
        return status;
    if (ListObject* e = lookup(out))
        e->holders.push_back({ kHolderList, id, 0 });
    return 0;
}

static int fixed_set(ListObject* o, uint32_t id, int i, const ScriptValue& x)
{
    if (i < 1 || i > fixed_count(o->kind))
        return kValErrBadList;
    ScriptValue n;
    if (val_copy(n, x) != 0)
        return kValErrDeadObject;
    val_convert(n, kValInteger);
    o->fixed[i - 1] = val_type(n) == kValInteger ? val_integer(n) : 0;
    val_free(n);
    notify(id, 0);
    return 0;
}

// Stores x as element i of one half (keys, or the values of a pair list), filling with
// integer 0 up to i.
static int store_at(const ScriptValue& list, bool value_half, int i, const ScriptValue& x)
{
    ListObject* o = lookup(list);
    if (!o || i < 1 || i > kListMaxCount)
        return kValErrBadList;
    uint32_t id = value_id(list);
    if (fixed_kind(o->kind))
        return fixed_set(o, id, i, x);
    ScriptValue copy;
    int status = held_copy(id, x, copy);
    if (status != 0)
        return status;
    o = lookup(list);
    std::vector<ScriptValue>& half = value_half ? o->values : o->keys;
    if (i <= int(half.size()) && val_equal(half[i - 1], x)) {
        release_element(copy, id);
        return 0;
    }
    ScriptValue zero;
    val_set_integer(0, zero);
    while (int(o->keys.size()) < i) {
        o->keys.push_back(zero);
        if (pair_kind(o->kind))
            o->values.push_back(zero);
    }
    ScriptValue old = half[i - 1];
    half[i - 1] = copy;
    o->sort_order = 0;
    release_element(old, id);
    notify(id, 0);
    return 0;
}

enum OrderRule { kClearOrder, kKeepOrder };

// Inserts x (a pair list: the pair key, *value) before element i; past the count the list is
// first filled with integer 0 up to i - 1. Nothing changes when it is refused.
static int insert_elements(const ScriptValue& list, int i, const ScriptValue& x, const ScriptValue* value, OrderRule rule)
{
    ListObject* o = lookup(list);
    if (!o || fixed_kind(o->kind) || i < 1 || i > kListMaxCount || o->keys.size() >= size_t(kListMaxCount))
        return kValErrBadList;
    bool pairs = pair_kind(o->kind);
    if (pairs != (value != nullptr))
        return kValErrBadList;
    uint32_t id = value_id(list);
    if (!may_hold(id, x) || (value && !may_hold(id, *value)))
        return kValErrBadList;
    ScriptValue key_copy, value_copy;
    val_init(value_copy);
    int status = held_copy(id, x, key_copy);
    if (status == 0 && value && (status = held_copy(id, *value, value_copy)) != 0)
        release_element(key_copy, id);
    if (status != 0)
        return status;
    o = lookup(list);
    ScriptValue zero;
    val_set_integer(0, zero);
    while (int(o->keys.size()) < i - 1) {
        o->keys.push_back(zero);
        if (pairs)
            o->values.push_back(zero);
    }
    o->keys.insert(o->keys.begin() + (i - 1), key_copy);
    if (pairs)
        o->values.insert(o->values.begin() + (i - 1), value_copy);
    if (rule == kClearOrder)
        o->sort_order = 0;
    notify(id, 0);
    return 0;
}

static int ordered_compare(const ScriptValue& a, const ScriptValue& b, int order)
{
    int c = list_compare_elements(a, b);
    return order == 2 ? -c : c;
}

// Where sorted insertion puts x: before the first element not before it in the list's order;
// at the end without an order.
static int sorted_place(const ListObject& o, const ScriptValue& x)
{
    if (o.sort_order != 0)
        for (size_t i = 0; i < o.keys.size(); ++i)
            if (ordered_compare(o.keys[i], x, o.sort_order) >= 0)
                return int(i) + 1;
    return int(o.keys.size()) + 1;
}

int list_get_element(const ScriptValue& v, int i, ScriptValue& out)
{
    val_init(out);
    ListObject* o = lookup(v);
    if (!o || i < 1 || i > list_count(v))
        return kValErrBadList;
    if (fixed_kind(o->kind)) {
        val_set_integer(o->fixed[i - 1], out);
        return 0;
    }
    return val_copy(out, o->keys[i - 1]);
}

// The fields of a rect or point, read or set whole.
static int fixed_fields(const ScriptValue& v, int kind, int32_t** out)
{
    ListObject* o = lookup(v);
    if (!o || o->kind != kind)
        return kValErrBadList;
    *out = o->fixed;
    return 0;
}

int list_rect_get(const ScriptValue& rect, int32_t* left, int32_t* top, int32_t* right, int32_t* bottom)
{
    int32_t* f = nullptr;
    if (fixed_fields(rect, kValRect, &f) != 0)
        return kValErrBadList;
    *left = f[0], *top = f[1], *right = f[2], *bottom = f[3];
    return 0;
}

int list_rect_set(const ScriptValue& rect, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    int32_t* f = nullptr;
    if (fixed_fields(rect, kValRect, &f) != 0)
        return kValErrBadList;
    f[0] = left, f[1] = top, f[2] = right, f[3] = bottom;
    notify(value_id(rect), 0);
    return 0;
}

int list_point_get(const ScriptValue& point, int32_t* x, int32_t* y)
{
    int32_t* f = nullptr;
    if (fixed_fields(point, kValPoint, &f) != 0)
        return kValErrBadList;
    *x = f[0], *y = f[1];
    return 0;
}

int list_point_set(const ScriptValue& point, int32_t x, int32_t y)
{
    int32_t* f = nullptr;
    if (fixed_fields(point, kValPoint, &f) != 0)
        return kValErrBadList;
    f[0] = x, f[1] = y;
    notify(value_id(point), 0);
    return 0;
}

int list_set_element(const ScriptValue& v, int i, const ScriptValue& x) { return store_at(v, false, i, x); }

static bool plain_kind(const ScriptValue& v) { return val_type(v) >= kValRect && val_type(v) <= kValLinearList; }

int list_get_at(const ScriptValue& list, int i, ScriptValue& out)
{
    val_init(out);
    return plain_kind(list) ? list_get_element(list, i, out) : kValErrBadList;
}

int list_set_at(const ScriptValue& list, int i, const ScriptValue& x)
{
    return plain_kind(list) ? store_at(list, false, i, x) : kValErrBadList;
}

int list_append(const ScriptValue& list, const ScriptValue& x)
{
    ListObject* o = lookup(list);
    if (!o || o->kind != kValLinearList || o->keys.size() >= size_t(kListMaxCount))
        return kValErrBadList;
    return store_at(list, false, int(o->keys.size()) + 1, x);
}

static int key_index(const ScriptValue& list, const ScriptValue& key)
{
    ListObject* o = lookup(list);
    if (!o || !pair_kind(o->kind))
        return -1;
    for (size_t i = 0; i < o->keys.size(); ++i)
        if (list_compare_elements(o->keys[i], key) == 0)
            return int(i) + 1;
    return 0;
}

int list_prop_get(const ScriptValue& list, const ScriptValue& key, ScriptValue& out)
{
    val_init(out);
    int i = key_index(list, key);
    return i > 0 ? list_prop_value_at(list, i, out) : kValErrBadList;
}

int list_prop_add(const ScriptValue& list, const ScriptValue& key, const ScriptValue& x)
{
    ListObject* o = lookup(list);
    if (!o || !pair_kind(o->kind))
        return kValErrBadList;
    return insert_elements(list, sorted_place(*o, key), key, &x, kKeepOrder);
}

int list_prop_set(const ScriptValue& list, const ScriptValue& key, const ScriptValue& x)
{
    int i = key_index(list, key);
    if (i < 0)
        return kValErrBadList;
    return i > 0 ? store_at(list, true, i, x) : list_prop_add(list, key, x);
}

static int pair_half_at(const ScriptValue& list, bool value_half, int i, ScriptValue& out)
{
    val_init(out);
    ListObject* o = lookup(list);
    if (!o || !pair_kind(o->kind) || i < 1 || i > int(o->keys.size()))
        return kValErrBadList;
    return val_copy(out, (value_half ? o->values : o->keys)[i - 1]);
}

int list_prop_key_at(const ScriptValue& list, int i, ScriptValue& out) { return pair_half_at(list, false, i, out); }
int list_prop_value_at(const ScriptValue& list, int i, ScriptValue& out) { return pair_half_at(list, true, i, out); }

int list_compare_elements(const ScriptValue& a, const ScriptValue& b)
{
    bool la = val_is_object_type(val_type(a)), lb = val_is_object_type(val_type(b));
    if (la || lb) {
        if (la != lb)
            return la ? 1 : -1;
        int ca = list_count(a), cb = list_count(b);
        return ca < cb ? -1 : ca > cb ? 1 : 0;
    }
    auto texty = [](const ScriptValue& v) { return val_type(v) == kValString || val_type(v) == kValSymbol; };
    ScriptValue x, y;
    val_copy(x, a);
    val_copy(y, b);
    int order;
    if (texty(x) || texty(y)) {
        val_convert(x, kValString);
        val_convert(y, kValString);
        order = val_compare_text(x, y);
    } else {
        val_convert(x, kValReal);
        val_convert(y, kValReal);
        double p = val_real(x), q = val_real(y);
        order = p < q ? -1 : p > q ? 1 : 0;
    }
    val_free(x);
    val_free(y);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}


// --- change signals, holders and marks --------------------------------------------------------

// Every variable holding the list, directly or through lists that hold it, is signalled.
static void notify(uint32_t id, int depth)
{
    ListObject* o = object_by_id(id);
    if (!o || depth > kListMaxNesting)
        return;
    // The trigger code may change lists: walk a copy.
    std::vector<ListHolder> holders = o->holders;
    std::vector<uint32_t> parents;
    auto mark = calc_hooks().trig_mark_variable;
    for (const ListHolder& h : holders) {
        if (h.kind == kHolderVariable && mark)
            mark(h.id, h.icon);
        else if (h.kind == kHolderList)
            parents.push_back(h.id);
    }
    std::sort(parents.begin(), parents.end());
    parents.erase(std::unique(parents.begin(), parents.end()), parents.end());
    for (uint32_t parent : parents)
        notify(parent, depth + 1);
}

int list_notify_holders(uint32_t id)
{
    notify(id, 0);
    return 0;
}

int list_add_holder(const ListHolder& holder, const ScriptValue& v)
{
    ListObject* o = lookup(v);
    if (!o || (holder.kind != kHolderVariable && holder.kind != kHolderList))
        return kValErrBadList;
    o->holders.push_back(holder);
    return 0;
}

int list_drop_holder(const ListHolder& holder, const ScriptValue& v)
{
    ListObject* o = lookup(v);
    return o && drop_holder(o, holder) ? 0 : kValErrBadList;
}

int list_add_var_holder(uint32_t variable, uint16_t icon, const ScriptValue& v)
{
    return list_add_holder({ kHolderVariable, variable, icon }, v);
}

int list_drop_var_holder(uint32_t variable, uint16_t icon, const ScriptValue& v)
{
    return list_drop_holder({ kHolderVariable, variable, icon }, v);
}

static void put_holder(uint8_t* out, const ListHolder& h)
{
    plat::store_u16le(out, h.kind);
    plat::store_u32le(out + 2, h.id);
    plat::store_u16le(out + 6, h.icon);
}

static ListHolder read_holder(const uint8_t* in)
{
    return { plat::load_u16le(in), plat::load_u32le(in + 2), plat::load_u16le(in + 6) };
}

MemHandle list_collect_holders(uint32_t id, uint32_t* size)
{
    if (size)
        *size = 0;
    ListObject* o = object_by_id(id);
    if (!o || o->holders.empty())
        return MemHandle {};
    std::vector<uint8_t> records(o->holders.size() * kListHolderBytes);
    for (size_t i = 0; i < o->holders.size(); ++i)
        put_holder(records.data() + i * kListHolderBytes, o->holders[i]);
    MemHandle block = mem_alloc_copy(records.data(), records.size());
    if (block && size)
        *size = uint32_t(records.size());
    return block;
}

uint32_t list_insert_holders(const uint8_t* records, uint32_t size)
{
    if (!records || size == 0 || size % kListHolderBytes != 0)
        return 0;
    HolderChain chain;
    chain.used = true;
    for (uint32_t at = 0; at < size; at += kListHolderBytes) {
        ListHolder h = read_holder(records + at);
        if (h.kind != kHolderVariable && h.kind != kHolderList)
            return 0;
        chain.records.push_back(h);
    }
    std::vector<HolderChain>& chains = s_lists.chains;
    auto spare = std::find_if(chains.begin(), chains.end(), [](const HolderChain& c) { return !c.used; });
    if (spare == chains.end()) {
        chains.push_back(std::move(chain));
        return uint32_t(chains.size());
    }
    *spare = std::move(chain);
    return uint32_t(spare - chains.begin()) + 1;
}

// The records of a chain, which is then free again.
static std::vector<ListHolder> take_chain(uint32_t first)
{
    if (first == 0 || first > s_lists.chains.size() || !s_lists.chains[first - 1].used)
        return {};
    HolderChain& chain = s_lists.chains[first - 1];
    std::vector<ListHolder> records = std::move(chain.records);
    chain = HolderChain {};
    return records;
}

void list_free_holder_chain(uint32_t first) { take_chain(first); }

void list_clear_marks()
{
    for (ListObject& o : s_lists.objects)
        o.mark = 0;
}

void list_set_mark(const ScriptValue& v, uint16_t mark)
{
    if (ListObject* o = lookup(v))
        o->mark = mark;
}

uint16_t list_get_mark(const ScriptValue& v)
{
    ListObject* o = lookup(v);
    return o ? o->mark : 0;
}

uint32_t list_check_value(const ScriptValue& v) { return lookup(v) ? value_id(v) : 0; }

// --- insert, delete, sort and search ----------------------------------------------------------

int list_insert_at(const ScriptValue& list, int i, const ScriptValue& x)
{
    if (!plain_kind(list))
        return kValErrBadList;
    return insert_elements(list, i, x, nullptr, kClearOrder);
}

int list_prop_insert_at(const ScriptValue& list, int i, const ScriptValue& key, const ScriptValue& x)
{
    if (!pair_kind(val_type(list)))
        return kValErrBadList;
    return insert_elements(list, i, key, &x, kClearOrder);
}

int list_prop_set_at(const ScriptValue& list, int i, const ScriptValue& key, const ScriptValue& x)
{
    ListObject* o = lookup(list);
    if (!o || !pair_kind(o->kind) || i < 1 || i > kListMaxCount)
        return kValErrBadList;
    uint32_t id = value_id(list);
    if (!may_hold(id, key) || !may_hold(id, x))
        return kValErrBadList; // refused before either half changes
    int status = store_at(list, true, i, x);
    return status != 0 ? status : store_at(list, false, i, key);
}

int list_delete_at(const ScriptValue& list, int i)
{
    ListObject* o = lookup(list);
    if (!o || fixed_kind(o->kind) || i < 1 || i > int(o->keys.size()))
        return kValErrBadList;
    uint32_t id = value_id(list);
    ScriptValue key = o->keys[i - 1], value;
    val_init(value);
    o->keys.erase(o->keys.begin() + (i - 1));
    if (pair_kind(o->kind)) {
        value = o->values[i - 1];
        o->values.erase(o->values.begin() + (i - 1));
    }
    notify(id, 0);
    release_element(key, id);
    release_element(value, id);
    return 0;
}


int list_sort(const ScriptValue& list, int order)
{
    ListObject* o = lookup(list);
    if (!o || fixed_kind(o->kind) || (order != 1 && order != 2))
        return 0;
    std::vector<size_t> index(o->keys.size());
    for (size_t i = 0; i < index.size(); ++i)
        index[i] = i;
    std::vector<ScriptValue>& keys = o->keys;
    std::stable_sort(index.begin(), index.end(),
        [&](size_t a, size_t b) { return ordered_compare(keys[a], keys[b], order) < 0; });
    for (std::vector<ScriptValue>* half : { &o->keys, &o->values }) {
        if (half->empty())
            continue;
        std::vector<ScriptValue> sorted;
        for (size_t i : index)
            sorted.push_back((*half)[i]);
        *half = sorted;
    }
    o->sort_order = order;
    return 0;
}

int list_sort_order(const ScriptValue& list)
{
    ListObject* o = lookup(list);
    return o ? o->sort_order : 0;
}

int list_add(const ScriptValue& list, const ScriptValue& x)
{
    ListObject* o = lookup(list);
    if (!o || o->kind != kValLinearList)
        return 0;
    int at = sorted_place(*o, x);
    return insert_elements(list, at, x, nullptr, kKeepOrder) == 0 ? at : 0;
}

int list_find_value(const ScriptValue& list, const ScriptValue& x, int search_values)
{
    ListObject* o = lookup(list);
    if (!o)
        return 0;
    if (fixed_kind(o->kind)) {
        ScriptValue n;
        val_copy(n, x);
        val_convert(n, kValInteger);
        int32_t want = val_type(n) == kValInteger ? val_integer(n) : 0;
        val_free(n);
        for (int i = 0; i < fixed_count(o->kind); ++i)
            if (o->fixed[i] == want)
                return i + 1;
        return 0;
    }
    const std::vector<ScriptValue>& half = pair_kind(o->kind) && search_values ? o->values : o->keys;
    if (o->sort_order != 0 && &half == &o->keys) {
        // Halving search for the first element not before x, in the list's order.
        size_t low = 0, high = half.size();
        while (low < high) {
            size_t mid = low + (high - low) / 2;
            if (ordered_compare(half[mid], x, o->sort_order) < 0)
                low = mid + 1;
            else
                high = mid;
        }
        return low < half.size() && list_compare_elements(half[low], x) == 0 ? int(low) + 1 : 0;
    }
    for (size_t i = 0; i < half.size(); ++i)
        if (list_compare_elements(half[i], x) == 0)
            return int(i) + 1;
    return 0;
}


// --- saving and restoring ------------------------------------------------------------------

constexpr size_t kSavedHeader = 13;

static void put32(std::vector<uint8_t>& b, uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(x >> (8 * i)));
}

MemHandle list_save_value(const ScriptValue& v, uint32_t* size)
{
    ListObject* o = lookup(v);
    if (size)
        *size = 0;
    if (!o)
        return MemHandle {};
    uint32_t holder_bytes = 0;
    MemHandle holder_block = list_collect_holders(value_id(v), &holder_bytes);
    const uint8_t* holders = holder_block ? static_cast<const uint8_t*>(mem_address(holder_block)) : nullptr;
    bool fixed = fixed_kind(o->kind);
    uint32_t n = fixed ? uint32_t(fixed_count(o->kind)) : uint32_t(o->keys.size());
    std::vector<uint8_t> b { uint8_t(o->kind) };
    put32(b, holder_bytes);
    put32(b, n);
    put32(b, fixed ? 4 * n : 16 * n);
    if (holders)
        b.insert(b.end(), holders, holders + holder_bytes);
    mem_free(holder_block);
    if (fixed) {
        for (uint32_t i = 0; i < n; ++i)
            put32(b, uint32_t(o->fixed[i]));
    } else {
        for (const ScriptValue& e : o->keys)
            b.insert(b.end(), e.bytes, e.bytes + 16);
        for (const ScriptValue& e : o->values)
            b.insert(b.end(), e.bytes, e.bytes + 16);
    }
    MemHandle block = mem_alloc_copy(b.data(), b.size());
    if (block && size)
        *size = uint32_t(b.size());
    return block;
}

bool list_saved_slots(uint8_t* block, size_t size, void (*visit)(uint8_t* slot, void* user), void* user)
{
    if (!block || size < kSavedHeader || !val_is_object_type(block[0]))
        return false;
    if (fixed_kind(block[0]))
        return true; // numbers only
    uint32_t h = plat::load_u32le(block + 1), n = plat::load_u32le(block + 5), e = plat::load_u32le(block + 9);
    size_t halves = pair_kind(block[0]) ? 2 : 1;
    size_t room = size - kSavedHeader;
    if (h > room || e != 16 * uint64_t(n) || e > (room - h) / halves)
        return false;
    uint8_t* slots = block + kSavedHeader + h;
    for (size_t at = 0; at < halves * e; at += 16)
        visit(slots + at, user);
    return true;
}

int list_restore_begin()
{
    s_lists.restore_map.clear();
    s_lists.pending.clear();
    s_lists.restoring = true;
    return 0;
}

int list_add_restored_id(uint32_t stored, uint32_t new_id)
{
    s_lists.restore_map.push_back({ stored, new_id });
    return 1;
}

// A stored element this runtime can take back: numbers, symbols, references, inline texts
// ended inside their eight bytes, learner's-record texts, and object ids mapped at the end.
static bool storable(const uint8_t* raw)
{
    if (raw[0] != 0)
        return false;
    int type = raw[1];
    if (type == kValString) {
        uint32_t length = plat::load_u32le(raw + 4);
        if (raw[2] == kStoreLearner)
            return true;
        const void* nul = std::memchr(raw + 8, 0, kValInlineMax);
        return raw[2] == kStoreInline && nul && length == uint32_t(static_cast<const uint8_t*>(nul) - (raw + 8)) + 1;
    }
    if (val_is_object_type(type))
        return plat::load_u32le(raw + 2) != 0;
    return type >= kValInteger && type <= kValSymbol;
}

struct SavedList {
    int kind;
    uint32_t h, n, e;
    const uint8_t* holders;
    const uint8_t* elements;
};

// The block's fields when they fit its size and kind: 13 + h + e (+ e) <= size, h % 8 == 0.
static bool read_saved(const uint8_t* block, size_t size, int kind, SavedList& out)
{
    if (!block || size < kSavedHeader || block[0] != kind || !val_is_object_type(kind))
        return false;
    out.kind = kind;
    out.h = plat::load_u32le(block + 1);
    out.n = plat::load_u32le(block + 5);
    out.e = plat::load_u32le(block + 9);
    size_t room = size - kSavedHeader;
    if (out.h % 8 != 0 || out.h > room || out.e > room - out.h)
        return false;
    if (pair_kind(kind) && out.e > room - out.h - out.e)
        return false;
    if (fixed_kind(kind) ? out.n != uint32_t(fixed_count(kind)) || out.e != 4 * out.n
                         : out.n > uint32_t(kListMaxCount) || out.e != 16 * out.n)
        return false;
    out.holders = block + kSavedHeader;
    out.elements = out.holders + out.h;
    for (uint32_t i = 0; i < out.h; i += 8)
        if (plat::load_u16le(out.holders + i) != 1 && plat::load_u16le(out.holders + i) != 2)
            return false;
    for (uint32_t i = 0; !fixed_kind(kind) && i < (pair_kind(kind) ? 2 : 1) * out.e; i += 16)
        if (!storable(out.elements + i))
            return false;
    return true;
}

static void fill_restored(uint32_t id, const SavedList& saved)
{
    ListObject& o = s_lists.objects[id - 1];
    // Containing lists are known again from their elements when the ids are mapped.
    for (const ListHolder& h : take_chain(list_insert_holders(saved.holders, saved.h)))
        if (h.kind == kHolderVariable)
            o.holders.push_back(h);
    if (fixed_kind(saved.kind)) {
        for (uint32_t i = 0; i < saved.n; ++i)
            o.fixed[i] = int32_t(plat::load_u32le(saved.elements + 4 * i));
        return;
    }
    for (int half = 0; half < (pair_kind(saved.kind) ? 2 : 1); ++half) {
        std::vector<ScriptValue>& out = half ? o.values : o.keys;
        for (uint32_t i = 0; i < saved.n; ++i) {
            ScriptValue v;
            std::memcpy(v.bytes, saved.elements + half * saved.e + 16 * i, 16);
            if (val_is_object_type(val_type(v))) {
                s_lists.pending.push_back({ id, half == 1, i, v });
                val_init(v);
            }
            out.push_back(v);
        }
    }
}

int list_restore_value(const uint8_t* block, size_t size, ScriptValue& value)
{
    if (!s_lists.restoring)
        return kValErrNoRestore;
    SavedList saved;
    if (!read_saved(block, size, val_type(value), saved))
        return kValErrBadList;
    uint32_t stored = val_object_id(value);
    ScriptValue made;
    val_init(made);
    s_lists.restoring = false; // the new object is made under its own id
    int ok = list_new(saved.kind, 0, made);
    s_lists.restoring = true;
    if (!ok)
        return kValErrBadList;
    uint32_t id = val_object_id(made);
    fill_restored(id, saved);
    list_add_restored_id(stored, id);
    val_set_object(saved.kind, stored, val_stamp(made), value);
    return 0;
}

int list_restore_end()
{
    std::vector<PendingElement> pending = std::move(s_lists.pending);
    for (PendingElement& p : pending) {
        ScriptValue v = p.stored;
        ListObject* element = object_by_id(list_map_restored_id(val_object_id(v)));
        ListObject* list = object_by_id(p.list);
        if (!element || !list || element->kind != val_type(v) || !may_hold(p.list, v))
            continue; // an id the restore does not know stays the empty value
        uint32_t new_id = list_map_restored_id(val_object_id(v));
        val_set_object(element->kind, new_id, element->stamp, v);
        element->refs++;
        element->holders.push_back({ kHolderList, p.list, 0 });
        (p.value_half ? list->values : list->keys)[p.index] = v;
    }
    s_lists.restore_map.clear();
    s_lists.pending.clear();
    s_lists.restoring = false;
    return 0;
}

struct TextOut {
    FlexBuffer buffer;
    void put(const char* s) { flex_append(buffer, s, std::strlen(s)); }
};

static void write_value(TextOut& out, const ScriptValue& v, int use_default, uint32_t format, int escape);

// Opening, closing and separating texts of each kind; a pair list separates key and value
// with its separator and pairs with the list separator.
struct KindTexts {
    ListText open, close, separator;
};
static const KindTexts kKindTexts[] = {
    { kTextRect, kTextParen, kTextSeparator },  // rect(l, t, r, b)
    { kTextPoint, kTextParen, kTextSeparator }, // point(x, y)
    { kTextOpen, kTextClose, kTextSeparator },  // [a, b]
    { kTextOpen, kTextClose, kTextColon },      // [k:v, j:w], empty [:]
    { kTextOpen, kTextClose, kTextColon },      // event lists as property lists
};

static void write_list(TextOut& out, const ScriptValue& v, int use_default, uint32_t format, int escape)
{
    ListObject* o = lookup(v);
    if (!o)
        return;
    int kind = o->kind;
    const KindTexts& texts = kKindTexts[kind - kValRect];
    bool pairs = pair_kind(kind);
    out.put(s_lists.texts[texts.open]);
    int count = list_count(v);
    if (count == 0 && pairs)
        out.put(s_lists.texts[kTextColon]);
    for (int i = 1; i <= count; ++i) {
        if (i > 1)
            out.put(s_lists.texts[kTextSeparator]);
        ScriptValue e;
        list_get_element(v, i, e);
        write_value(out, e, use_default, format, escape);
        val_free(e);
        o = lookup(v);
        if (o && pairs) {
            out.put(s_lists.texts[texts.separator]);
            ScriptValue value;
            val_copy(value, o->values[i - 1]);
            write_value(out, value, use_default, format, escape);
            val_free(value);
        }
    }
    out.put(s_lists.texts[texts.close]);
}

static void write_value(TextOut& out, const ScriptValue& v, int use_default, uint32_t format, int escape)
{
    if (val_is_object_type(val_type(v))) {
        write_list(out, v, use_default, format, escape);
        return;
    }
    ScriptValue text;
    val_copy(text, v);
    bool quoted = val_type(text) == kValString;
    val_convert_formatted(text, kValString, use_default, format);
    const char* chars = var_lock_value_data(text);
    if (quoted)
        out.put("\"");
    for (const char* p = chars; *p; ++p) {
        const char* escaped = nullptr;
        if (escape)
            escaped = *p == '\r' ? "\\r" : *p == '\t' ? "\\t" : *p == '"' ? "\\\"" : *p == '\\' ? "\\\\" : nullptr;
        if (escaped)
            out.put(escaped);
        else
            flex_append(out.buffer, p, 1);
    }
    if (quoted)
        out.put("\"");
    var_unlock_value_data(text);
    val_free(text);
}

MemHandle list_to_text(const ScriptValue& v, int use_default, uint32_t format, int escape)
{
    if (!lookup(v))
        return MemHandle {};
    TextOut out;
    if (!flex_init(out.buffer, 256, 256))
        return MemHandle {};
    write_list(out, v, use_default, format, escape);
    flex_append(out.buffer, "", 1);
    size_t length;
    return flex_finish(out.buffer, &length);
}
