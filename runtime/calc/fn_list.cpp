// The list, rect and point functions and the type functions. Lists are shared objects: a
// function that changes one in place changes it for every holder, and the list table signals
// the holders on each change.
#include "runtime/calc/fn_common.h"

#include "runtime/base/symdict.h"
#include "runtime/calc/fn_eval.h"
#include "runtime/calc/list_table.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace {

constexpr int32_t kNotAList = -1;
constexpr int64_t kArrayMaxElements = int64_t(1) << 20; // all dimensions together

bool is_list(const ScriptValue& v) { return val_is_object_type(val_type(v)) && list_is_live(v); }
bool is_pair_list(const ScriptValue& v)
{
    return (val_type(v) == kValPropList || val_type(v) == kValEventList) && list_is_live(v);
}
bool is_rect(const ScriptValue& v) { return val_type(v) == kValRect && list_is_live(v); }
bool is_point(const ScriptValue& v) { return val_type(v) == kValPoint && list_is_live(v); }

// Element i as the functions see it: the value of a pair, else the element.
int element_at(const ScriptValue& list, int i, ScriptValue& out)
{
    return is_pair_list(list) ? list_prop_value_at(list, i, out) : list_get_at(list, i, out);
}

// All elements (keys or values) as copies the caller frees.
std::vector<ScriptValue> elements_of(const ScriptValue& list, bool keys)
{
    std::vector<ScriptValue> out(size_t(list_count(list)));
    for (size_t i = 0; i < out.size(); ++i) {
        val_init(out[i]);
        int at = int(i + 1);
        if (is_pair_list(list))
            keys ? list_prop_key_at(list, at, out[i]) : list_prop_value_at(list, at, out[i]);
        else
            list_get_at(list, at, out[i]);
    }
    return out;
}

void free_all(std::vector<ScriptValue>& values)
{
    for (ScriptValue& v : values)
        val_free(v);
}

void fn_add_linear(int argc, ScriptValue* args, ScriptValue& result)
{
    if (val_type(args[0]) != kValLinearList || !list_is_live(args[0])) {
        val_set_integer(kNotAList, result);
        return;
    }
    if (argc < 3)
        val_set_integer(list_add(args[0], args[1]) ? 0 : kValErrNoMemory, result);
    else
        val_set_integer(list_insert_at(args[0], val_integer(args[2]), args[1]), result);
}

void fn_add_property(int argc, ScriptValue* args, ScriptValue& result)
{
    if (!is_pair_list(args[0])) {
        val_set_integer(kNotAList, result);
        return;
    }
    if (argc < 4) {
        val_set_integer(list_prop_add(args[0], args[1], args[2]), result);
        return;
    }
    // An index past the count appends the pair, with no filler pairs before it.
    int i = std::min(val_integer(args[3]), int32_t(list_count(args[0]) + 1));
    val_set_integer(list_prop_insert_at(args[0], i, args[1], args[2]), result);
}

void fn_list_count(int, ScriptValue* args, ScriptValue& result)
{
    val_set_integer(is_list(args[0]) ? list_count(args[0]) : kNotAList, result);
}

void fn_delete_at_index(int, ScriptValue* args, ScriptValue& result)
{
    val_set_integer(is_list(args[0]) ? list_delete_at(args[0], val_integer(args[1])) : kNotAList, result);
}

// The first i from start whose element (keys: key) equals x; 0 when none.
int32_t find_from(const ScriptValue& list, const ScriptValue& x, int32_t start, bool keys)
{
    int32_t count = list_count(list);
    for (int32_t i = std::max(start, int32_t(1)); i <= count; ++i) {
        ScriptValue e;
        val_init(e);
        int status = keys ? list_prop_key_at(list, i, e) : element_at(list, i, e);
        bool equal = status == 0 && list_compare_elements(e, x) == 0;
        val_free(e);
        if (equal)
            return i;
    }
    return 0;
}

void fn_delete_at_property(int, ScriptValue* args, ScriptValue& result)
{
    int32_t i = is_pair_list(args[0]) ? find_from(args[0], args[1], 1, true) : 0;
    val_set_integer(i ? list_delete_at(args[0], i) : kNotAList, result);
}

