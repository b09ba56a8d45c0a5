// Deriving jamo glyphs and their variants. For one role (initial, medial or final) a context
// is the pair of the other two jamo, and every syllable gives the role's jamo a target
// picture: the face's own jamo glyph where it composes the syllable, else the part of its
// whole drawing that belongs to the jamo. Contexts are then clustered into at most 254
// variants (one more is the lone jamo), cheapest merges first, each variant's glyph being the
// weighted majority of its contexts' targets. Syllables the face draws whole weigh more: they
// are the common ones.
#include "jamo_variants.h"

#include "platform/kernel/byte_io.h"
#include "typing/bitmap_font.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <map>

namespace {

constexpr int kSyllables = 11172;
constexpr char32_t kFirstSyllable = 0xAC00;
constexpr int kMaxVariants = 254; // table entries are bytes, and the lone jamo take one more
constexpr int kWholeWeight = 8; // syllables the face draws whole, against 1 for composites
constexpr int kCellPixels = kFontCellSize * kFontCellSize;

// The ink of a 20 x 20 cell as bits, for fast comparison.
struct Pixels {
    std::array<uint64_t, (kCellPixels + 63) / 64> words {};

    bool get(int i) const { return words[i / 64] >> (i % 64) & 1; }
    void set(int i) { words[i / 64] |= uint64_t(1) << (i % 64); }
    bool operator==(const Pixels&) const = default;
    bool operator<(const Pixels& other) const { return words < other.words; }
};

int differing(const Pixels& a, const Pixels& b)
{
    int count = 0;
    for (size_t k = 0; k < a.words.size(); ++k)
        count += std::popcount(a.words[k] ^ b.words[k]);
    return count;
}

struct Role {
    int part; // the component that draws this jamo in a composite syllable
    int jamo_count;
    int context_count;
    int (*syllable)(int jamo, int context); // syllable index of a jamo in a context
};

// Contexts: the medial and final of an initial (21 x 28, final 0 = none), the initial and
// final of a medial (19 x 28), the initial and medial of a final (19 x 21).
const Role kRoles[3] = {
    {0, kFontInitials, 21 * 28, [](int j, int c) { return j * 588 + c; }},
    {1, kFontMedials, 19 * 28, [](int j, int c) { return c / 28 * 588 + j * 28 + c % 28; }},
    {2, kFontFinals, 19 * 21, [](int j, int c) { return c / 21 * 588 + c % 21 * 28 + j + 1; }},
};

// Compatibility jamo that draw the lone jamo (Johab codes with fills in the other fields).
const char32_t kLoneInitials[kFontInitials] = {0x3131, 0x3132, 0x3134, 0x3137, 0x3138, 0x3139,
    0x3141, 0x3142, 0x3143, 0x3145, 0x3146, 0x3147, 0x3148, 0x3149, 0x314A, 0x314B, 0x314C,
    0x314D, 0x314E};
const char32_t kLoneFinals[kFontFinals] = {0x3131, 0x3132, 0x3133, 0x3134, 0x3135, 0x3136,
    0x3137, 0x3139, 0x313A, 0x313B, 0x313C, 0x313D, 0x313E, 0x313F, 0x3140, 0x3141, 0x3142,
    0x3144, 0x3145, 0x3146, 0x3147, 0x3148, 0x314A, 0x314B, 0x314C, 0x314D, 0x314E};
constexpr char32_t kFirstLoneMedial = 0x314F;
constexpr int kInitialIeung = 11; // ㅇ, the silent initial, stands in for a missing one

struct Syllable {
    std::vector<unsigned> parts; // the composite's jamo glyphs; empty when drawn whole
    Pixels drawn;
    Pixels targets[3]; // what each role's jamo looks like in this syllable
};

struct Source {
    const OutlineFace& face;
    const CellPlacement& cell;
    std::vector<Syllable> syllables;
    std::map<unsigned, Pixels> part_images;
    std::vector<unsigned> inventory[3][kFontFinals]; // the face's jamo glyphs by role and jamo
};

// A variant being formed: the contexts in it and, per jamo and pixel, the weight of the
// targets with ink there.
struct Cluster {
    std::vector<int> contexts;
    std::vector<int> ink_weight; // [jamo * kCellPixels + pixel]
    std::vector<int> total_weight; // per jamo
    std::vector<Pixels> glyphs; // the majority per jamo
    double weight = 0;
    bool alive = true;
};

struct RoleVariants {
    std::vector<std::vector<Pixels>> classes; // [variant][jamo]; the lone jamo last
    std::vector<int> class_of_context;
};

} // namespace

