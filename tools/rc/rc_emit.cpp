#include "tools/rc/rc_emit.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/resource.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

constexpr uint32_t kStringsPerBlock = 16;
constexpr size_t kDataAlignment = 4; // each resource starts on a 4-byte boundary, as in Win32
constexpr int kValuesPerLine = 24;

struct StringBlock {
    uint32_t code_page = 0;
    const RcString* entries[kStringsPerBlock] = {};
};

static std::string where(const std::string& file, int line)
{
    return file + ":" + std::to_string(line);
}

static bool add_to_block(std::map<uint32_t, StringBlock>& blocks, const RcString& s, RcError& error)
{
    StringBlock& block = blocks[s.id / kStringsPerBlock + 1];
    const RcString*& slot = block.entries[s.id % kStringsPerBlock];
    if (slot) {
        error = { s.file, s.line,
            "string " + std::to_string(s.id) + " is already defined at "
                + where(slot->file, slot->line) };
        return false;
    }
    if (block.code_page && block.code_page != s.code_page) {
        error = { s.file, s.line,
            "string " + std::to_string(s.id) + " is in code page " + std::to_string(s.code_page)
                + " but its block of 16 is in code page " + std::to_string(block.code_page) };
        return false;
    }
    block.code_page = s.code_page;
    slot = &s;
    return true;
}

// A block: u16 code page, then 16 entries of {u16 length, bytes}; a missing entry is empty.
static RcResource write_block(uint32_t number, const StringBlock& block)
{
    RcResource r;
    r.type.number = plat::RT_STRING;
    r.name.number = number;
    r.bytes.reserve(kRcWriterReserve);
    plat::ByteWriter w(r.bytes);
    w.u16le(uint16_t(block.code_page));
    for (const RcString* s : block.entries) {
        w.u16le(s ? uint16_t(s->text.size()) : 0);
        if (s) {
            w.bytes(s->text.data(), s->text.size());
            if (!r.line)
                r.file = s->file, r.line = s->line;
        }
    }
    return r;
}

static int compare_ids(const RcId& a, const RcId& b)
{
    if (a.name.empty() != b.name.empty())
        return a.name.empty() ? -1 : 1;
    if (a.name.empty())
        return a.number == b.number ? 0 : (a.number < b.number ? -1 : 1);
    return a.name.compare(b.name) < 0 ? -1 : (a.name == b.name ? 0 : 1);
}

static int compare_resources(const RcResource& a, const RcResource& b)
{
    int order = compare_ids(a.type, b.type);
    return order ? order : compare_ids(a.name, b.name);
}

static std::string describe(const RcResource& r)
{
    static const struct {
        uint32_t type;
        const char* word;
    } kTypeWords[] = { { plat::RT_CURSOR, "cursor image" }, { plat::RT_BITMAP, "bitmap" },
        { plat::RT_ICON, "icon image" }, { plat::RT_MENU, "menu" }, { plat::RT_DIALOG, "dialog" },
        { plat::RT_ACCELERATOR, "accelerators" }, { plat::RT_RCDATA, "rcdata" },
        { plat::RT_GROUP_CURSOR, "cursor" }, { plat::RT_GROUP_ICON, "icon" },
        { plat::RT_MESSAGE, "message" } };
    std::string type
        = "custom " + (r.type.name.empty() ? std::to_string(r.type.number) : r.type.name);
    for (const auto& row : kTypeWords) {
        if (r.type.name.empty() && r.type.number == row.type)
            type = row.word;
    }
    return type + " " + (r.name.name.empty() ? std::to_string(r.name.number) : r.name.name);
}

bool rc_finish_module(RcModule& module, RcError& error)
{
    std::map<uint32_t, StringBlock> blocks;
    for (const RcString& s : module.strings) {
        if (!add_to_block(blocks, s, error))
            return false;
    }
    for (const auto& [number, block] : blocks)
        module.resources.push_back(write_block(number, block));
    std::stable_sort(module.resources.begin(), module.resources.end(),
        [](const RcResource& a, const RcResource& b) { return compare_resources(a, b) < 0; });
    for (size_t i = 1; i < module.resources.size(); ++i) {
        const RcResource& first = module.resources[i - 1];
        const RcResource& again = module.resources[i];
        if (compare_resources(first, again) == 0) {
            error = { again.file, again.line,
                describe(again) + " is already defined at " + where(first.file, first.line) };
            return false;
        }
    }
    return true;
}

static std::string c_name(const RcId& id)
{
    return id.name.empty() ? "nullptr" : "\"" + id.name + "\"";
}

struct Layout {
    std::vector<uint8_t> data;
    std::vector<uint32_t> offsets;
};

static bool lay_out(const RcModule& module, Layout& layout, std::string& message)
{
    for (const RcResource& r : module.resources) {
        layout.data.resize(
            (layout.data.size() + kDataAlignment - 1) / kDataAlignment * kDataAlignment);
        if (r.bytes.size() > 0xFFFFFFF0u - layout.data.size()) {
            message = "the resources exceed 4 GiB";
            return false;
        }
        layout.offsets.push_back(uint32_t(layout.data.size()));
        layout.data.insert(layout.data.end(), r.bytes.begin(), r.bytes.end());
    }
    return true;
}