void fn_find_value(int argc, ScriptValue* args, ScriptValue& result)
{
    if (!is_list(args[0])) {
        val_set_integer(kNotAList, result);
        return;
    }
    val_set_integer(find_from(args[0], args[1], fn_int_arg(argc, args, 2, 1), false), result);
}

void fn_find_property(int argc, ScriptValue* args, ScriptValue& result)
{
    if (!is_pair_list(args[0])) {
        val_set_integer(kNotAList, result);
        return;
    }
    val_set_integer(find_from(args[0], args[1], fn_int_arg(argc, args, 2, 1), true), result);
}

void fn_set_at_index(int, ScriptValue* args, ScriptValue& result)
{
    const ScriptValue& list = args[0];
    int32_t i = val_integer(args[2]);
    if (!is_list(list)) {
        val_set_integer(kNotAList, result);
        return;
    }
    if (!is_pair_list(list)) {
        val_set_integer(list_set_at(list, i, args[1]), result);
        return;
    }
    ScriptValue key;
    val_init(key);
    if (i >= 1 && i <= list_count(list))
        list_prop_key_at(list, i, key);
    else
        val_set_integer(0, key);
    val_set_integer(list_prop_set_at(list, i, key, args[1]), result);
    val_free(key);
}

// --- sorting ----------------------------------------------------------------------------------

// Puts the elements (both halves of a pair list) in the order of permutation.
int apply_permutation(const ScriptValue& list, const std::vector<size_t>& permutation)
{
    bool pairs = is_pair_list(list);
    std::vector<ScriptValue> keys = elements_of(list, true);
    std::vector<ScriptValue> values = pairs ? elements_of(list, false) : std::vector<ScriptValue>();
    int status = 0;
    for (size_t i = 0; i < permutation.size() && status == 0; ++i) {
        int at = int(i + 1);
        size_t from = permutation[i];
        status = pairs ? list_prop_set_at(list, at, keys[from], values[from]) : list_set_at(list, at, keys[from]);
    }
    free_all(keys);
    free_all(values);
    return status;
}

void sort_lists(int argc, ScriptValue* args, ScriptValue& result, bool by_keys)
{
    const ScriptValue& first = args[0];
    if (by_keys ? !is_pair_list(first) : !is_list(first)) {
        val_set_integer(kNotAList, result);
        return;
    }
    int count = list_count(first);
    int lists = argc;
    bool ascending = true;
    if (argc > 1 && !val_is_object_type(val_type(args[argc - 1]))) {
        ScriptValue order;
        val_copy(order, args[argc - 1]);
        ascending = val_is_true(order) != 0;
        val_free(order);
        lists = argc - 1;
    }
    for (int i = 1; i < lists; ++i) {
        if (!is_list(args[i]) || list_count(args[i]) != count) {
            val_set_integer(kNotAList, result);
            return;
        }
    }
    std::vector<ScriptValue> keys = elements_of(first, by_keys);
    std::vector<size_t> permutation(keys.size());
    std::iota(permutation.begin(), permutation.end(), size_t(0));
    std::stable_sort(permutation.begin(), permutation.end(), [&](size_t a, size_t b) {
        int c = list_compare_elements(keys[a], keys[b]);
        return ascending ? c < 0 : c > 0;
    });
    free_all(keys);
    // A list given twice is one object: it is reordered once.
    std::vector<uint32_t> done;
    int status = 0;
    for (int i = 0; i < lists && status == 0; ++i) {
        uint32_t id = val_object_id(args[i]);
        if (std::find(done.begin(), done.end(), id) != done.end())
            continue;
        done.push_back(id);
        status = apply_permutation(args[i], permutation);
    }
    val_set_integer(status == 0 ? 0 : kNotAList, result);
}

void fn_sort_by_value(int argc, ScriptValue* args, ScriptValue& result) { sort_lists(argc, args, result, false); }
void fn_sort_by_property(int argc, ScriptValue* args, ScriptValue& result) { sort_lists(argc, args, result, true); }

void fn_property_at_index(int, ScriptValue* args, ScriptValue& result)
{
    if (!is_pair_list(args[0]) || list_prop_key_at(args[0], val_integer(args[1]), result) != 0)
        val_init(result);
}

void fn_value_at_index(int, ScriptValue* args, ScriptValue& result)
{
    if (!is_list(args[0]) || element_at(args[0], val_integer(args[1]), result) != 0)
        val_init(result);
}

