#include "data/DataRow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/GeneralException.h"
#include "data/Archive.h"
#include "data/SortKeys.h"

using VORLIN::Archive;
using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::GeneralException;
using VORLIN::Interfasable;
using VORLIN::SortKeys;
using VORLIN::String;

namespace {

using Bytes = std::vector<uint8_t>;

template <typename F>
void expectFailure(F f, const char* text) {
    try {
        f();
        ADD_FAILURE() << "no exception, expected: " << text;
    } catch (const GeneralException& e) {
        EXPECT_STREQ(e.what(), text);
    }
}

// A row of three cells: an int, a string and a double, named by its own list.
DataRow sampleRow() {
    DataRow row(3);
    row.cell(0)->setInt(7);
    row.cell(1)->setString("Ana");
    row.cell(2)->setDouble(1.5);
    row.setOwnNames("Id|Nombre|Total");
    return row;
}

// Argument rows for execute.
DataRow args(std::initializer_list<DataItem> items) {
    DataRow row(int(items.size()));
    int i = 0;
    for (const DataItem& item : items)
        row.set(i++, item);
    return row;
}

void load(Archive& a, const Bytes& bytes) {
    a.reset(uint32_t(bytes.size()));
    if (!bytes.empty()) std::memcpy(a.buffer(), bytes.data(), bytes.size());
    a.setDataSize(uint32_t(bytes.size()));
    a.setLoading(true);
}

// An object whose "getDataRow" answers something that is not a reference.
class NotARow : public Interfasable {
public:
    DataItem execute(const String&, const DataRow*) override { return DataItem(int32_t(1)); }
};

}  // namespace

// ------------------------------------------------------------------ cells

TEST(DataRowCells, NewRowHasNullCellsAndNoNames) {
    DataRow row(2);
    EXPECT_EQ(row.count(), 2);
    EXPECT_TRUE(row.cell(0)->isNull());
    EXPECT_EQ(row.nameList(), nullptr);
    EXPECT_FALSE(row.isModified());
    EXPECT_FALSE(row.isInserted());
    EXPECT_EQ(DataRow().count(), 0);
}

TEST(DataRowCells, UncheckedAccessOutOfRangeIsHarmless) {
    DataRow row(2);
    EXPECT_EQ(row.cell(2), nullptr);
    EXPECT_EQ(row.cell(-1), nullptr);
    EXPECT_TRUE(row.get(5).isNull());
    row.set(5, DataItem(int32_t(3)));  // nothing happens
    row.setText(-1, "x");
    EXPECT_EQ(row.typeOf(9), DataItem::TNull);
    expectFailure([&] { row.cellChecked(2); }, "DataRow[]: indice fuera de rango");
    expectFailure([&] { row.cellChecked(-1); }, "DataRow[]: indice fuera de rango");
}

TEST(DataRowCells, SetIsARawCopyAndSetTextParsesIntoTheCellType) {
    DataRow row(2);
    row.setType(0, DataItem::TInt);
    row.setText(0, "42.9");
    EXPECT_EQ(row.typeOf(0), DataItem::TInt);
    EXPECT_EQ(row.cell(0)->toInt(), 42);

    row.set(0, DataItem("texto"));  // raw copy: the type goes with the value
    EXPECT_EQ(row.typeOf(0), DataItem::TString);
    DataItem copy = row.get(0);
    copy.setString("otro");
    EXPECT_EQ(row.cell(0)->text(), "texto");  // get hands out a copy
}

TEST(DataRowCells, SetCountStartsOverWithoutNamesOrFlags) {
    DataRow row = sampleRow();
    row.setModified(true);
    row.setCount(4);
    EXPECT_EQ(row.count(), 4);
    EXPECT_TRUE(row.cell(0)->isNull());
    EXPECT_EQ(row.nameList(), nullptr);
    EXPECT_FALSE(row.ownsNames());
    EXPECT_FALSE(row.isModified());
}