static void write_data(FILE* f, const std::vector<uint8_t>& data)
{
    std::fprintf(f, "alignas(8) const uint8_t kData[] = {\n");
    for (size_t i = 0; i < data.size(); ++i)
        std::fprintf(
            f, "%u,%s", data[i], (i + 1) % kValuesPerLine == 0 || i + 1 == data.size() ? "\n" : "");
    if (data.empty())
        std::fprintf(f, "0\n"); // an array cannot be empty; data_size stays 0
    std::fprintf(f, "};\n\n");
}

static void write_table(FILE* f, const RcModule& module, const Layout& layout,
    const std::string& module_name, ModuleKind kind)
{
    const std::vector<RcResource>& resources = module.resources;
    if (!resources.empty()) {
        std::fprintf(f, "const plat::ResourceEntry kEntries[] = {\n");
        for (size_t i = 0; i < resources.size(); ++i) {
            const RcResource& r = resources[i];
            std::fprintf(f, "    {%u, %s, %u, %s, %u, %zu},\n", r.type.number,
                c_name(r.type).c_str(), r.name.number, c_name(r.name).c_str(), layout.offsets[i],
                r.bytes.size());
        }
        std::fprintf(f, "};\n\n");
    }
    std::fprintf(f,
        "const plat::ResourceModuleTable kTable = {\"%s\", plat::ResourceModuleKind::%s, %s, %zu, "
        "kData, %zu};\n\n",
        module_name.c_str(), kind == ModuleKind::program ? "program" : "library",
        resources.empty() ? "nullptr" : "kEntries", resources.size(), layout.data.size());
}

static void write_registration(FILE* f, const std::string& module_name)
{
    std::fprintf(f,
        "} // namespace\n\n"
        "// The library's users ask the linker for this symbol: it keeps this object, and with it "
        "the\n"
        "// registration, in programs that never name the table.\n"
        "extern \"C\" {\n"
        "extern const plat::ModuleHandle storvel_resources_%s;\n"
        "const plat::ModuleHandle storvel_resources_%s = plat::register_resource_module(kTable);\n"
        "}\n",
        module_name.c_str(), module_name.c_str());
}

// Writes through a temporary file, so that a failed run never leaves half a source behind.
static bool write_atomically(const std::string& path, std::string& message,
    void (*write)(FILE*, const void*), const void* context)
{
    std::string temporary = path + ".tmp";
    FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) {
        message = "cannot write '" + temporary + "': " + std::strerror(errno);
        return false;
    }
    write(f, context);
    bool ok = std::fflush(f) == 0 && !std::ferror(f);
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        message = "cannot write '" + path + "': " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

struct SourceContext {
    const RcModule* module;
    const Layout* layout;
    const std::string* module_name;
    ModuleKind kind;
};

static void write_source_file(FILE* f, const void* context)
{
    const SourceContext& c = *static_cast<const SourceContext*>(context);
    std::fprintf(f,
        "// Generated by the resource compiler from the sources of module %s; edits are lost.\n",
        c.module_name->c_str());
    std::fprintf(f, "#include \"platform/kernel/resource.h\"\n\nnamespace {\n\n");
    write_data(f, c.layout->data);
    write_table(f, *c.module, *c.layout, *c.module_name, c.kind);
    write_registration(f, *c.module_name);
}

bool rc_write_source(const RcModule& module, const std::string& module_name, ModuleKind kind,
    const std::string& path, std::string& message)
{
    Layout layout;
    if (!lay_out(module, layout, message))
        return false;
    SourceContext context { &module, &layout, &module_name, kind };
    return write_atomically(path, message, write_source_file, &context);
}

// Make's escaping, which Ninja reads: blanks and '#' take a backslash, '$' doubles.
static std::string depfile_escape(const std::string& path)
{
    std::string out;
    for (char c : path) {
        if (c == ' ' || c == '#')
            out += '\\';
        if (c == '$')
            out += '$';
        out += c;
    }
    return out;
}

struct DepfileContext {
    const RcModule* module;
    const std::string* target;
};

static void write_depfile_lines(FILE* f, const void* context)
{
    const DepfileContext& c = *static_cast<const DepfileContext*>(context);
    std::fprintf(f, "%s:", depfile_escape(*c.target).c_str());
    std::set<std::string> written;
    for (const std::string& input : c.module->inputs) {
        if (written.insert(input).second)
            std::fprintf(f, " \\\n  %s", depfile_escape(input).c_str());
    }
    std::fprintf(f, "\n");
}

bool rc_write_depfile(const RcModule& module, const std::string& target, const std::string& path,
    std::string& message)
{
    DepfileContext context { &module, &target };
    return write_atomically(path, message, write_depfile_lines, &context);
}
