#include "runtime/calc/list_table.h"

#include "runtime/base/flex.h"
#include "runtime/calc/codeblock.h"
#include "runtime/calc/interp.h"
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
    std::vector<uint32_t> parents;   // ids of the lists holding it, once per element
};

struct ListTables {
    bool ready = false;
    std::vector<ListObject> objects; // slot id - 1
    std::vector<uint32_t> free_ids;
};

static ListTables s_lists;

// Lists may nest at most this deep, so that text forms, operators and release never recurse
// without end; deeper nesting is refused like a cycle.
constexpr int kListMaxNesting = 32;

// The calculation language's start-up step also lends the converter of stored code blocks.
int list_tables_init()
{
    s_lists.ready = true;
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

static ListObject* lookup(const ScriptValue& v)
{
    if (!val_is_object_type(val_type(v)))
        return nullptr;
    ListObject* o = object_by_id(val_object_id(v));
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

static void drop_parent(const ScriptValue& element, uint32_t parent)
{
    if (ListObject* o = lookup(element)) {
        auto it = std::find(o->parents.begin(), o->parents.end(), parent);
        if (it != o->parents.end())
            o->parents.erase(it);
    }
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
    uint32_t id = val_object_id(v);
    std::vector<ScriptValue> keys = std::move(o->keys), values = std::move(o->values);
    o->keys.clear();
    o->values.clear();
    o->parents.clear();
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
    for (uint32_t parent : o->parents)
        best = std::max(best, height_above(parent, depth + 1));
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
            if (val_is_object_type(val_type(e)) && reaches(val_object_id(e), container, level + 1, depth))
                return true;
    return false;
}

// Storing x into the list `container` makes no cycle and no nesting past the limit.
static bool may_hold(uint32_t container, const ScriptValue& x)
{
    if (!val_is_object_type(val_type(x)) || fixed_kind(val_type(x)))
        return true;
    int depth = 0;
    if (reaches(val_object_id(x), container, 1, &depth))
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
        e->parents.push_back(id);
    return 0;
}

static int fixed_set(ListObject* o, int i, const ScriptValue& x)
{
    if (i < 1 || i > fixed_count(o->kind))
        return kValErrBadList;
    ScriptValue n;
    if (val_copy(n, x) != 0)
        return kValErrDeadObject;
    val_convert(n, kValInteger);
    o->fixed[i - 1] = val_type(n) == kValInteger ? val_integer(n) : 0;
    val_free(n);
    return 0;
}

// Stores x as element i of one half (keys, or the values of a pair list), filling with
// integer 0 up to i.
static int store_at(const ScriptValue& list, bool value_half, int i, const ScriptValue& x)
{
    ListObject* o = lookup(list);
    if (!o || i < 1 || i > kListMaxCount)
        return kValErrBadList;
    if (fixed_kind(o->kind))
        return fixed_set(o, i, x);
    uint32_t id = val_object_id(list);
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
    release_element(old, id);
    return 0;
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
    if (!o || !pair_kind(o->kind) || o->keys.size() >= size_t(kListMaxCount))
        return kValErrBadList;
    int i = int(o->keys.size()) + 1;
    int status = store_at(list, true, i, x);
    if (status == 0)
        status = store_at(list, false, i, key);
    if (status != 0 && (o = lookup(list)) && int(o->keys.size()) == i) {
        // The pair goes again as a whole.
        uint32_t id = val_object_id(list);
        release_element(o->keys.back(), id);
        release_element(o->values.back(), id);
        o->keys.pop_back();
        o->values.pop_back();
    }
    return status;
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

struct TextOut {
    FlexBuffer buffer;
    void put(const char* s) { flex_append(buffer, s, std::strlen(s)); }
};

static void write_value(TextOut& out, const ScriptValue& v, int use_default, uint32_t format, int escape);

static void write_list(TextOut& out, const ScriptValue& v, int use_default, uint32_t format, int escape)
{
    ListObject* o = lookup(v);
    if (!o)
        return;
    int kind = o->kind;
    out.put(kind == kValRect ? "rect(" : kind == kValPoint ? "point(" : "[");
    int count = list_count(v);
    if (count == 0 && (kind == kValPropList || kind == kValEventList))
        out.put(":");
    for (int i = 1; i <= count; ++i) {
        if (i > 1)
            out.put(", ");
        ScriptValue e;
        list_get_element(v, i, e);
        write_value(out, e, use_default, format, escape);
        val_free(e);
        o = lookup(v);
        if (o && (kind == kValPropList || kind == kValEventList)) {
            out.put(":");
            ScriptValue value;
            val_copy(value, o->values[i - 1]);
            write_value(out, value, use_default, format, escape);
            val_free(value);
        }
    }
    out.put(fixed_kind(kind) ? ")" : "]");
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
