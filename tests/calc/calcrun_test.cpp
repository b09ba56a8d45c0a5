// calcrun through its main function: the output lines, the exit statuses and the options.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/calc/sysfn_table.h"
#include "tests/calc/compile_fixture.h"
#include "tools/calcrun/calcrun_main.h"

namespace {

class CalcrunTest : public calctest::FunctionTableTest {
protected:
    int run(std::vector<std::string> args)
    {
        args.insert(args.begin(), "calcrun");
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        out.clear();
        err.clear();
        return calcrun_main(int(argv.size()), argv.data(), out, err);
    }
    std::string out, err;
};

TEST_F(CalcrunTest, RunsAndPrints)
{
    static const struct {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* out;
    } kRows[] = {
        { "assignments in order", { "x := 2\ny := x * 3\nx := \"a\" ^ y" }, 0, "x = 2\ny = 6\nx = a6\n=> \n" },
        { "new names read 0", { "--expression", "fresh + 1" }, 0, "=> 1\n" },
        { "element writes are no assignments", { "l := [1, 2]\nl[2] := 5" }, 0, "l = [1, 2]\n=> \n" },
        { "loops assign their variable", { "repeat with i := 1 to 2\nend repeat" }, 0, "i = 1\ni = 2\ni = 3\n=> \n" },
        { "a real", { "--expression", "7 / 2" }, 0, "=> 3.5\n" },
        { "carriage returns and line feeds", { "a := 1\r\nb := 2\n" }, 0, "a = 1\nb = 2\n=> \n" },
        { "a compile error", { "x := 1\ny := 2 +" }, 1, "error 2:8: Operand missing.\n" },
        { "an unknown function", { "x := Nothing(1)" }, 1, "error 1:6: Function 'Nothing()' is not defined.\n" },
        { "an unbound function stops", { "--expression", "ZoomRect(1, 2)" }, 3, "stop 21\n" },
        { "a bound function runs", { "--expression", "ABS(-1)" }, 0, "=> 1\n" },
        { "a function without effect", { "--expression", "NBF__(1, \"a\") + 1" }, 0, "=> 1\n" },
        { "assignments refused", { "--no-assign", "--expression", "x := 1" }, 3, "stop 12\n" },
        { "the step limit", { "--steps", "50", "repeat while 1\nend repeat" }, 3, "stop limit\n" },
        { "comma decimals", { "--decimal", ",", "--separator", ";", "--expression", "Test(1; 2,5; 3)" }, 0, "=> 2.5\n" },
        { "Korean text", { "--codepage", "949", "--expression", "\"한글\" ^ 1" }, 0, "=> 한글1\n" },
        { "a Korean name", { "--codepage", "949", "점수 := 10" }, 0, "점수 = 10\n=> \n" },
        // 갔 ends in the byte of the continuation character, А begins with it: both are
        // characters of the comment.
        { "Korean comments", { "--codepage", "949", "x := 1 -- 갔А\ny := 2" }, 0, "x = 1\ny = 2\n=> \n" },
        { "columns count characters", { "--codepage", "949", "점수 := $" }, 1, "error 1:7: Unknown operator '$'.\n" },
        { "Korean strings", { "--codepage", "949", "--expression", "\"갔А\"" }, 0, "=> 갔А\n" },
    };
    calctest::DecimalScope point('.');
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(run(row.args), row.status) << err;
        EXPECT_EQ(out, row.out);
    }
}

TEST_F(CalcrunTest, BadArguments)
{
    static const std::vector<std::string> kRows[] = {
        {}, { "--bogus", "1" }, { "--codepage", "932", "1" }, { "--steps", "0", "1" }, { "--decimal", "ab", "1" },
        { "a", "b" }, { "-f", "/no/such/file" }, { "--functions", "1" },
    };
    for (const auto& args : kRows) {
        SCOPED_TRACE(args.empty() ? "" : args[0]);
        EXPECT_EQ(run(args), 2);
        EXPECT_EQ(out, "");
        EXPECT_NE(err.find("usage"), std::string::npos);
    }
}

TEST_F(CalcrunTest, FunctionList)
{
    ASSERT_EQ(run({ "--functions" }), 0);
    size_t lines = 0;
    for (char c : out)
        lines += c == '\n';
    EXPECT_EQ(lines, 328u);
    EXPECT_EQ(out.substr(0, out.find('\n') + 1), "0\tABS\tN\tnumber\t1\tno\t2\tbound\n");
    EXPECT_NE(out.find("\n60\tWriteExtFile\tSS\tinteger\t8\tyes\t10\tunbound\n"), std::string::npos);
    EXPECT_NE(out.find("\n190\t\tSl\tinteger\t99\tno\t0\tunbound\n"), std::string::npos);
    EXPECT_NE(out.find("\n105\tTimeOutGoTo\tl\tinteger\t5\tno\t0\tunbound\n"), std::string::npos);
    EXPECT_NE(out.find("\n58\tArrayGet\tL\tany\t1\tno\t2\tunbound\n"), std::string::npos);
    EXPECT_NE(out.find("\n44\tTest\t\tinteger\t3\tno\t2\tbound\n"), std::string::npos);
}

} // namespace
