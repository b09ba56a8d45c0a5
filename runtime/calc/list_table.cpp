#include "runtime/calc/list_table.h"

#include "runtime/base/flex.h"
#include "runtime/calc/interp.h"

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
};

struct ListTables {
    bool ready = false;
    std::vector<ListObject> objects; // slot id - 1
    std::vector<uint32_t> free_ids;
};

static ListTables s_lists;

int list_tables_init()
{
    s_lists.ready = true;
    return 1;
}

void list_tables_free()
{
    // Releasing an element may free a later slot: clear everything in one pass by hand.
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

static ListObject* lookup(const ScriptValue& v)
{
    if (!val_is_object_type(val_type(v)))
        return nullptr;
    uint32_t id = val_object_id(v);
    if (id == 0 || id > s_lists.objects.size())
        return nullptr;
    ListObject& o = s_lists.objects[id - 1];
    return o.refs > 0 && o.stamp == val_stamp(v) && o.kind == val_type(v) ? &o : nullptr;
}

static bool fixed_kind(int kind) { return kind == kValRect || kind == kValPoint; }
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
    count = std::min(std::max(count, 0), kListMaxCount);
    if (!fixed_kind(kind)) {
        for (int i = 0; i < count; ++i) {
            ScriptValue copy;
            val_copy(copy, initial);
            if (kind == kValLinearList) {
                o.keys.push_back(copy);
            } else {
                ScriptValue key;
                val_init(key);
                o.keys.push_back(key);
                o.values.push_back(copy);
            }
        }
    }
    val_set_object(kind, id, stamp, out);
    return 1;
}

int list_is_live(const ScriptValue& v) { return lookup(v) != nullptr; }

uint32_t list_add_ref(const ScriptValue& v)
{
    ListObject* o = lookup(v);
    return o ? ++o->refs : kListNotLive;
}

uint32_t list_release(const ScriptValue& v)
{
    ListObject* o = lookup(v);
    if (!o)
        return kListNotLive;
    if (--o->refs > 0)
        return o->refs;
    std::vector<ScriptValue> keys = std::move(o->keys), values = std::move(o->values);
    o->keys.clear();
    o->values.clear();
    s_lists.free_ids.push_back(val_object_id(v));
    for (ScriptValue& e : keys)
        val_free(e);
    for (ScriptValue& e : values)
        val_free(e);
    return 0;
}

int list_count(const ScriptValue& v)
{
    ListObject* o = lookup(v);
    if (!o)
        return 0;
    return fixed_kind(o->kind) ? fixed_count(o->kind) : int(o->keys.size());
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

int list_set_element(const ScriptValue& v, int i, const ScriptValue& x)
{
    ListObject* o = lookup(v);
    if (!o || i < 1 || i > kListMaxCount)
        return kValErrBadList;
    if (fixed_kind(o->kind)) {
        if (i > fixed_count(o->kind))
            return kValErrBadList;
        ScriptValue n = x;
        ScriptValue copy;
        val_copy(copy, n);
        val_convert(copy, kValInteger);
        o->fixed[i - 1] = val_type(copy) == kValInteger ? val_integer(copy) : 0;
        val_free(copy);
        return 0;
    }
    ScriptValue copy;
    int status = val_copy(copy, x);
    if (status != 0)
        return status;
    o = lookup(v); // a copy may not move objects, but stay safe
    ScriptValue zero;
    val_set_integer(0, zero);
    while (int(o->keys.size()) < i) {
        o->keys.push_back(zero);
        if (o->kind != kValLinearList)
            o->values.push_back(ScriptValue {});
    }
    ScriptValue old = o->keys[i - 1];
    o->keys[i - 1] = copy;
    val_free(old);
    return 0;
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