TEST(DataRowCells, IsFilledRejectsNullCellsAndNullPointers) {
    EXPECT_TRUE(DataRow().isFilled());
    DataRow row = sampleRow();
    EXPECT_TRUE(row.isFilled());
    row.cell(1)->setNull();
    EXPECT_FALSE(row.isFilled());
    row.cell(1)->setObj(nullptr);
    EXPECT_FALSE(row.isFilled());
    row.cell(1)->setRef(row.cell(0));
    EXPECT_TRUE(row.isFilled());
}

TEST(DataRowCells, ClearAndResetKeepCellsThatOwnAnObject) {
    DataRow row = sampleRow();
    row.cell(1)->setObj(new DataRow(1), true);
    row.setInserted(true);
    row.clearValues();
    EXPECT_TRUE(row.cell(0)->isNull());
    EXPECT_EQ(row.typeOf(1), DataItem::TObj);
    EXPECT_FALSE(row.isInserted());

    DataRow typed = sampleRow();
    typed.setModified(true);
    typed.resetValues();
    EXPECT_EQ(typed.typeOf(0), DataItem::TInt);
    EXPECT_EQ(typed.cell(0)->toInt(), 0);
    EXPECT_EQ(typed.cell(1)->text(), "");
    EXPECT_EQ(typed.cell(2)->text(), "0.000000");
    EXPECT_FALSE(typed.isModified());
}

// ------------------------------------------------------------------ names

TEST(DataRowNames, FindNamedColumnIsCaseSensitive) {
    DataRow row = sampleRow();
    EXPECT_EQ(row.findNamedColumn("Total"), 2);
    EXPECT_TRUE(row.hasColumn("Nombre"));
    EXPECT_FALSE(row.hasColumn("total"));
    expectFailure([&] { row.findNamedColumn("total"); },
                  "DataRow.findNamedColumn: total no existe");
    EXPECT_EQ(row.cellByName("total"), nullptr);
    EXPECT_TRUE(row.getByName("total").isNull());
    EXPECT_EQ(row.getByName("Nombre").text(), "Ana");
    EXPECT_EQ(row.columnName(1), "Nombre");
    EXPECT_EQ(row.columnName(3), "");
}

TEST(DataRowNames, UnnamedRowsSayNotNamed) {
    DataRow row(2);
    expectFailure([&] { row.findNamedColumn("a"); }, "DataRow.findNamedColumn: Not named DataRow");
    expectFailure([&] { row.setTextByName("a", "1"); },
                  "DataRow.findNamedColumn: Not named DataRow");
    EXPECT_FALSE(row.hasColumn("a"));
    EXPECT_EQ(row.columnName(0), "");
}

TEST(DataRowNames, NameTextCountsOnlyBelowTheCellCount) {
    DataRow row(2);
    row.setNameText("a||b|c");
    EXPECT_EQ(row.findNamedColumn("b"), 1);  // the empty piece is skipped
    expectFailure([&] { row.findNamedColumn("c"); }, "DataRow.findNamedColumn: c no existe");
    EXPECT_EQ(row.columnName(1), "b");
    row.setTextByName("b", "hola");
    EXPECT_EQ(row.cell(1)->text(), "hola");
    row.setByName("a", DataItem(int32_t(5)));
    EXPECT_EQ(row.cell(0)->toInt(), 5);
}

TEST(DataRowNames, AssignByNamesCopiesMatchingColumns) {
    DataRow target(3);
    target.setOwnNames("Total|Id|Extra");
    target.cell(0)->setType(DataItem::TString);  // another tag: parsed from text
    target.cell(1)->setType(DataItem::TInt);     // same tag: raw copy
    target.cell(2)->setString("queda");
    target.setModified(true);
    DataRow source = sampleRow();
    target.assignByNames(&source);
    EXPECT_EQ(target.typeOf(0), DataItem::TString);
    EXPECT_EQ(target.cell(0)->text(), "1.500000");
    EXPECT_EQ(target.cell(1)->toInt(), 7);
    EXPECT_EQ(target.cell(2)->text(), "queda");
    EXPECT_FALSE(target.isModified());

    DataRow unnamed(1);
    unnamed.setModified(true);
    unnamed.assignByNames(&source);  // without a name list nothing happens
    EXPECT_TRUE(unnamed.cell(0)->isNull());
    EXPECT_TRUE(unnamed.isModified());
    target.assignByNames(nullptr);
}