// --- copies and arrays ------------------------------------------------------------------------

int copy_list(const ScriptValue& list, ScriptValue& out);

// A copy for a new list: lists copied in turn, other values as they are.
int copy_element(const ScriptValue& v, ScriptValue& out)
{
    if (val_is_object_type(val_type(v)))
        return copy_list(v, out);
    return val_copy(out, v) == 0;
}

int copy_list(const ScriptValue& list, ScriptValue& out)
{
    if (!is_list(list))
        return 0;
    bool pairs = is_pair_list(list);
    std::vector<ScriptValue> keys = elements_of(list, true);
    std::vector<ScriptValue> values = pairs ? elements_of(list, false) : std::vector<ScriptValue>();
    val_init(out);
    bool ok = list_new(val_type(list), 0, out) != 0;
    for (size_t i = 0; ok && i < keys.size(); ++i) {
        ScriptValue key, value;
        val_init(key), val_init(value);
        ok = copy_element(keys[i], key) && (!pairs || copy_element(values[i], value));
        int at = int(i + 1);
        if (ok)
            ok = (pairs ? list_prop_set_at(out, at, key, value) : list_set_at(out, at, key)) == 0;
        val_free(key), val_free(value);
    }
    free_all(keys);
    free_all(values);
    if (!ok)
        val_free(out);
    return ok;
}

void fn_copy_list(int, ScriptValue* args, ScriptValue& result)
{
    if (!copy_list(args[0], result))
        val_init(result);
}

int make_array(const ScriptValue& initial, const int32_t* dims, int count, ScriptValue& out)
{
    int32_t size = std::max(dims[0], int32_t(0));
    out = initial; // list_new reads the initial value from out
    if (!list_new(kValLinearList, size, out))
        return val_init(out), 0;
    bool ok = true;
    for (int32_t i = 1; ok && i <= size && (count > 1 || val_is_object_type(val_type(initial))); ++i) {
        ScriptValue element;
        val_init(element);
        ok = count > 1 ? make_array(initial, dims + 1, count - 1, element) != 0 : val_copy(element, initial) == 0;
        ok = ok && list_set_at(out, i, element) == 0;
        val_free(element);
    }
    if (!ok)
        val_free(out);
    return ok;
}

void fn_array(int argc, ScriptValue* args, ScriptValue& result)
{
    std::vector<int32_t> dims;
    int64_t total = 1;
    for (int i = 1; i < argc; ++i) {
        dims.push_back(val_integer(args[i]));
        total *= std::max<int64_t>(dims.back(), 1);
        // Dimensions whose product no memory holds are refused before anything is made.
        if (total > kArrayMaxElements) {
            val_init(result);
            return;
        }
    }
    if (dims.empty() || !make_array(args[0], dims.data(), int(dims.size()), result))
        val_init(result);
}

// --- rects and points -------------------------------------------------------------------------

void new_rect(int32_t left, int32_t top, int32_t right, int32_t bottom, ScriptValue& result)
{
    val_init(result);
    if (!list_new(kValRect, 4, result) || list_rect_set(result, left, top, right, bottom) != 0)
        val_free(result);
}

int32_t integer_of(const ScriptValue& v)
{
    ScriptValue n;
    val_copy(n, v);
    val_convert(n, kValInteger);
    int32_t x = val_type(n) == kValInteger ? val_integer(n) : 0;
    val_free(n);
    return x;
}

void fn_rect(int argc, ScriptValue* args, ScriptValue& result)
{
    if (argc == 2 && is_point(args[0]) && is_point(args[1])) {
        int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        list_point_get(args[0], &x1, &y1);
        list_point_get(args[1], &x2, &y2);
        new_rect(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2), result);
    } else if (argc == 4) {
        new_rect(integer_of(args[0]), integer_of(args[1]), integer_of(args[2]), integer_of(args[3]), result);
    } else {
        val_init(result);
    }
}

void fn_point(int, ScriptValue* args, ScriptValue& result)
{
    val_init(result);
    if (!list_new(kValPoint, 2, result) || list_point_set(result, val_integer(args[0]), val_integer(args[1])) != 0)
        val_free(result);
}