static Pixels pixels_of(const CellImage& image)
{
    Pixels pixels;
    for (int i = 0; i < kCellPixels; ++i) {
        if (image.ink[i])
            pixels.set(i);
    }
    return pixels;
}

static CellImage image_of(const Pixels& pixels)
{
    CellImage image = cell_blank(kFontCellSize, kFontCellSize);
    for (int i = 0; i < kCellPixels; ++i)
        image.ink[i] = pixels.get(i);
    return image;
}

static Pixels draw(const Source& source, unsigned glyph)
{
    const CellPlacement& c = source.cell;
    return pixels_of(face_draw(source.face, glyph, c.width, c.height, c.origin_x, c.baseline));
}

static const Pixels& part_image(Source& source, unsigned glyph)
{
    auto found = source.part_images.find(glyph);
    if (found == source.part_images.end())
        found = source.part_images.emplace(glyph, draw(source, glyph)).first;
    return found->second;
}

// ---------------------------------------------------------------------------------------------
// Targets

static void read_syllables(Source& source)
{
    source.syllables.resize(kSyllables);
    for (int s = 0; s < kSyllables; ++s) {
        unsigned glyph = face_glyph_index(source.face, kFirstSyllable + s);
        Syllable& syllable = source.syllables[s];
        syllable.drawn = draw(source, glyph);
        syllable.parts = face_components(source.face, glyph);
        bool has_final = s % 28 != 0;
        if (syllable.parts.size() != (has_final ? 3u : 2u)) {
            syllable.parts.clear(); // drawn whole, or built some other way
            continue;
        }
        int jamo[3] = {s / 588, s % 588 / 28, s % 28 - 1};
        for (size_t r = 0; r < syllable.parts.size(); ++r) {
            syllable.targets[r] = part_image(source, syllable.parts[r]);
            std::vector<unsigned>& known = source.inventory[r][jamo[r]];
            if (std::find(known.begin(), known.end(), syllable.parts[r]) == known.end())
                known.push_back(syllable.parts[r]);
        }
    }
}

// The face's glyph of the jamo that lies best over a whole drawing: ink inside it counts for
// the glyph, ink outside against it. Empty when the face never composes with that jamo.
static Pixels best_template(Source& source, int role, int jamo, const Pixels& drawn)
{
    Pixels best;
    int best_score = std::numeric_limits<int>::min();
    for (unsigned glyph : source.inventory[role][jamo]) {
        const Pixels& candidate = part_image(source, glyph);
        int inside = 0, outside = 0;
        for (size_t k = 0; k < candidate.words.size(); ++k) {
            inside += std::popcount(candidate.words[k] & drawn.words[k]);
            outside += std::popcount(candidate.words[k] & ~drawn.words[k]);
        }
        if (inside - outside > best_score)
            best = candidate, best_score = inside - outside;
    }
    return best;
}

