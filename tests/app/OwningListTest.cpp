#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/OwningList.h"

namespace {

class CTracked {
public:
    CTracked(std::string name, std::vector<std::string>& log) : m_name(std::move(name)), m_log(log) {}
    virtual ~CTracked() { m_log.push_back(m_name); }
    const std::string& Name() const { return m_name; }

private:
    std::string m_name;
    std::vector<std::string>& m_log;
};

class CDerived final : public CTracked {
public:
    using CTracked::CTracked;
    ~CDerived() override = default;
};

TEST(OwningList, DeletesFromTheTailWhenDestroyed)
{
    std::vector<std::string> deleted;
    {
        COwningList<CTracked> list;
        list.Append(std::make_unique<CTracked>("first", deleted));
        list.Append(std::make_unique<CDerived>("second", deleted));
        list.Append(std::make_unique<CTracked>("third", deleted));
        EXPECT_EQ(list.Append(nullptr), nullptr);
        ASSERT_EQ(list.size(), 3u);
        EXPECT_EQ(list[1].Name(), "second");
        EXPECT_TRUE(deleted.empty());
    }
    EXPECT_EQ(deleted, (std::vector<std::string>{"third", "second", "first"}));
}

TEST(OwningList, RemoveHandsOwnershipBackAndClearEmpties)
{
    std::vector<std::string> deleted;
    COwningList<CTracked> list;
    for (const char* name : {"a", "b", "c", "d"}) {
        list.Append(std::make_unique<CTracked>(name, deleted));
    }
    std::unique_ptr<CTracked> taken = list.Remove(1);
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->Name(), "b");
    EXPECT_EQ(list.Remove(3), nullptr);
    EXPECT_TRUE(deleted.empty());

    std::vector<std::string> order;
    for (const auto& element : list) {
        order.push_back(element->Name());
    }
    EXPECT_EQ(order, (std::vector<std::string>{"a", "c", "d"}));

    COwningList<CTracked> moved = std::move(list);
    moved.Clear();
    EXPECT_TRUE(moved.empty());
    EXPECT_EQ(deleted, (std::vector<std::string>{"d", "c", "a"}));
    taken.reset();
    EXPECT_EQ(deleted.back(), "b");
}

} // namespace
