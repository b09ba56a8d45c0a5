// Shared by the tests of the boxes the runtime shows (internal errors, message resources): the
// control fixture's empty window system on a virtual clock, with the headless backend started
// under a script and writing its event log, which the tests read back without the times.
#pragma once
#include "runtime/files/err.h"
#include "runtime/files/msg.h"
#include "tests/platform/control_test_support.h"

#include <string>
#include <vector>

class BoxTest : public wintest::ScriptedControlTest {
protected:
    void SetUp() override
    {
        ScriptedControlTest::SetUp();
        msg_reset();
        err_reset();
    }
    void TearDown() override
    {
        msg_reset();
        err_reset();
        ScriptedControlTest::TearDown();
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