struct RectFields {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

bool rect_fields(const ScriptValue& v, RectFields& r)
{
    return is_rect(v) && list_rect_get(v, &r.left, &r.top, &r.right, &r.bottom) == 0;
}

void fn_intersect(int, ScriptValue* args, ScriptValue& result)
{
    RectFields a, b;
    if (!rect_fields(args[0], a) || !rect_fields(args[1], b)) {
        val_init(result);
        return;
    }
    new_rect(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom), result);
}

void fn_union_rect(int, ScriptValue* args, ScriptValue& result)
{
    RectFields a, b;
    if (!rect_fields(args[0], a) || !rect_fields(args[1], b)) {
        val_init(result);
        return;
    }
    new_rect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom), result);
}

// Coordinates wrap as 32-bit integers do in the language.
int32_t add_wrapping(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }

void fn_inflate_rect(int, ScriptValue* args, ScriptValue& result)
{
    RectFields r;
    if (!rect_fields(args[0], r)) {
        val_set_integer(kNotAList, result);
        return;
    }
    int32_t dx = val_integer(args[1]), dy = val_integer(args[2]);
    val_set_integer(list_rect_set(args[0], add_wrapping(r.left, -dx), add_wrapping(r.top, -dy),
                        add_wrapping(r.right, dx), add_wrapping(r.bottom, dy)), result);
}

void fn_offset_rect(int, ScriptValue* args, ScriptValue& result)
{
    RectFields r;
    if (!rect_fields(args[0], r)) {
        val_set_integer(kNotAList, result);
        return;
    }
    int32_t dx = val_integer(args[1]), dy = val_integer(args[2]);
    val_set_integer(list_rect_set(args[0], add_wrapping(r.left, dx), add_wrapping(r.top, dy),
                        add_wrapping(r.right, dx), add_wrapping(r.bottom, dy)), result);
}

void fn_point_in_rect(int, ScriptValue* args, ScriptValue& result)
{
    RectFields r;
    int32_t x = 0, y = 0;
    bool inside = rect_fields(args[0], r) && is_point(args[1]) && list_point_get(args[1], &x, &y) == 0
        && r.left <= x && x <= r.right && r.top <= y && y <= r.bottom;
    val_set_integer(inside ? 1 : 0, result);
}

// --- aggregates -------------------------------------------------------------------------------

// The integers an aggregate works on: a lone list's elements from the last to the first, else
// the arguments. false for a list that has gone.
bool aggregate_inputs(int argc, ScriptValue* args, std::vector<int32_t>& out)
{
    if (argc == 1 && val_is_object_type(val_type(args[0]))) {
        if (!list_is_live(args[0]))
            return false;
        for (int i = list_count(args[0]); i >= 1; --i) {
            ScriptValue e;
            val_init(e);
            element_at(args[0], i, e);
            out.push_back(integer_of(e));
            val_free(e);
        }
        return true;
    }
    for (int i = 0; i < argc; ++i)
        out.push_back(i == 0 ? integer_of(args[0]) : val_integer(args[i]));
    return true;
}

void fn_min(int argc, ScriptValue* args, ScriptValue& result)
{
    std::vector<int32_t> xs;
    bool live = aggregate_inputs(argc, args, xs);
    int32_t m = std::numeric_limits<int32_t>::max();
    for (int32_t x : xs)
        m = std::min(m, x);
    val_set_integer(live && xs.empty() ? 0 : m, result);
}

void fn_max(int argc, ScriptValue* args, ScriptValue& result)
{
    std::vector<int32_t> xs;
    bool live = aggregate_inputs(argc, args, xs);
    int32_t m = std::numeric_limits<int32_t>::min();
    for (int32_t x : xs)
        m = std::max(m, x);
    val_set_integer(live && xs.empty() ? 0 : m, result);
}

int32_t wrapping_sum(const std::vector<int32_t>& xs)
{
    uint32_t sum = 0;
    for (int32_t x : xs)
        sum += uint32_t(x);
    return int32_t(sum);
}

void fn_sum(int argc, ScriptValue* args, ScriptValue& result)
{
    std::vector<int32_t> xs;
    aggregate_inputs(argc, args, xs);
    val_set_integer(wrapping_sum(xs), result);
}

void fn_average(int argc, ScriptValue* args, ScriptValue& result)
{
    std::vector<int32_t> xs;
    aggregate_inputs(argc, args, xs);
    val_set_integer(xs.empty() ? 0 : int32_t(int64_t(wrapping_sum(xs)) / int64_t(xs.size())), result);
}