// ------------------------------------------------------- copying

// A row made with its cells in its own allocation behaves as any row,
// through every change of its cell count (the sanitizers watch the frees).
TEST(DataRowCells, RowsMadeWithTheirCellsBehaveAsAnyRow) {
    std::unique_ptr<DataRow> row = DataRow::make(3);
    ASSERT_EQ(row->count(), 3);
    EXPECT_TRUE(row->cell(2)->isNull());
    row->cell(1)->setString("una cadena larga que no cabe en la propia celda");
    std::unique_ptr<DataRow> copy = row->clone();
    EXPECT_EQ(copy->cell(1)->text(), row->cell(1)->text());
    // Another count: the cells move to an array of their own.
    DataRow wider(5);
    wider.cell(4)->setInt(9);
    row->copyFrom(wider);
    ASSERT_EQ(row->count(), 5);
    EXPECT_EQ(row->cell(4)->toInt(), 9);
    copy->setCount(1);
    EXPECT_EQ(copy->count(), 1);
    // Read back from an archive, into a made row.
    Archive out;
    wider.serialize(out, true);
    out.setLoading(true);
    out.rewind();
    std::unique_ptr<DataRow> back = DataRow::make(2);
    back->serialize(out, false);
    ASSERT_EQ(back->count(), 5);
    EXPECT_EQ(back->cell(4)->toInt(), 9);
    EXPECT_EQ(DataRow::make(0)->count(), 0);
}

TEST(DataRowCopy, CopyFromResizesAndTakesNamesAndFlags) {
    DataRow source = sampleRow();
    source.setInserted(true);
    source.setNameText("x|y");
    DataRow target(1);
    target.copyFrom(source);
    EXPECT_EQ(target.count(), 3);
    EXPECT_EQ(target.cell(1)->text(), "Ana");
    EXPECT_TRUE(target.isInserted());
    ASSERT_NE(target.nameText(), nullptr);
    EXPECT_EQ(*target.nameText(), "x|y");
    EXPECT_EQ(target.findNamedColumn("Total"), 2);

    DataRow shorter(5);
    shorter.copyFrom(DataRow(2));
    EXPECT_EQ(shorter.count(), 2);
}

TEST(DataRowCopy, SharedNamesAreSharedAndOwnNamesAreCopied) {
    DataRow owner = sampleRow();
    DataRow sharing(3);
    sharing.setNameList(owner.nameList());
    DataRow copy(sharing);
    EXPECT_EQ(copy.nameList(), owner.nameList());  // the same shared list
    EXPECT_FALSE(copy.ownsNames());

    std::unique_ptr<DataRow> clone;
    {
        DataRow temporary = sampleRow();
        clone = temporary.clone();
        EXPECT_NE(clone->nameList(), temporary.nameList());
    }
    // The source and its list are gone; the clone still finds its columns.
    EXPECT_EQ(clone->findNamedColumn("Nombre"), 1);
    EXPECT_EQ(clone->cell(1)->text(), "Ana");
}

// -------------------------------------------------------------- text form

TEST(DataRowText, ToStringJoinsWithTabsAndWritesNull) {
    DataRow row(3);
    row.cell(0)->setInt(-4);
    row.cell(2)->setString("fin");
    EXPECT_EQ(row.toString(), "-4\tnull\tfin\r\n");
    EXPECT_EQ(DataRow().toString(), "\r\n");
}

