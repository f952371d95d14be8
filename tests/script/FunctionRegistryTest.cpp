// The member registry: keys, the one sort, class-separated lookups, and the
// six tables registered at start-up.
#include "script/FunctionRegistry.h"

#include <gtest/gtest.h>

#include <string>

#include "script/MemberTables.h"

using VORLIN::FunctionEntry;
using VORLIN::FunctionRegistry;
using VORLIN::MemberTables;
using VORLIN::String;

namespace {

class StartupTables : public ::testing::Test {
protected:
    void SetUp() override { MemberTables::registerAll(); }
    static int32_t find(int32_t classNumber, const char* name) {
        return FunctionRegistry::instance().findFunctionIndex(classNumber, name);
    }
};

TEST(FunctionEntry, KeysAreClassNumberThenName) {
    EXPECT_EQ(FunctionEntry::makeKey(4, "queryInt"), "4queryInt");
    EXPECT_EQ(FunctionEntry::makeKey(12, "x"), "12x");
    FunctionEntry e(FunctionEntry::makeKey(4, "queryInt"), 4);
    EXPECT_EQ(e.toString(), "4queryInt");
    EXPECT_EQ(e.index(), 4);
}

TEST(FunctionEntry, ComparesBytewiseWithPrefixesFirst) {
    FunctionEntry a("1a", 0), ab("1ab", 1), b("1b", 2), upper("1B", 3), high("1\xE9", 4);
    EXPECT_LT(a.compare(ab), 0);
    EXPECT_GT(ab.compare(a), 0);
    EXPECT_LT(ab.compare(b), 0);
    EXPECT_LT(upper.compare(b), 0);  // "B" (66) before "b" (98)
    EXPECT_GT(high.compare(b), 0);   // bytes compare unsigned
    EXPECT_EQ(a.compare(FunctionEntry("1a", 9)), 0);
    const VORLIN::CoreObject& base = ab;
    EXPECT_LT(a.compare(base, 0, 0), 0);
}

TEST(FunctionRegistry, TablesGetConsecutiveNumbers) {
    FunctionRegistry r;
    const char* first[] = {"size", "head", ""};
    const char* second[] = {"head", "size", "next", ""};
    EXPECT_EQ(r.registerFunctionTable(first), 1);
    EXPECT_EQ(r.registerFunctionTable(second), 2);
    EXPECT_EQ(r.registerFunctionTable(nullptr), 3);  // counts, adds nothing
    EXPECT_EQ(r.tableCount(), 3);
    EXPECT_EQ(r.size(), 5u);
    r.sort();
    EXPECT_EQ(r.findFunctionIndex(1, "size"), 0);
    EXPECT_EQ(r.findFunctionIndex(2, "size"), 1);
    EXPECT_EQ(r.findFunctionIndex(1, "head"), 1);
    EXPECT_EQ(r.findFunctionIndex(2, "head"), 0);
    EXPECT_EQ(r.findFunctionIndex(2, "next"), 2);
    EXPECT_EQ(r.findFunctionIndex(1, "next"), -1);
    EXPECT_EQ(r.findFunctionIndex(3, "size"), -1);
    EXPECT_EQ(r.findFunctionIndex(0, "size"), -1);
    EXPECT_EQ(r.findFunctionIndex(1, ""), -1);
}

TEST(FunctionRegistry, TheSortOrdersKeysBytewise) {
    FunctionRegistry r;
    const char* names[] = {"zeta", "Alfa", "alfa", "al", ""};
    r.registerFunctionTable(names);
    EXPECT_FALSE(r.isSorted());
    r.sort();
    EXPECT_TRUE(r.isSorted());
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r.entryAt(0).key(), "1Alfa");
    EXPECT_EQ(r.entryAt(1).key(), "1al");
    EXPECT_EQ(r.entryAt(2).key(), "1alfa");
    EXPECT_EQ(r.entryAt(3).key(), "1zeta");
}

TEST(FunctionRegistry, ALookupBeforeTheSortSortsFirst) {
    FunctionRegistry r;
    const char* names[] = {"c", "b", "a", ""};
    r.registerFunctionTable(names);
    EXPECT_EQ(r.findFunctionIndex(1, "a"), 2);
    EXPECT_TRUE(r.isSorted());
    const char* more[] = {"a", ""};
    EXPECT_EQ(r.registerFunctionTable(more), 2);
    EXPECT_EQ(r.findFunctionIndex(2, "a"), 0);
    EXPECT_EQ(r.findFunctionIndex(1, "a"), 2);
}

TEST(FunctionRegistry, LongNamesAndOddBytes) {
    FunctionRegistry r;
    std::string longName(300, 'x');
    const char* names[] = {longName.c_str(), "a b",
                           "\xF1"
                           "and\xFA",
                           ""};
    r.registerFunctionTable(names);
    EXPECT_EQ(r.findFunctionIndex(1, String(longName)), 0);
    EXPECT_EQ(r.findFunctionIndex(1, String(std::string(299, 'x'))), -1);
    EXPECT_EQ(r.findFunctionIndex(1, "a b"), 1);
    EXPECT_EQ(r.findFunctionIndex(1,
                                  "\xF1"
                                  "and\xFA"),
              2);
}