// The pixels of one 8-connected stroke of a drawing, from a first pixel; they leave `rest`.
static std::vector<int> take_stroke(Pixels& rest, int first)
{
    std::vector<int> stroke {first};
    rest.words[first / 64] &= ~(uint64_t(1) << (first % 64));
    for (size_t k = 0; k < stroke.size(); ++k) {
        int x = stroke[k] % kFontCellSize, y = stroke[k] / kFontCellSize;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                int nx = x + dx, ny = y + dy;
                int i = ny * kFontCellSize + nx;
                if (nx < 0 || ny < 0 || nx >= kFontCellSize || ny >= kFontCellSize || !rest.get(i))
                    continue;
                rest.words[i / 64] &= ~(uint64_t(1) << (i % 64));
                stroke.push_back(i);
            }
        }
    }
    return stroke;
}

// How far a stroke lies from a template: the sum of each pixel's squared distance to the
// template's nearest ink.
static long stroke_distance(const std::vector<int>& stroke, const std::vector<int>& template_ink)
{
    if (template_ink.empty())
        return std::numeric_limits<long>::max();
    long total = 0;
    for (int p : stroke) {
        long nearest = std::numeric_limits<long>::max();
        for (int q : template_ink) {
            long dx = p % kFontCellSize - q % kFontCellSize, dy = p / kFontCellSize - q / kFontCellSize;
            nearest = std::min(nearest, dx * dx + dy * dy);
        }
        total += nearest;
    }
    return total;
}

// Splits a whole drawing into its jamo: each stroke goes to the jamo whose nearest glyph of
// the face lies closest to it, so the parts together are exactly the drawing.
static void split_whole_syllable(Source& source, int s)
{
    Syllable& syllable = source.syllables[s];
    int jamo[3] = {s / 588, s % 588 / 28, s % 28 - 1};
    int roles = s % 28 ? 3 : 2;
    std::vector<int> template_ink[3];
    for (int r = 0; r < roles; ++r) {
        Pixels near = best_template(source, r, jamo[r], syllable.drawn);
        for (int i = 0; i < kCellPixels; ++i) {
            if (near.get(i))
                template_ink[r].push_back(i);
        }
    }
    Pixels rest = syllable.drawn;
    for (int first = 0; first < kCellPixels; ++first) {
        if (!rest.get(first))
            continue;
        std::vector<int> stroke = take_stroke(rest, first);
        int owner = 0;
        long best = std::numeric_limits<long>::max();
        for (int r = 0; r < roles; ++r) {
            long distance = stroke_distance(stroke, template_ink[r]);
            if (distance < best)
                owner = r, best = distance;
        }
        for (int p : stroke)
            syllable.targets[owner].set(p);
    }
}

// ---------------------------------------------------------------------------------------------
// Clustering contexts into variants

static void take_majority(Cluster& cluster)
{
    for (size_t j = 0; j < cluster.glyphs.size(); ++j) {
        Pixels glyph;
        for (int i = 0; i < kCellPixels; ++i) {
            if (2 * cluster.ink_weight[j * kCellPixels + i] > cluster.total_weight[j])
                glyph.set(i);
        }
        cluster.glyphs[j] = glyph;
    }
}

static Cluster context_cluster(const Source& source, const Role& role, int role_index, int context)
{
    Cluster cluster;
    cluster.contexts = {context};
    cluster.ink_weight.assign(size_t(role.jamo_count) * kCellPixels, 0);
    cluster.total_weight.assign(role.jamo_count, 0);
    cluster.glyphs.resize(role.jamo_count);
    for (int j = 0; j < role.jamo_count; ++j) {
        const Syllable& syllable = source.syllables[role.syllable(j, context)];
        int weight = syllable.parts.empty() ? kWholeWeight : 1;
        cluster.total_weight[j] = weight;
        cluster.weight += double(weight) / role.jamo_count;
        for (int i = 0; i < kCellPixels; ++i) {
            if (syllable.targets[role_index].get(i))
                cluster.ink_weight[j * kCellPixels + i] = weight;
        }
    }
    take_majority(cluster);
    return cluster;
}