TEST(DataRowText, LineBreakSurvivesToStringAndFromString) {
    DataRow row(2);
    row.cell(0)->setString("uno\r\ndos");
    row.cell(1)->setString("tres");
    String line = row.toString();
    EXPECT_EQ(line,
              "uno\x1f"
              "dos\ttres\r\n");
    DataRow back(2);
    back.fromString(line);
    EXPECT_EQ(back.cell(0)->text(), "uno\r\ndos");
    EXPECT_EQ(back.cell(1)->text(), "tres");
}

TEST(DataRowText, NullFieldGivesAnEmptyCellOfTheCellType) {
    DataRow row(3);
    row.setType(0, DataItem::TInt);
    row.setType(1, DataItem::TString);
    row.cell(1)->setString("antes");
    row.fromString("12\tnull\t3.5\r\n");
    EXPECT_EQ(row.typeOf(0), DataItem::TInt);
    EXPECT_EQ(row.cell(0)->toInt(), 12);
    EXPECT_EQ(row.cell(1)->text(), "");
    EXPECT_EQ(row.cell(2)->text(), "3.5");  // a null cell becomes a string
}

TEST(DataRowText, ShortLineLeavesTheRemainingCellsUnchanged) {
    DataRow row(3);
    row.cell(2)->setString("intacto");
    row.fromString("a\tb\r\n");
    EXPECT_EQ(row.cell(0)->text(), "a");
    EXPECT_EQ(row.cell(1)->text(), "b");
    EXPECT_EQ(row.cell(2)->text(), "intacto");

    DataRow lead(2);
    lead.cell(0)->setString("x");
    lead.fromString("\tb\r\n");  // an empty first field stops at once
    EXPECT_EQ(lead.cell(0)->text(), "x");
    EXPECT_TRUE(lead.cell(1)->isNull());
}

TEST(DataRowText, OneCellRowDoesNotKeepTheLineEnd) {
    DataRow row(1);
    row.cell(0)->setString("solo");
    DataRow back(1);
    back.fromString(row.toString());
    EXPECT_EQ(back.cell(0)->text(), "solo");
}

// ------------------------------------------------------------- comparison

TEST(DataRowCompare, ColumnModes) {
    DataRow a(2), b(2);
    a.cell(0)->setString("abc");
    b.cell(0)->setString("ABD");
    EXPECT_LT(a.compare(b, 0, 0), 0);  // mode 0 ignores case: abc < abd
    EXPECT_GT(a.compare(b, 0, 2), 0);  // typed: 'a' > 'A'
    EXPECT_EQ(a.compare(b, 5, 2), 0);  // out of range
    DataRow shortRow(1);
    EXPECT_EQ(a.compare(shortRow, 1, 2), 0);
    DataItem notARow;
    EXPECT_EQ(a.compare(notARow, 0, 2), 1);
}

TEST(DataRowCompare, SortKeysKeysInOrderWithDescendingFlags) {
    DataRow a(2), b(2);
    a.cell(0)->setInt(1);
    b.cell(0)->setInt(1);
    a.cell(1)->setString("x");
    b.cell(1)->setString("y");
    SortKeys byBoth(2);
    EXPECT_TRUE(byBoth.add(0));
    EXPECT_TRUE(byBoth.add(1, true));
    EXPECT_FALSE(byBoth.add(0));  // beyond the room: ignored
    EXPECT_EQ(byBoth.count(), 2);
    EXPECT_GT(a.compare(b, byBoth), 0);  // first key equal, second descending
    SortKeys ascending(1);
    ascending.add(1);
    EXPECT_LT(a.compare(b, ascending), 0);
    EXPECT_EQ(a.compare(b, SortKeys(0)), 0);
    EXPECT_LT(DataRow::compareItems(&a, &b, &ascending, DataRow::kSortKeysMode), 0);
    int column = 1;
    EXPECT_LT(DataRow::compareItems(&a, &b, &column, 2), 0);
}

// ------------------------------------------------------------ Interfasable