TEST(FunctionRegistry, ResetStartsOver) {
    FunctionRegistry r;
    const char* names[] = {"a", ""};
    r.registerFunctionTable(names);
    r.reset();
    EXPECT_EQ(r.size(), 0u);
    EXPECT_EQ(r.tableCount(), 0);
    EXPECT_EQ(r.findFunctionIndex(1, "a"), -1);
    EXPECT_EQ(r.registerFunctionTable(names), 1);
}

TEST_F(StartupTables, SixTablesInTheirFixedOrder) {
    EXPECT_EQ(MemberTables::classNumber(MemberTables::AdmObjInstance), 1);
    EXPECT_EQ(MemberTables::classNumber(MemberTables::AdmObjExpanded), 2);
    EXPECT_EQ(MemberTables::classNumber(MemberTables::ItemGrid), 3);
    EXPECT_EQ(MemberTables::classNumber(MemberTables::ConxObj), 4);
    EXPECT_EQ(MemberTables::classNumber(MemberTables::Entorno), 5);
    EXPECT_EQ(MemberTables::classNumber(MemberTables::ItemTable), 6);
    EXPECT_EQ(FunctionRegistry::instance().tableCount(), 6);
    EXPECT_EQ(MemberTables::memberCount(MemberTables::AdmObjInstance), 15);
    EXPECT_EQ(MemberTables::memberCount(MemberTables::AdmObjExpanded), 21);
    EXPECT_EQ(MemberTables::memberCount(MemberTables::ItemGrid), 19);
    EXPECT_EQ(MemberTables::memberCount(MemberTables::ConxObj), 23);
    EXPECT_EQ(MemberTables::memberCount(MemberTables::Entorno), 9);
    EXPECT_EQ(MemberTables::memberCount(MemberTables::ItemTable), 11);
    EXPECT_EQ(FunctionRegistry::instance().size(), 98u);
    EXPECT_TRUE(FunctionRegistry::instance().isSorted());
}

TEST_F(StartupTables, EqualNamesInDifferentClassesAreDistinct) {
    EXPECT_EQ(find(2, "size"), 0);
    EXPECT_EQ(find(3, "size"), 0);
    EXPECT_EQ(find(6, "size"), 0);
    EXPECT_EQ(find(1, "size"), -1);
    EXPECT_EQ(find(2, "getParent"), 20);
    EXPECT_EQ(find(1, "getParent"), 8);
    EXPECT_EQ(find(2, "getColumnListValues"), 19);
    EXPECT_EQ(find(3, "getColumnListValues"), 8);
    EXPECT_EQ(find(6, "getColumnListValues"), 7);
    EXPECT_EQ(find(4, "queryInt"), 4);
    EXPECT_EQ(find(4, "execute"), 0);
    EXPECT_EQ(find(5, "showMessage"), 0);
    EXPECT_EQ(find(5, "trace"), 8);
    EXPECT_EQ(find(5, "execute"), -1);
    EXPECT_EQ(find(3, "multiSort"), 17);
    EXPECT_EQ(find(6, "multiSort"), 10);
}

TEST_F(StartupTables, LookupsAreCaseSensitive) {
    EXPECT_EQ(find(5, "ShowMessage"), -1);
    EXPECT_EQ(find(5, "showmessage"), -1);
    EXPECT_EQ(find(1, "search"), -1);
    EXPECT_EQ(find(1, "Search"), 10);
    EXPECT_EQ(find(4, "queryint"), -1);
}

TEST_F(StartupTables, EveryMemberHasItsPosition) {
    for (int c = 0; c < MemberTables::kTableCount; ++c) {
        auto cls = MemberTables::ScriptClass(c);
        const char* const* names = MemberTables::names(cls);
        for (int i = 0; names[i][0]; ++i)
            EXPECT_EQ(find(MemberTables::classNumber(cls), names[i]), i)
                << "class " << c << " member " << names[i];
    }
}

TEST_F(StartupTables, TheAppMemberText) {
    EXPECT_EQ(MemberTables::appMemberNames(),
              " showMessage confirm getTime combine addCaracter setWaitCursor printMsg break "
              "trace ");
    EXPECT_TRUE(MemberTables::isAppMember("combine"));
    EXPECT_TRUE(MemberTables::isAppMember("trace"));
    EXPECT_TRUE(MemberTables::isAppMember("showMessage"));
    EXPECT_FALSE(MemberTables::isAppMember("comb"));
    EXPECT_FALSE(MemberTables::isAppMember("Combine"));
    EXPECT_FALSE(MemberTables::isAppMember(""));
    EXPECT_FALSE(MemberTables::isAppMember("combine confirm"));
    EXPECT_FALSE(MemberTables::isAppMember("size"));
}

TEST_F(StartupTables, RegisteringAgainGivesTheSameNumbers) {
    MemberTables::registerAll();
    EXPECT_EQ(MemberTables::classNumber(MemberTables::ItemTable), 6);
    EXPECT_EQ(FunctionRegistry::instance().size(), 98u);
    EXPECT_EQ(find(2, "getParent"), 20);
}

}  // namespace