static void absorb(Cluster& into, Cluster& from)
{
    into.contexts.insert(into.contexts.end(), from.contexts.begin(), from.contexts.end());
    for (size_t k = 0; k < into.ink_weight.size(); ++k)
        into.ink_weight[k] += from.ink_weight[k];
    for (size_t j = 0; j < into.total_weight.size(); ++j)
        into.total_weight[j] += from.total_weight[j];
    into.weight += from.weight;
    from.alive = false;
    take_majority(into);
}

// What merging costs: the pixels by which the two variants differ, weighted as Ward's method
// weighs a merge, so that light variants join before heavy ones.
static double merge_cost(const Cluster& a, const Cluster& b)
{
    long pixels = 0;
    for (size_t j = 0; j < a.glyphs.size(); ++j)
        pixels += differing(a.glyphs[j], b.glyphs[j]);
    return double(pixels) * a.weight * b.weight / (a.weight + b.weight);
}

// Contexts whose targets are all the same are one variant from the start.
static std::vector<Cluster> initial_clusters(const Source& source, const Role& role, int role_index)
{
    std::vector<Cluster> clusters;
    std::map<std::vector<Pixels>, size_t> by_targets;
    for (int c = 0; c < role.context_count; ++c) {
        Cluster cluster = context_cluster(source, role, role_index, c);
        std::vector<Pixels> key;
        for (int j = 0; j < role.jamo_count; ++j)
            key.push_back(source.syllables[role.syllable(j, c)].targets[role_index]);
        auto [found, added] = by_targets.emplace(key, clusters.size());
        if (added)
            clusters.push_back(std::move(cluster));
        else
            absorb(clusters[found->second], cluster);
    }
    return clusters;
}

static void merge_down(std::vector<Cluster>& clusters, size_t limit)
{
    size_t n = clusters.size();
    std::vector<double> cost(n * n, 0);
    for (size_t a = 0; a < n; ++a) {
        for (size_t b = a + 1; b < n; ++b)
            cost[a * n + b] = merge_cost(clusters[a], clusters[b]);
    }
    for (size_t alive = n; alive > limit; --alive) {
        size_t best_a = 0, best_b = 0;
        double best = std::numeric_limits<double>::max();
        for (size_t a = 0; a < n; ++a) {
            for (size_t b = a + 1; b < n && clusters[a].alive; ++b) {
                if (clusters[b].alive && cost[a * n + b] < best)
                    best = cost[a * n + b], best_a = a, best_b = b;
            }
        }
        absorb(clusters[best_a], clusters[best_b]);
        for (size_t k = 0; k < n; ++k) {
            if (k != best_a && clusters[k].alive)
                cost[std::min(k, best_a) * n + std::max(k, best_a)] = merge_cost(clusters[best_a], clusters[k]);
        }
    }
}

static RoleVariants fit_role(const Source& source, int role_index)
{
    const Role& role = kRoles[role_index];
    std::vector<Cluster> clusters = initial_clusters(source, role, role_index);
    merge_down(clusters, kMaxVariants);
    RoleVariants out;
    out.class_of_context.assign(role.context_count, 0);
    for (Cluster& cluster : clusters) {
        if (!cluster.alive)
            continue;
        for (int c : cluster.contexts)
            out.class_of_context[c] = int(out.classes.size());
        out.classes.push_back(std::move(cluster.glyphs));
    }
    return out;
}

static void add_lone_jamo(const Source& source, int role, RoleVariants& variants)
{
    std::vector<Pixels> glyphs;
    for (int j = 0; j < kRoles[role].jamo_count; ++j) {
        char32_t character = role == 0 ? kLoneInitials[j] : role == 1 ? kFirstLoneMedial + j : kLoneFinals[j];
        glyphs.push_back(draw(source, face_glyph_index(source.face, character)));
    }
    variants.classes.push_back(std::move(glyphs));
}

// ---------------------------------------------------------------------------------------------
// The font's parts

