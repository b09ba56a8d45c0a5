// Shared by the tests of the boxes the runtime shows (internal errors, message resources): the
// control fixture's empty window system on a virtual clock, with the headless backend started
// under a script and writing its event log, which the tests read back without the times.
#pragma once
#include "platform/plat_headless.h"
#include "runtime/foundation/err.h"
#include "runtime/foundation/msg.h"
#include "tests/platform/control_test_support.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

class BoxTest : public wintest::ControlTest {
protected:
    std::string folder; // host folder of the run's log and anything else a test writes

    void SetUp() override
    {
        ControlTest::SetUp();
        char pattern[] = "/tmp/box-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        msg_reset();
        err_reset();
    }
    void TearDown() override
    {
        plat::log_close();
        msg_reset();
        err_reset();
        std::filesystem::remove_all(folder);
        ControlTest::TearDown();
    }
    void start_script(const std::string& script)
    {
        std::vector<plat::ScriptCommand> commands;
        std::string error;
        ASSERT_TRUE(plat::script_parse(script, commands, error)) << error;
        plat::HeadlessOptions options;
        options.log_path = folder + "/run.log";
        ASSERT_TRUE(plat::headless_start_with(options, commands, error)) << error;
    }
    std::vector<std::string> log_lines()
    {
        std::ifstream file(folder + "/run.log");
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(file, line))
            lines.push_back(line.substr(line.find(' ') + 1));
        return lines;
    }
    // The log's lines that start with prefix.
    std::vector<std::string> log_lines_starting(const std::string& prefix)
    {
        std::vector<std::string> out;
        for (const std::string& line : log_lines()) {
            if (line.compare(0, prefix.size(), prefix) == 0)
                out.push_back(line);
        }
        return out;
    }
};
