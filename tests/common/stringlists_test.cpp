// String-list registry: handle numbering, bounds of every operation, registry life cycle.
#include "common/stringlists.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class StringLists : public ::testing::Test {
  protected:
    void SetUp() override { listinit(); }
    void TearDown() override { listfreeall(); }
};

} // namespace

TEST_F(StringLists, HandlesAreMultiplesOfThreeFromSix) {
    EXPECT_EQ(listcreate(), 6);
    EXPECT_EQ(listcreate(), 9);
    EXPECT_EQ(listcreate(), 12);
    listinit(); // a second init changes nothing
    EXPECT_EQ(listcreate(), 15);
}

TEST_F(StringLists, ItemsKeepTheirOrderAndLength) {
    int list = listcreate();
    ASSERT_EQ(listadd(list, "C:\\TEMP\\X"), 1);
    ASSERT_EQ(listadd(list, "second"), 1);
    ASSERT_EQ(listadd(list, ""), 1);
    EXPECT_EQ(listcount(list), 3);

    char small[4];
    EXPECT_EQ(listget(list, 0, small, sizeof small), 9);
    EXPECT_STREQ(small, "C:\\");
    char buffer[64];
    EXPECT_EQ(listget(list, 1, buffer, sizeof buffer), 6);
    EXPECT_STREQ(buffer, "second");
    EXPECT_EQ(listget(list, 2, buffer, sizeof buffer), 0); // empty item: length 0
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(listget(list, 3, buffer, sizeof buffer), 0); // position == count
    EXPECT_EQ(listget(list, -1, buffer, sizeof buffer), 0);
    EXPECT_EQ(listget(list, 0, buffer, 0), 0);
    EXPECT_EQ(listget(list, 0, nullptr, 10), 0);
}

TEST_F(StringLists, ListsAreIndependent) {
    int a = listcreate();
    int b = listcreate();
    listadd(a, "a1");
    listadd(b, "b1");
    listadd(a, "a2");
    char buffer[8];
    EXPECT_EQ(listcount(a), 2);
    EXPECT_EQ(listcount(b), 1);
    listget(a, 1, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "a2");
    EXPECT_EQ(listclear(a), 1);
    EXPECT_EQ(listcount(a), 0);
    EXPECT_EQ(listcount(b), 1);
    EXPECT_EQ(listadd(a, "again"), 1); // a cleared list takes items again
    EXPECT_EQ(listcount(a), 1);
}

TEST_F(StringLists, UnknownAndInvalidHandles) {
    int list = listcreate();
    EXPECT_EQ(listcount(0), -1); // a multiple of 3 that no list has
    EXPECT_EQ(listcount(7), 0);
    EXPECT_EQ(listcount(list + 3), -1);
    EXPECT_EQ(listclear(7), 0);
    EXPECT_EQ(listclear(99), -1);
    EXPECT_EQ(listadd(99, "x"), 0);
    EXPECT_EQ(listadd(list, nullptr), 0);
    char buffer[8];
    EXPECT_EQ(listget(7, 0, buffer, sizeof buffer), 0);
}

TEST_F(StringLists, FreeAllReturnsToTheUninitialisedState) {
    int list = listcreate();
    for (int i = 0; i < 100; i++) listadd(list, std::to_string(i).c_str());
    listfreeall();
    EXPECT_EQ(listcreate(), 0);
    EXPECT_EQ(listadd(list, "x"), 0);
    EXPECT_EQ(listcount(list), 0);
    EXPECT_EQ(listclear(list), 0);
    char buffer[8];
    EXPECT_EQ(listget(list, 0, buffer, sizeof buffer), 0);
    listfreeall(); // harmless when not initialised
    listinit();
    EXPECT_EQ(listcreate(), 6);
}