TEST(DataRowMembers, GetMemberItemByIndexOrName) {
    DataRow row = sampleRow();
    EXPECT_EQ(row.getMemberItem("1"), row.cell(1));
    EXPECT_EQ(row.getMemberItem("Total"), row.cell(2));
    EXPECT_EQ(row.getMemberItem("3"), nullptr);
    EXPECT_EQ(row.getMemberItem("nada"), nullptr);
    std::unique_ptr<DataItem> copy = row.copyMemberItem("Nombre");
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy.get(), row.cell(1));
    EXPECT_EQ(copy->text(), "Ana");
    EXPECT_EQ(row.copyMemberItem("nada"), nullptr);
}

TEST(DataRowFunctions, SizeGetItemAndSetItem) {
    DataRow row = sampleRow();
    EXPECT_EQ(row.execute("size", nullptr).toInt(), 3);
    DataRow two = args({DataItem(2.0)});
    EXPECT_EQ(row.execute("getItem", &two).text(), "1.500000");
    DataRow far = args({DataItem(int32_t(9))});
    EXPECT_TRUE(row.execute("getItem", &far).isNull());

    DataRow set = args({DataItem(int32_t(0)), DataItem("15.7")});
    EXPECT_TRUE(row.execute("setItem", &set).isNull());
    EXPECT_EQ(row.typeOf(0), DataItem::TInt);  // converted into the cell's type
    EXPECT_EQ(row.cell(0)->toInt(), 15);
    DataRow outside = args({DataItem(int32_t(7)), DataItem("x")});
    row.execute("setItem", &outside);  // nothing happens
    EXPECT_EQ(row.cell(1)->text(), "Ana");
}

TEST(DataRowFunctions, SetItemsSetDataTypesAndSetNames) {
    DataRow row(3);
    DataRow types = args({DataItem("int|text")});
    row.execute("setDataTypes", &types);
    EXPECT_EQ(row.typeOf(0), DataItem::TInt);
    EXPECT_EQ(row.typeOf(1), DataItem::TString);
    EXPECT_EQ(row.typeOf(2), DataItem::TNull);

    DataRow items = args({DataItem("8||ocho|extra|mas")});
    row.execute("setItems", &items);
    EXPECT_EQ(row.cell(0)->toInt(), 8);
    EXPECT_EQ(row.cell(1)->text(), "ocho");
    EXPECT_EQ(row.cell(2)->text(), "extra");

    DataRow names = args({DataItem("a|b|c")});
    row.execute("setNames", &names);
    EXPECT_TRUE(row.ownsNames());
    EXPECT_EQ(row.findNamedColumn("c"), 2);
    row.execute("setNames", &names);  // replacing an own list frees the old one
    EXPECT_EQ(row.findNamedColumn("b"), 1);
}

TEST(DataRowFunctions, GetDataRowAndExtract) {
    DataRow source = sampleRow();
    DataItem ref = source.execute("getDataRow", nullptr);
    EXPECT_EQ(ref.type(), DataItem::TRef);
    EXPECT_EQ(DataRow::rowFromRef(ref), &source);

    DataRow target(2);
    target.setOwnNames("Nombre|Otro");
    DataItem object;
    object.setObj(&source);
    DataRow extractArgs = args({object});
    target.execute("extract", &extractArgs);
    EXPECT_EQ(target.cell(0)->text(), "Ana");
    EXPECT_TRUE(target.cell(1)->isNull());

    DataRow notObject = args({DataItem("texto")});
    expectFailure([&] { target.execute("extract", &notObject); },
                  "DataItem.operator >> : DataItem is not an Interfase object\r\nData: texto");
    NotARow notARow;
    DataItem other;
    other.setObj(&notARow);
    DataRow badObject = args({other});
    expectFailure([&] { target.execute("extract", &badObject); },
                  "DataItem.operator >> : DataItem is not a reference");
}

