// The system functions of calc as calculations run through calcrun: the rows of
// data/sysfn_rows.txt, each with the exact output calcrun prints. The rows run in three local
// zones (one with summer time): day numbers and dates must not move with the zone.
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/calc/sysfn_table.h"
#include "tests/calc/compile_fixture.h"
#include "tools/calcrun/calcrun_main.h"

namespace {

struct SourceRow {
    std::string name;
    std::vector<std::string> options;
    std::string source;
    std::string expected;
};

std::vector<std::string> split_words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// "[name]", an optional "options:" line, the source up to "---", the output up to a blank line.
std::vector<SourceRow> read_rows(const std::string& path)
{
    std::ifstream in(path);
    std::vector<SourceRow> rows;
    std::string line;
    enum { kBetween, kSource, kOutput } state = kBetween;
    while (std::getline(in, line)) {
        if (state == kBetween) {
            if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
                rows.push_back(SourceRow { line.substr(1, line.size() - 2), {}, "", "" });
                state = kSource;
            }
        } else if (state == kSource) {
            if (line == "---")
                state = kOutput;
            else if (line.rfind("options:", 0) == 0 && rows.back().source.empty())
                rows.back().options = split_words(line.substr(8));
            else
                rows.back().source += (rows.back().source.empty() ? "" : "\n") + line;
        } else if (line.empty()) {
            state = kBetween;
        } else {
            rows.back().expected += line + "\n";
        }
    }
    return rows;
}

class SysFnRowsTest : public calctest::FunctionTableTest {
protected:
    std::string run(const SourceRow& row)
    {
        std::vector<std::string> args { "calcrun" };
        args.insert(args.end(), row.options.begin(), row.options.end());
        args.push_back(row.source);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        std::string out, err;
        calcrun_main(int(argv.size()), argv.data(), out, err);
        return out + err;
    }
};

// The local zone for the scope.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            old_ = old, had_ = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope()
    {
        if (had_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string old_;
    bool had_ = false;
};

TEST_F(SysFnRowsTest, EveryRowPrintsItsOutputInEveryZone)
{
    std::vector<SourceRow> rows = read_rows(STORVEL_SOURCE_DIR "/tests/calc/data/sysfn_rows.txt");
    ASSERT_FALSE(rows.empty());
    calctest::DecimalScope point('.');
    for (const char* zone : { "UTC0", "KST-9", "EST5EDT,M3.2.0,M11.1.0" }) {
        ZoneScope scope(zone);
        for (const SourceRow& row : rows) {
            SCOPED_TRACE(std::string(zone) + ": " + row.name);
            EXPECT_EQ(run(row), row.expected);
        }
    }
}

// Every function of the four families appears in some row, so none goes untested.
TEST_F(SysFnRowsTest, RowsCallEveryFunctionCalcBinds)
{
    std::ifstream in(STORVEL_SOURCE_DIR "/tests/calc/data/sysfn_rows.txt");
    std::stringstream text;
    text << in.rdbuf();
    std::string rows = text.str();
    for (int i = 0; i < kSysFnCount; ++i) {
        int id = kSysFnFirstId + i;
        const SysFunctionDesc& d = sysfn_desc(id);
        if (!d.handler || d.handler == sysfn_no_op)
            continue;
        char name[64];
        sysfn_name(name, sizeof name, id);
        SCOPED_TRACE(name);
        EXPECT_NE(rows.find(std::string(name) + "("), std::string::npos);
    }
}

} // namespace
