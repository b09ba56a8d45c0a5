#include "platform/kernel/library.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "platform/kernel/error.h"
#include "platform/kernel/path.h"

using namespace plat;

namespace {

class LibraryTest : public testing::Test {
protected:
    void SetUp() override
    {
        library_reset();
        std::string pattern = testing::TempDir() + "plat_library_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
    }
    void TearDown() override
    {
        library_reset();
        for (const char* name : {"/NotALib.so", "/ZCopy.so"})
            unlink((m_folder + name).c_str());
        rmdir(m_folder.c_str());
    }

    // The Windows spelling of a file in the test's folder, in upper case as pieces often are.
    std::string windows_path(const std::string& name) const
    {
        std::string path = path_from_host(m_folder + "/" + name);
        for (char& c : path)
            c = char(toupper(static_cast<unsigned char>(c)));
        return path;
    }

    std::string m_folder;
};

using ZlibVersion = const char* (*)();
using Cosine = double (*)(double);

TEST_F(LibraryTest, SonameLoadsAndExportsResolve)
{
    ModuleHandle zlib = load_library("libz.so.1");
    ASSERT_TRUE(zlib) << get_last_error();
    auto version = reinterpret_cast<ZlibVersion>(get_proc_address(zlib, "zlibVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version()[0], '1');

    EXPECT_EQ(get_proc_address(zlib, "NoSuchExport"), nullptr);
    EXPECT_EQ(get_last_error(), ERROR_PROC_NOT_FOUND);

    ModuleHandle libm = load_library("libm.so.6");
    ASSERT_TRUE(libm);
    EXPECT_NE(libm, zlib);
    auto cosine = reinterpret_cast<Cosine>(get_proc_address(libm, "cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_EQ(cosine(0.0), 1.0);
}

TEST_F(LibraryTest, LoadsAreCountedAndStaleModulesRefused)
{
    ModuleHandle first = load_library("libz.so.1");
    ModuleHandle second = load_library("libz.so.1");
    ASSERT_TRUE(first);
    EXPECT_EQ(second, first);

    EXPECT_TRUE(free_library(first));
    EXPECT_NE(get_proc_address(first, "zlibVersion"), nullptr); // one reference left
    EXPECT_TRUE(free_library(first));

    set_last_error(0);
    EXPECT_EQ(get_proc_address(first, "zlibVersion"), nullptr);
    EXPECT_EQ(get_last_error(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(free_library(first));
    EXPECT_FALSE(free_library(ModuleHandle{0xFFFFFFFF}));
    EXPECT_EQ(get_last_error(), ERROR_INVALID_HANDLE);

    ModuleHandle again = load_library("libz.so.1");
    EXPECT_NE(again, first); // a new load gets a new id
}

TEST_F(LibraryTest, WindowsPathsMapToTheHostFile)
{
    ModuleHandle zlib = load_library("libz.so.1");
    ASSERT_TRUE(zlib);
    std::ifstream source(library_host_path(zlib), std::ios::binary);
    std::ofstream(m_folder + "/ZCopy.so", std::ios::binary) << source.rdbuf();

    ModuleHandle copy = load_library(windows_path("ZCopy.so")); // matched without case
    ASSERT_TRUE(copy) << get_last_error();
    EXPECT_NE(copy, zlib);
    EXPECT_EQ(library_host_path(copy), m_folder + "/ZCopy.so");
    EXPECT_NE(get_proc_address(copy, "zlibVersion"), nullptr);
}

struct FailureCase {
    const char* name;
    const char* file; // in the test's folder; null: the path is used as it stands
    const char* path;
    uint32_t error;
};

static const FailureCase kFailures[] = {
    {"a Windows library the host lacks", nullptr, "WINMM.DLL", ERROR_MOD_NOT_FOUND},
    {"a missing folder", nullptr, "C:\\NO\\SUCH\\FOLDER\\A.DLL", ERROR_MOD_NOT_FOUND},
    {"an empty name", nullptr, "", ERROR_MOD_NOT_FOUND},
    {"a text file", "NotALib.so", nullptr, ERROR_BAD_EXE_FORMAT},
};

TEST_F(LibraryTest, FailuresGiveWindowsCodes)
{
    std::ofstream(m_folder + "/NotALib.so") << "not a library\n";
    for (const FailureCase& c : kFailures) {
        SCOPED_TRACE(c.name);
        std::string path = c.file ? windows_path(c.file) : c.path;
        set_last_error(0);
        EXPECT_FALSE(load_library(path));
        EXPECT_EQ(get_last_error(), c.error);
    }
}

} // namespace