// --- types ------------------------------------------------------------------------------------

void converted_copy(const ScriptValue& v, int target, ScriptValue& result)
{
    val_copy(result, v);
    val_convert(result, target);
}

void fn_number(int, ScriptValue* args, ScriptValue& result) { converted_copy(args[0], kValNumber, result); }
void fn_real(int, ScriptValue* args, ScriptValue& result) { converted_copy(args[0], kValReal, result); }
void fn_string(int, ScriptValue* args, ScriptValue& result) { converted_copy(args[0], kValString, result); }

void fn_fraction(int, ScriptValue* args, ScriptValue& result)
{
    double x = val_real(args[0]);
    val_set_real(std::isfinite(x) ? x - std::trunc(x) : 0.0, result);
}

void fn_symbol(int, ScriptValue* args, ScriptValue& result)
{
    if (val_type(args[0]) == kValString) {
        std::string name = ArgText(args[0]).str();
        val_set_symbol(symdict_intern(name.c_str() + (name[0] == '#' ? 1 : 0), 1), result);
        return;
    }
    ScriptValue s;
    converted_copy(args[0], kValSymbol, s);
    char name[64];
    uint32_t id = val_type(s) == kValSymbol ? val_word(s) : 0;
    val_free(s);
    val_set_symbol(id && symdict_name(id, name, sizeof name) ? id : 0, result);
}

void fn_type_of(int, ScriptValue* args, ScriptValue& result)
{
    static const char* const kTypeNames[] = { "string", "integer", "real", nullptr, "symbol", "rect", "point",
        "linearList", "propList", "event" };
    int type = val_type(args[0]);
    const char* name = type >= 0 && type <= kValEventList ? kTypeNames[type] : nullptr;
    val_set_symbol(name ? symdict_intern(name, 0) : 0, result);
}

void fn_list(int, ScriptValue* args, ScriptValue& result)
{
    const ScriptValue& v = args[0];
    int status = 0;
    std::string message;
    if (val_type(v) == kValLinearList && list_is_live(v)) {
        val_copy(result, v);
    } else if (val_type(v) == kValString && fn_text_is_list_literal(ArgText(v).c_str())) {
        status = fn_eval_list_literal(sysfn_current_icon(), ArgText(v).c_str(), result, message);
    } else {
        val_init(result);
        if (!list_new(kValLinearList, 0, result) || list_append(result, v) != 0) {
            val_free(result);
            status = kValErrNoMemory;
        }
    }
    fn_report_eval(status, message);
}

const SysFnBinding kListFunctions[] = {
    { 46, fn_list },               // List
    { 209, fn_add_linear },        // AddLinear
    { 210, fn_add_property },      // AddProperty
    { 211, fn_array },             // Array
    { 212, fn_list_count },        // ListCount
    { 213, fn_delete_at_index },   // DeleteAtIndex
    { 214, fn_delete_at_property }, // DeleteAtProperty
    { 215, fn_property_at_index }, // PropertyAtIndex
    { 216, fn_find_value },        // FindValue
    { 217, fn_find_property },     // FindProperty
    { 218, fn_set_at_index },      // SetAtIndex
    { 219, fn_sort_by_value },     // SortByValue
    { 220, fn_sort_by_property },  // SortByProperty
    { 221, fn_value_at_index },    // ValueAtIndex
    { 222, fn_copy_list },         // CopyList
    { 223, fn_min },               // Min
    { 224, fn_max },               // Max
    { 225, fn_rect },              // Rect
    { 226, fn_point },             // Point
    { 227, fn_inflate_rect },      // InflateRect
    { 228, fn_point_in_rect },     // PointInRect
    { 229, fn_intersect },         // Intersect
    { 230, fn_offset_rect },       // OffsetRect
    { 231, fn_union_rect },        // UnionRect
    { 232, fn_sum },               // Sum
    { 233, fn_average },           // Average
    { 234, fn_fraction },          // Fraction
    { 235, fn_symbol },            // Symbol
    { 236, fn_string },            // String
    { 237, fn_real },              // Real
    { 238, fn_number },            // Number
    { 239, fn_type_of },           // TypeOf
};

} // namespace

void fn_bind_list_functions() { fn_bind_all(kListFunctions); }
