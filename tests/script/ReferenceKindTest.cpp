// How "ref" items are told apart: raw references (items, and rows carried
// by DataRow), variable references of the script engine, item references.
#include "ScriptTestSupport.h"

using namespace scripttest;
using RefKind = DataItem::RefKind;

namespace {

TEST(ReferenceKind, SetRefMakesARawReference) {
    DataItem target(1.0);
    DataItem r;
    r.setRef(&target);
    EXPECT_EQ(r.refKind(), RefKind::Raw);
    EXPECT_EQ(r.getRef(), &target);
    EXPECT_EQ(r.refTarget(), &target);
    EXPECT_EQ(DataRow::makeRowRef(nullptr).refKind(), RefKind::Row);
}

TEST(ReferenceKind, KindsTravelWithCopiesAndDieWithTheValue) {
    Variable v("x");
    DataItem r = Variable::makeReference(&v, "campo");
    EXPECT_EQ(r.type(), DataItem::TRef);
    EXPECT_EQ(r.refKind(), RefKind::Variable);
    EXPECT_EQ(r.refTarget(), &v);
    EXPECT_EQ(r.auxText(), "campo");
    EXPECT_EQ(r.text().left(5), "*Ref*");
    DataItem copy(r);
    EXPECT_EQ(copy.refKind(), RefKind::Variable);
    DataItem assigned;
    assigned = r;
    EXPECT_EQ(Variable::referencedVariable(assigned), &v);
    DataItem moved(std::move(copy));
    EXPECT_EQ(moved.refKind(), RefKind::Variable);
    // Any setter clears the kind; a plain setRef is raw again.
    moved.setInt(3);
    EXPECT_EQ(moved.refKind(), RefKind::Raw);
    assigned.setRef(static_cast<DataItem*>(nullptr));
    EXPECT_EQ(assigned.refKind(), RefKind::Raw);
    r.setType(DataItem::TRef);
    EXPECT_EQ(r.refKind(), RefKind::Raw);
    EXPECT_EQ(r.refTarget(), nullptr);
    DataItem other(2.0);
    EXPECT_EQ(other.refTarget(), nullptr);
    EXPECT_EQ(other.refKind(), RefKind::Raw);
}

TEST(ReferenceKind, AVariableReferenceIsNoItemPointer) {
    Variable v("x");
    DataItem r = Variable::makeReference(&v);
    EXPECT_EQ(messageOf([&] { r.getRef(); }), "DataItem.operator >> : DataItem is not a reference");
    // So a row can never be read out of it.
    EXPECT_EQ(messageOf([&] { DataRow::rowFromRef(r); }),
              "DataItem.operator >> : DataItem is not a reference");
    // Equal pointers of different kinds are different references.
    DataItem raw;
    raw.setRef(reinterpret_cast<DataItem*>(&v));
    EXPECT_NE(r.compare(raw), 0);
    EXPECT_EQ(r.compare(Variable::makeReference(&v)), 0);
}

TEST(ReferenceKind, OnlyVariableAndItemReferencesAreFollowed) {
    Variable v("x");
    v.value().setDouble(7.0);
    DataItem varRef = Variable::makeReference(&v);
    EXPECT_EQ(&Variable::follow(varRef), &v.value());
    DataItem item(8.0);
    DataItem itemRef;
    itemRef.setRef(RefKind::Item, &item);
    EXPECT_EQ(itemRef.getRef(), &item);
    EXPECT_EQ(&Variable::follow(itemRef), &item);
    DataItem raw;
    raw.setRef(&item);
    EXPECT_EQ(&Variable::follow(raw), &raw);
    DataRow row(1);
    DataItem rowRef = DataRow::makeRowRef(&row);
    EXPECT_EQ(&Variable::follow(rowRef), &rowRef);
    EXPECT_EQ(Variable::followTarget(rowRef), &rowRef);
    DataItem plain(1.0);
    EXPECT_EQ(&Variable::follow(plain), &plain);
    EXPECT_FALSE(Variable::isFollowed(plain));
    EXPECT_FALSE(Variable::isFollowed(raw));
    EXPECT_TRUE(Variable::isFollowed(varRef));
    EXPECT_TRUE(Variable::isFollowed(itemRef));
    DataItem nowhere;
    nowhere.setRef(RefKind::Item, nullptr);
    EXPECT_TRUE(Variable::follow(nowhere).isNull());
    EXPECT_EQ(Variable::followTarget(nowhere), nullptr);
}

TEST(ReferenceKind, ArgumentsAreReadThroughReferences) {
    Variable v("x");
    v.value().setString("12");
    DataRow args(3);
    args.set(0, Variable::makeReference(&v));
    DataItem item(int32_t(5));
    DataItem itemRef;
    itemRef.setRef(RefKind::Item, &item);
    args.set(1, itemRef);
    args.set(2, DataItem("hola"));
    EXPECT_EQ(ScriptArgs::count(&args), 3);
    EXPECT_EQ(ScriptArgs::count(nullptr), 0);
    EXPECT_EQ(ScriptArgs::text(&args, 0), "12");
    EXPECT_EQ(ScriptArgs::toInt(&args, 0), 12);
    EXPECT_EQ(ScriptArgs::toDouble(&args, 1), 5.0);
    EXPECT_EQ(ScriptArgs::text(&args, 2), "hola");
    EXPECT_EQ(ScriptArgs::variable(&args, 0), &v.value());
    EXPECT_EQ(ScriptArgs::variable(&args, 1), &item);
    EXPECT_EQ(messageOf([&] { ScriptArgs::variable(&args, 2); }),
              "DataItem.operator >> : DataItem is not a reference");
    EXPECT_EQ(messageOf([&] { ScriptArgs::value(&args, 3); }), "DataRow[]: indice fuera de rango");
    EXPECT_EQ(messageOf([&] { ScriptArgs::value(nullptr, 0); }),
              "DataRow[]: indice fuera de rango");
    EXPECT_FALSE(ScriptArgs::has(&args, 3));
    EXPECT_FALSE(ScriptArgs::has(&args, -1));
    EXPECT_TRUE(ScriptArgs::has(&args, 2));
}

}  // namespace
