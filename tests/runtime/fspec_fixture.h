// A fresh temporary folder mapped as drive T: and made the current folder, with the
// FileSpec manager and the open-file table set up, so that tests name files the way
// pieces do ("T:\Course\Intro.v5r") and nothing leaks into the next test.
#pragma once
#include "platform/kernel/error.h"
#include "platform/kernel/file.h"
#include "platform/kernel/path.h"
#include "runtime/files/file.h"
#include "runtime/files/file_ops.h"
#include "runtime/files/fspec_func.h"
#include "runtime/files/fspec_mgr.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

class FspecTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern
            = (std::filesystem::temp_directory_path() / "fspec_test_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        plat::path_reset();
        plat::set_drive_root('T', root_);
        ASSERT_TRUE(plat::set_current_directory("T:\\"));
        // The Windows folder lives in the temporary folder too, never in the user's home.
        setenv("STORVEL_WINDOWS_DIR", host("Windows").c_str(), 1);
        ASSERT_EQ(fspec_manager_create(), 1);
        ASSERT_EQ(file_init(), 1);
    }
    void TearDown() override
    {
        // Specs go back before the pool they may come from.
        for (FileSpec* made : held_)
            fspec_free(made);
        held_.clear();
        file_term();
        fspec_manager_set_network_source(nullptr);
        fspec_manager_destroy();
        plat::file_reset();
        plat::path_reset();
        unsetenv("STORVEL_WINDOWS_DIR");
        std::filesystem::permissions(root_, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(root_);
    }

    std::string host(const std::string& relative) const { return root_ + "/" + relative; }
    void put(const std::string& relative, const std::string& content) const
    {
        std::filesystem::create_directories(std::filesystem::path(host(relative)).parent_path());
        std::ofstream(host(relative), std::ios::binary) << content;
    }
    std::string get(const std::string& relative) const
    {
        std::ifstream in(host(relative), std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    void make_folder(const std::string& relative) const
    {
        std::filesystem::create_directories(host(relative));
    }
    bool exists(const std::string& relative) const
    {
        return std::filesystem::exists(host(relative));
    }

    // A disk spec of the path, freed at the end of the test.
    FileSpec* spec(const char* path)
    {
        FileSpec* made = nullptr;
        EXPECT_EQ(fspec_from_path(path, &made), 0) << path;
        held_.push_back(made);
        return made;
    }
    // Keeps a spec made elsewhere until the end of the test.
    FileSpec* hold(FileSpec* made)
    {
        held_.push_back(made);
        return made;
    }
    static std::string path_of(const FileSpec* made)
    {
        char buffer[kPathBufferSize] = {};
        fspec_get_path(made, buffer, sizeof buffer);
        return buffer;
    }

    std::string root_;

private:
    std::vector<FileSpec*> held_;
};