// The tables are indexed by jamo numbers, 0 being the fill value; the lone jamo's variant is
// the last one. A vowel or final without an initial is drawn as after ㅇ.
static std::vector<uint8_t> variant_tables(const RoleVariants (&roles)[3])
{
    std::vector<uint8_t> tables(kFontVariantTablesSize, 0);
    int lone[3];
    for (int r = 0; r < 3; ++r) {
        plat::store_u16le(&tables[2 * r], uint16_t(roles[r].classes.size()));
        lone[r] = int(roles[r].classes.size()) - 1;
    }
    uint8_t* initial = &tables[6];
    uint8_t* medial = initial + 1024;
    uint8_t* final = medial + 1024;
    for (int m = 0; m <= kFontMedials; ++m) {
        for (int f = 0; f <= kFontFinals; ++f)
            initial[m * 32 + f] = uint8_t(m == 0 ? lone[0] : roles[0].class_of_context[(m - 1) * 28 + f]);
    }
    for (int i = 0; i <= kFontInitials; ++i) {
        int row = i == 0 ? kInitialIeung : i - 1;
        for (int f = 0; f <= kFontFinals; ++f)
            medial[i * 32 + f] = uint8_t(i == 0 && f == 0 ? lone[1] : roles[1].class_of_context[row * 28 + f]);
        for (int m = 0; m <= kFontMedials; ++m)
            final[i * 32 + m] = uint8_t(m == 0 ? lone[2] : roles[2].class_of_context[row * 21 + m - 1]);
    }
    return tables;
}

static void pack_glyphs(const RoleVariants (&roles)[3], std::vector<uint8_t>& glyphs)
{
    for (const RoleVariants& role : roles) {
        for (const std::vector<Pixels>& variant : role.classes) {
            for (const Pixels& glyph : variant) {
                std::vector<uint8_t> packed = cell_pack(image_of(glyph));
                glyphs.insert(glyphs.end(), packed.begin(), packed.end());
            }
        }
    }
}

// Composes every syllable as the reader will and counts the pixels that differ from the
// face's own drawing.
static void measure(const Source& source, const RoleVariants (&roles)[3], JamoGlyphs& out)
{
    for (int s = 0; s < kSyllables; ++s) {
        int i = s / 588, m = s % 588 / 28, t = s % 28;
        Pixels composed = roles[0].classes[roles[0].class_of_context[m * 28 + t]][i];
        const Pixels* others[2] = {&roles[1].classes[roles[1].class_of_context[i * 28 + t]][m],
            t ? &roles[2].classes[roles[2].class_of_context[i * 21 + m]][t - 1] : nullptr};
        for (const Pixels* other : others) {
            for (size_t k = 0; other && k < composed.words.size(); ++k)
                composed.words[k] |= other->words[k];
        }
        const Syllable& syllable = source.syllables[s];
        (syllable.parts.empty() ? out.whole_pixels_off : out.composite_pixels_off) += differing(composed, syllable.drawn);
    }
}

bool jamo_glyphs_build(const OutlineFace& face, const CellPlacement& cell, JamoGlyphs& out,
    std::string& error)
{
    if (cell.width != kFontCellSize || cell.height != kFontCellSize) {
        error = "jamo glyphs are made for cells of 20 x 20";
        return false;
    }
    if (face_glyph_index(face, kFirstSyllable) == 0) {
        error = "the face has no Hangul";
        return false;
    }
    Source source {face, cell, {}, {}, {}};
    read_syllables(source);
    for (int s = 0; s < kSyllables; ++s) {
        if (source.syllables[s].parts.empty())
            split_whole_syllable(source, s);
    }
    RoleVariants roles[3];
    for (int r = 0; r < 3; ++r) {
        roles[r] = fit_role(source, r);
        add_lone_jamo(source, r, roles[r]);
    }
    out = {};
    out.variant_tables = variant_tables(roles);
    pack_glyphs(roles, out.glyphs);
    for (int r = 0; r < 3; ++r)
        out.variant_counts[r] = int(roles[r].classes.size());
    measure(source, roles, out);
    return true;
}