TEST(DataRowFunctions, DottedNamesCallTheValueFunctionOnTheCell) {
    DataRow row = sampleRow();
    EXPECT_EQ(row.execute("Nombre.len", nullptr).toInt(), 3);
    EXPECT_EQ(row.execute("1.len", nullptr).toInt(), 3);  // by index
    row.execute("Nombre.makeUpper", nullptr);             // in place, on the cell itself
    EXPECT_EQ(row.cell(1)->text(), "ANA");
    DataRow two = args({DataItem(int32_t(2))});
    EXPECT_EQ(row.execute("Total.format", &two).text(), "1.50");

    expectFailure([&] { row.execute("nada.len", nullptr); }, "DataRow.nada.len not defined");
    expectFailure([&] { row.execute("7.len", nullptr); }, "DataRow.7.len not defined");
    expectFailure([&] { row.execute("Nombre.volar", nullptr); }, "DataItem.volar not defined");
}

TEST(DataRowFunctions, NumberedColumnNamesBeyondTheCountGoByName) {
    DataRow row(2);
    row.setOwnNames("2020|2021");
    row.cell(0)->setString("");
    row.cell(1)->setString("abcd");
    EXPECT_EQ(row.execute("2021.len", nullptr).toInt(), 4);
    EXPECT_EQ(row.execute("0.len", nullptr).toInt(), 0);
}

TEST(DataRowFunctions, UnknownFunctionsAndHasMember) {
    DataRow row = sampleRow();
    expectFailure([&] { row.execute("volar", nullptr); }, "DataRow.volar not defined");
    EXPECT_TRUE(row.hasMember("size"));
    EXPECT_TRUE(row.hasMember("extract"));
    EXPECT_TRUE(row.hasMember("Nombre.len"));
    EXPECT_TRUE(row.hasMember("0.len"));
    EXPECT_FALSE(row.hasMember("nada.len"));
    EXPECT_FALSE(row.hasMember("volar"));
}

// ------------------------------------------------------------ binary image

TEST(DataRowArchive, RoundTripKeepsTypesAndTexts) {
    DataRow row = sampleRow();
    row.cell(1)->setString("línea\r\ncon salto");
    Archive out;
    row.serialize(out, true);
    out.setLoading(true);
    out.rewind();
    DataRow back(1);
    back.serialize(out, false);
    EXPECT_EQ(out.remaining(), 0u);
    ASSERT_EQ(back.count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(back.typeOf(i), row.typeOf(i));
        EXPECT_EQ(back.cell(i)->text(), row.cell(i)->text());
    }
}

TEST(DataRowArchive, ImageIsTheCountThenTheItems) {
    DataRow row(2);
    row.cell(0)->setString("ab");
    Archive out;
    row.serialize(out, true);
    EXPECT_EQ(Bytes(out.buffer(), out.buffer() + out.dataSize()),
              (Bytes{2, 0, 0, 0, 2, 2, 0, 0, 0, 'a', 'b', 0}));
}

TEST(DataRowArchive, HugeOrNegativeCountsFailBeforeAllocating) {
    DataRow row(1);
    row.cell(0)->setString("antes");
    for (Bytes image : {Bytes{0xFF, 0xFF, 0xFF, 0x7F, 0, 0}, Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0}}) {
        Archive in;
        load(in, image);
        expectFailure([&] { row.serialize(in, false); }, "Archive: end of file");
        ASSERT_EQ(row.count(), 1);
        EXPECT_EQ(row.cell(0)->text(), "antes");
    }
}

TEST(DataRowArchive, TruncatedImageLeavesTheRowAsItWas) {
    DataRow row(1);
    row.cell(0)->setInt(3);
    Archive in;
    load(in, Bytes{2, 0, 0, 0, 3, 1, 0, 0, 0, 2, 9});  // the second item is cut short
    expectFailure([&] { row.serialize(in, false); }, "Archive: end of file");
    ASSERT_EQ(row.count(), 1);
    EXPECT_EQ(row.cell(0)->toInt(), 3);
}
