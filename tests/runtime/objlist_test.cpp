#include "runtime/base/objlist.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "runtime/base/mem.h"

namespace {

std::vector<std::string> g_deleted;

class Named : public ObjectList {
public:
    explicit Named(const char* name)
        : m_name(name)
    {
    }
    ~Named() override { g_deleted.push_back(m_name); }
    const char* m_name;
};

class ObjectListTest : public testing::Test {
protected:
    void SetUp() override
    {
        plat::memory_reset();
        g_deleted.clear();
    }
    void TearDown() override { plat::memory_reset(); }
};

TEST_F(ObjectListTest, AHeadDeletesItsChildren)
{
    Named* head = objlist_new<Named>("head");
    ASSERT_NE(head, nullptr);
    for (const char* name : {"a", "b", "c"})
        objlist_append(*head, objlist_new<Named>(name));
    EXPECT_EQ(objlist_count(*head), 3);
    EXPECT_EQ(objlist_count_from(*head->first_or_next), 3);
    EXPECT_EQ(objlist_count_from(*head->last_or_prev), 1);
    EXPECT_EQ(plat::memory_block_count(), 4u);
    objlist_delete(head, 1);
    EXPECT_EQ(g_deleted, (std::vector<std::string>{"head", "a", "b", "c"}));
    EXPECT_EQ(plat::memory_block_count(), 0u);
}

TEST_F(ObjectListTest, IteratorSurvivesUnlinkingTheCurrentChild)
{
    ObjectList head;
    Named* a = objlist_new<Named>("a");
    Named* b = objlist_new<Named>("b");
    Named* c = objlist_new<Named>("c");
    for (Named* child : {a, b, c})
        objlist_append(head, child);
    ObjectListIter iter;
    objlist_iter_init(iter, head);
    std::vector<std::string> seen;
    while (ObjectList* child = objlist_iter_next(iter)) {
        seen.push_back(static_cast<Named*>(child)->m_name);
        if (child == b) {
            objlist_unlink(head, child);
            objlist_delete(child, 1);
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(objlist_count(head), 2);
    EXPECT_EQ(head.first_or_next, a);
    EXPECT_EQ(head.last_or_prev, c);
    EXPECT_EQ(a->first_or_next, c);
    EXPECT_EQ(c->last_or_prev, a);
    objlist_unlink(head, a);
    objlist_unlink(head, c);
    EXPECT_EQ(objlist_count(head), 0);
    EXPECT_EQ(head.last_or_prev, nullptr);
    objlist_delete(a, 1);
    objlist_delete(c, 1);
}

TEST_F(ObjectListTest, ConstructClearsTheLinksAndDestructEmptiesTheList)
{
    ObjectList head;
    objlist_append(head, objlist_new<Named>("x"));
    objlist_destruct(head);
    EXPECT_EQ(g_deleted, (std::vector<std::string>{"x"}));
    EXPECT_EQ(objlist_count(head), 0);
    head.first_or_next = &head;
    objlist_construct(head);
    EXPECT_EQ(head.first_or_next, nullptr);
}

} // namespace
