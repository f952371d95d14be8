#include "data/DataSet.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/GeneralException.h"
#include "data/Archive.h"
#include "data/FileStream.h"
#include "data/SortKeys.h"

using VORLIN::Archive;
using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::DataSet;
using VORLIN::FileStream;
using VORLIN::GeneralException;
using VORLIN::SortKeys;
using VORLIN::String;
using VORLIN::TextRef;

namespace {

namespace fs = std::filesystem;
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

// Columns Id (int), Nombre (text), Total (double).
void makeColumns(DataSet& set) {
    set.setDataTypes("int|text|double");
    set.setColumnNames("Id|Nombre|Total");
}

DataRow* addRow(DataSet& set, int id, const char* name, double total) {
    auto row = std::make_unique<DataRow>(3);
    row->cell(0)->setInt(id);
    row->cell(1)->setString(name);
    row->cell(2)->setDouble(total);
    return set.insertRow(std::move(row));
}

// Ids 3 "carlos", 1 "Ana", 2 "beto", in that insertion order.
void fill(DataSet& set) {
    makeColumns(set);
    addRow(set, 3, "carlos", 30.0);
    addRow(set, 1, "Ana", 10.0);
    addRow(set, 2, "beto", 20.0);
}

std::vector<int> idsByPosition(const DataSet& set) {
    std::vector<int> ids;
    for (int i = 0; i < set.rowCount(); ++i)
        ids.push_back(set.row(i)->cell(0)->toInt());
    return ids;
}

std::vector<int> idsByLinks(const DataSet& set) {
    std::vector<int> ids;
    for (const DataRow* r : set.rows())
        ids.push_back(r->cell(0)->toInt());
    return ids;
}

Bytes bytesOf(const Archive& a) {
    return Bytes(a.buffer(), a.buffer() + a.dataSize());
}

void load(Archive& a, const Bytes& bytes) {
    a.reset(uint32_t(bytes.size()));
    if (!bytes.empty()) std::memcpy(a.buffer(), bytes.data(), bytes.size());
    a.setDataSize(uint32_t(bytes.size()));
    a.setLoading(true);
}

void append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

Bytes intBytes(int32_t v) {
    return Bytes{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(uint32_t(v) >> 24)};
}

}  // namespace

// --------------------------------------------------------------- new rows

TEST(DataSetRows, NewRowNeedsAHeader) {
    DataSet set;
    EXPECT_EQ(set.newRow(), nullptr);
    EXPECT_EQ(set.rowCount(), 0);
    EXPECT_EQ(set.columnCount(), 1);
}

TEST(DataSetRows, NewRowClonesTheHeaderTypesAndGoesFirst) {
    DataSet set;
    fill(set);
    DataRow* row = set.newRow();
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->count(), 3);
    EXPECT_EQ(row->typeOf(0), DataItem::TInt);
    EXPECT_EQ(row->typeOf(1), DataItem::TString);
    EXPECT_EQ(row->typeOf(2), DataItem::TDouble);
    EXPECT_EQ(set.row(0), row);
    EXPECT_EQ(*set.rows().begin(), row);
    EXPECT_EQ(set.rowCount(), 4);
    EXPECT_EQ(row->nameList(), &set.nameList());
    EXPECT_EQ(row->findNamedColumn("Total"), 2);
}

TEST(DataSetRows, InsertedRowsShareTheSetNames) {
    DataSet set;
    makeColumns(set);
    auto own = std::make_unique<DataRow>(3);
    own->setOwnNames("x|y|z");
    DataRow* row = set.insertRow(std::move(own));
    EXPECT_FALSE(row->ownsNames());
    EXPECT_EQ(row->nameList(), &set.nameList());
    EXPECT_EQ(set.insertRow(static_cast<DataRow*>(nullptr)), nullptr);
}

TEST(DataSetRows, DeleteRowAndClearRows) {
    DataSet set;
    fill(set);
    EXPECT_TRUE(set.deleteRow(1));
    EXPECT_FALSE(set.deleteRow(5));
    EXPECT_EQ(idsByPosition(set), (std::vector<int>{3, 2}));
    set.clearRows();
    EXPECT_EQ(set.rowCount(), 0);
    EXPECT_EQ(set.columnCount(), 3);  // the header stays
}

TEST(DataSetRows, DeleteWhereRemovesEveryMatch) {
    DataSet set;
    makeColumns(set);
    for (int i = 0; i < 6; ++i)
        addRow(set, i % 2, "x", 1.0);
    EXPECT_EQ(set.deleteWhere(0, DataItem(int32_t(1))), 3);
    EXPECT_EQ(idsByPosition(set), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(idsByLinks(set), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(set.deleteWhere(7, DataItem(int32_t(0))), 0);  // no such column
}

TEST(DataSetRows, CopyRowKeepsTheSetNames) {
    DataSet set;
    fill(set);
    DataRow other(3);
    other.setOwnNames("a|b|c");
    other.cell(1)->setString("nuevo");
    DataRow* row = set.copyRow(0, other);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->cell(1)->text(), "nuevo");
    EXPECT_EQ(row->nameList(), &set.nameList());
    EXPECT_EQ(set.copyRow(9, other), nullptr);
}

TEST(DataSetRows, CopyFromClonesRowsAndHeader) {
    DataSet source;
    fill(source);
    DataSet copy;
    copy.copyFrom(source, true);
    EXPECT_EQ(copy.columnCount(), 3);
    EXPECT_EQ(copy.columnName(1), "Nombre");
    EXPECT_EQ(idsByLinks(copy), (std::vector<int>{3, 1, 2}));
    EXPECT_NE(copy.row(0), source.row(0));
    EXPECT_EQ(copy.row(0)->nameList(), &copy.nameList());

    // Into itself: the rows present are appended once.
    copy.filter(0, DataItem(int32_t(1)), true);
    copy.copyFrom(copy, true);
    EXPECT_FALSE(copy.isFiltered());
    EXPECT_EQ(idsByLinks(copy), (std::vector<int>{3, 1, 2, 1}));
}

// ---------------------------------------------------------------- changes

TEST(DataSetChanges, ReadOnlyRejectsRowChangesButAllowsSetCell) {
    DataSet set;
    fill(set);
    set.setReadOnly(true);
    auto row = std::make_unique<DataRow>(3);
    DataRow* kept = row.get();
    expectFailure([&] { set.insertRow(std::move(row)); },
                  "DataSet.insertRow: DataSet is read only");
    EXPECT_EQ(row.get(), kept);  // still the caller's
    expectFailure([&] { set.copyRow(0, *kept); }, "DataSet.insertRow: DataSet is read only");
    expectFailure([&] { set.deleteRow(0); }, "DataSet.insertRow: DataSet is read only");
    set.setCell(0, 1, DataItem("cambiado"));
    EXPECT_EQ(set.getCellText(0, 1), "cambiado");
    EXPECT_EQ(set.rowCount(), 3);
}

TEST(DataSetChanges, TrackingMarksInsertedAndModifiedRows) {
    DataSet set;
    fill(set);
    EXPECT_FALSE(set.row(0)->isModified());  // no tracking while filling
    set.setTrackChanges(true);
    set.setCellText(0, 2, "31");
    EXPECT_TRUE(set.row(0)->isModified());
    DataRow* fresh = set.newRow();
    EXPECT_TRUE(fresh->isInserted());
    set.setCell(0, 1, DataItem("x"));  // an inserted row is not also modified
    EXPECT_FALSE(fresh->isModified());
    DataRow* added = addRow(set, 9, "z", 0.0);
    EXPECT_TRUE(added->isInserted());
}

TEST(DataSetChanges, CellAccessChecksTheColumnButNotTheRow) {
    DataSet set;
    fill(set);
    EXPECT_EQ(set.getCell(1, 1).text(), "Ana");
    EXPECT_EQ(set.getCell(1, 0).type(), DataItem::TInt);
    EXPECT_TRUE(set.getCell(9, 1).isNull());
    EXPECT_EQ(set.getCellText(9, 1), "");
    set.setCell(9, 1, DataItem("x"));  // nothing happens
    expectFailure([&] { set.getCell(0, 3); }, "DataRow[]: indice fuera de rango");
    expectFailure([&] { set.setCellText(0, -1, "x"); }, "DataRow[]: indice fuera de rango");
    set.setCellText(1, 0, "44");
    EXPECT_EQ(set.getCell(1, 0).toInt(), 44);
}

// ------------------------------------------------------------------ names

TEST(DataSetNames, FindNamedColumnIsCaseSensitive) {
    DataSet set;
    fill(set);
    EXPECT_EQ(set.findNamedColumn("Total"), 2);
    EXPECT_TRUE(set.hasColumn("Total"));
    EXPECT_FALSE(set.hasColumn("total"));
    expectFailure([&] { set.findNamedColumn("total"); },
                  "DataSet.findNamedColumn: 'total' no existe");
}

TEST(DataSetNames, NamesAndTypesFromText) {
    DataSet set;
    set.setColumnNames("a||b");
    EXPECT_EQ(set.nameList().count(), 2);
    EXPECT_EQ(set.columnName(1), "b");
    EXPECT_EQ(set.columnName(2), "");
    set.setDataTypes("date|bool|nada");
    ASSERT_NE(set.header(), nullptr);
    EXPECT_EQ(set.header()->typeOf(0), DataItem::TDate);
    EXPECT_EQ(set.header()->typeOf(1), DataItem::TBool);
    EXPECT_EQ(set.header()->typeOf(2), DataItem::TNull);
    EXPECT_EQ(set.header()->nameList(), &set.nameList());
    set.setDataTypes("");
    EXPECT_EQ(set.header(), nullptr);
    EXPECT_EQ(set.columnCount(), 1);

    DataSet other;
    other.setColumnNames(set.nameList());
    EXPECT_EQ(other.columnName(0), "a");
    other.setColumnNames(other.nameList());  // onto itself: unchanged
    EXPECT_EQ(other.nameList().count(), 2);
}

// --------------------------------------------------- filter, find and sort

TEST(DataSetFilter, RowCountFollowsTheFilter) {
    DataSet set;
    fill(set);
    set.filter(1, DataItem("AR"), false);  // "carlos" contains "ar" ignoring case
    EXPECT_TRUE(set.isFiltered());
    EXPECT_EQ(set.rowCount(), 1);
    EXPECT_EQ(set.row(0)->cell(0)->toInt(), 3);
    set.clearFilter();
    EXPECT_EQ(set.rowCount(), 3);

    set.filter(0, DataItem(int32_t(2)), true);
    EXPECT_EQ(idsByLinks(set), std::vector<int>{2});
    set.filter(1, DataItem("a"), false);
    EXPECT_EQ(idsByLinks(set), (std::vector<int>{3, 1}));
}

TEST(DataSetFilter, DeletingInTheSelectionAlsoLeavesTheMainList) {
    DataSet set;
    fill(set);
    set.filter(1, DataItem("a"), false);  // carlos, Ana
    EXPECT_TRUE(set.deleteRow(0));
    EXPECT_EQ(set.rowCount(), 1);
    set.clearFilter();
    EXPECT_EQ(idsByLinks(set), (std::vector<int>{1, 2}));

    set.filter(2, DataItem(10.0), true);
    EXPECT_EQ(set.deleteWhere(2, DataItem(10.0)), 1);
    EXPECT_EQ(set.rowCount(), 0);
    set.clearFilter();
    EXPECT_EQ(idsByPosition(set), std::vector<int>{2});
}

TEST(DataSetFilter, NewRowWhileFilteredIsInBothLists) {
    DataSet set;
    fill(set);
    set.filter(0, DataItem(int32_t(1)), true);
    DataRow* row = set.newRow();
    EXPECT_EQ(set.row(0), row);
    EXPECT_EQ(set.rowCount(), 2);
    set.clearFilter();
    EXPECT_EQ(set.rowCount(), 4);
}

TEST(DataSetFind, FindByIndexOrByLinksAndFindText) {
    DataSet set;
    fill(set);
    SortKeys byId(1);
    byId.add(0);
    set.sort(byId);
    EXPECT_EQ(set.find(0, DataItem(int32_t(3)), true)->cell(1)->text(), "carlos");
    EXPECT_EQ(set.lastFound(), 2);  // its sorted position
    set.find(0, DataItem(int32_t(3)), false);
    EXPECT_EQ(set.lastFound(), 0);  // its link position
    EXPECT_EQ(set.find(0, DataItem(int32_t(8)), true), nullptr);
    EXPECT_EQ(set.lastFound(), -1);
    EXPECT_EQ(set.find(3, DataItem(int32_t(3)), true), nullptr);  // no such column

    EXPECT_EQ(set.findText(1, "ana", true, false), nullptr);
    EXPECT_EQ(set.findText(1, "ana", true, true)->cell(0)->toInt(), 1);
    EXPECT_EQ(set.findText(1, "BE", false, true)->cell(0)->toInt(), 2);
    EXPECT_EQ(set.lastFound(), 1);
    EXPECT_EQ(set.findText(1, "bet", true, false), nullptr);  // whole text only
    EXPECT_EQ(set.findText(1, "betooo", false, false), nullptr);
}

TEST(DataSetFind, RowsWithTooFewCellsAreAnError) {
    DataSet set;
    makeColumns(set);
    set.insertRow(std::make_unique<DataRow>(1));
    expectFailure([&] { set.find(2, DataItem(1.0), true); }, "DataRow[]: indice fuera de rango");
}

TEST(DataSetSort, SortsPositionsButNotInsertionOrder) {
    DataSet set;
    fill(set);
    SortKeys byName(1);
    byName.add(1);
    set.sort(byName);
    EXPECT_EQ(set.row(0)->cell(1)->text(), "Ana");  // byte-wise: upper case first
    EXPECT_EQ(idsByPosition(set), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(idsByLinks(set), (std::vector<int>{3, 1, 2}));

    SortKeys byTotalDown(1);
    byTotalDown.add(2, true);
    set.sort(byTotalDown);
    EXPECT_EQ(idsByPosition(set), (std::vector<int>{3, 2, 1}));
}

TEST(DataSetSort, SecondKeyBreaksTiesAndNullCellsDoNotCrash) {
    DataSet set;
    makeColumns(set);
    addRow(set, 1, "b", 0);
    addRow(set, 2, "a", 0);
    addRow(set, 1, "a", 0);
    SortKeys order(2);
    order.add(0);
    order.add(1, true);
    set.sort(order);
    EXPECT_EQ(set.getCellText(0, 1), "b");
    EXPECT_EQ(set.getCellText(1, 1), "a");
    EXPECT_EQ(set.getCell(2, 0).toInt(), 2);

    for (int i = 0; i < 200; ++i) {
        DataRow* row = set.newRow();
        if (i % 3)
            row->cell(1)->setNull();
        else
            row->cell(1)->setString(std::to_string(i * 7919 % 101));
    }
    set.sort(order);
    EXPECT_EQ(set.rowCount(), 203);
}

// ----------------------------------------------------------------- export

class DataSetExport : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("quelmir_ds_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        DataSet::setSaveFileChooser(nullptr);
        fs::remove_all(dir_);
    }

    std::string path(const char* name) const { return (dir_ / name).string(); }

    static std::string readAll(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir_;
};

TEST_F(DataSetExport, WritesNamesThenRowsInInsertionOrder) {
    DataSet set;
    fill(set);
    set.row(1)->cell(1)->setString("Ana\r\nMaria");
    SortKeys byId(1);
    byId.add(0);
    set.sort(byId);
    FileStream file;
    ASSERT_TRUE(file.create(path("datos.txt")));
    EXPECT_TRUE(set.exportText(&file));
    // A file passed in is left open.
    EXPECT_TRUE(file.isOpen());
    file.write("fin");
    file.close();
    EXPECT_EQ(readAll(path("datos.txt")),
              "Id\tNombre\tTotal\r\n"
              "3\tcarlos\t30.000000\r\n"
              "1\tAna\x1f"
              "Maria\t10.000000\r\n"
              "2\tbeto\t20.000000\r\n"
              "fin");
}

TEST_F(DataSetExport, UnnamedColumnsGiveEmptyFields) {
    DataSet set;
    set.setDataTypes("text|text");
    set.setColumnNames("Solo");
    DataRow* row = set.newRow();
    row->cell(0)->setString("x");
    FileStream file;
    ASSERT_TRUE(file.create(path("u.txt")));
    set.exportText(&file);
    file.close();
    EXPECT_EQ(readAll(path("u.txt")), "Solo\t\r\nx\tnull\r\n");
}

TEST_F(DataSetExport, WithoutAFileTheChooserPicksOne) {
    DataSet set;
    fill(set);
    EXPECT_FALSE(set.exportText());  // no chooser installed: as if cancelled

    std::string askedFilter;
    DataSet::setSaveFileChooser([&](const String& filter) {
        askedFilter = filter.toStdString();
        return String();
    });
    EXPECT_FALSE(set.exportText());  // cancelled
    EXPECT_EQ(askedFilter, "Archivos de texto (*.txt)|*.txt");

    std::string target = path("elegido.txt");
    DataSet::setSaveFileChooser([&](const String&) { return String(target); });
    set.filter(0, DataItem(int32_t(2)), true);
    EXPECT_TRUE(set.exportText());
    EXPECT_EQ(readAll(target), "Id\tNombre\tTotal\r\n2\tbeto\t20.000000\r\n");

    DataSet::setSaveFileChooser([&](const String&) { return String(path("no/existe/x.txt")); });
    EXPECT_THROW(set.exportText(), GeneralException);
}

// ------------------------------------------------------------ binary image

TEST(DataSetArchive, TwoNamedColumnsWithoutRowsLayout) {
    DataSet set;
    set.setDataTypes("int|text");
    set.setColumnNames("a|bc");
    Archive out;
    set.serialize(out, true);
    Bytes want = intBytes(2);
    want.push_back(1);
    append(want, Bytes{3, 0, 0, 0, 0});  // int cell 0
    append(want, Bytes{1, 0, 0, 0, 'a'});
    append(want, Bytes{2, 0, 0, 0, 0});  // empty text cell
    append(want, Bytes{2, 0, 0, 0, 'b', 'c'});
    append(want, intBytes(0));
    EXPECT_EQ(bytesOf(out), want);
}

TEST(DataSetArchive, WithoutHeaderOneColumnAndShortRowsPadded) {
    DataSet set;
    auto wide = std::make_unique<DataRow>(2);
    wide->cell(0)->setString("x");
    set.insertRow(std::move(wide));
    set.insertRow(std::make_unique<DataRow>(0));
    Archive out;
    set.serialize(out, true);
    Bytes want = intBytes(1);
    want.push_back(0);
    append(want, intBytes(2));
    append(want, Bytes{2, 1, 0, 0, 0, 'x'});
    append(want, Bytes{0});  // the empty row gets a null item
    EXPECT_EQ(bytesOf(out), want);
}

TEST(DataSetArchive, RoundTripInPositionalOrder) {
    DataSet set;
    fill(set);
    SortKeys byId(1);
    byId.add(0);
    set.sort(byId);
    Archive out;
    set.serialize(out, true);
    out.setLoading(true);
    out.rewind();

    DataSet back;
    back.setColumnNames("viejo");
    back.serialize(out, false);
    EXPECT_EQ(out.remaining(), 0u);
    EXPECT_EQ(back.columnCount(), 3);
    EXPECT_EQ(back.columnName(2), "Total");
    EXPECT_EQ(back.nameList().count(), 3);
    EXPECT_EQ(back.header()->typeOf(2), DataItem::TDouble);
    EXPECT_EQ(idsByLinks(back), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(back.row(1)->findNamedColumn("Nombre"), 1);
    EXPECT_EQ(back.getCellText(2, 1), "carlos");
    EXPECT_EQ(back.row(0)->typeOf(2), DataItem::TDouble);
}

TEST(DataSetArchive, KeepRowsAppends) {
    DataSet set;
    fill(set);
    Archive out;
    set.serialize(out, true);
    out.setLoading(true);
    out.rewind();
    set.serialize(out, false, true);
    EXPECT_EQ(idsByLinks(set), (std::vector<int>{3, 1, 2, 3, 1, 2}));
    out.rewind();
    set.serialize(out, false, false);
    EXPECT_EQ(set.rowCount(), 3);
}

TEST(DataSetArchive, HugeCountsFailBeforeAllocating) {
    DataSet set;
    fill(set);
    const int32_t counts[] = {2000000000, -1};
    for (int32_t columns : counts) {
        Bytes image = intBytes(columns);
        image.push_back(1);
        append(image, Bytes(16, 0));
        Archive in;
        load(in, image);
        expectFailure([&] { set.serialize(in, false, true); }, "Archive: end of file");
        EXPECT_EQ(set.columnCount(), 3);  // nothing replaced
        EXPECT_EQ(set.rowCount(), 3);
    }
    // A sane header but two billion rows.
    Bytes image = intBytes(1);
    image.push_back(0);
    append(image, intBytes(2000000000));
    append(image, Bytes(8, 0));
    Archive in;
    load(in, image);
    expectFailure([&] { set.serialize(in, false, false); }, "Archive: end of file");
    EXPECT_EQ(set.rowCount(), 0);
    EXPECT_EQ(set.header(), nullptr);
}

TEST(DataSetArchive, TruncatedLoadKeepsWholeRowsOnly) {
    DataSet set;
    fill(set);
    Archive out;
    set.serialize(out, true);
    Bytes image = bytesOf(out);
    image.resize(image.size() - 3);  // the last row is cut short

    DataSet back;
    Archive in;
    load(in, image);
    expectFailure([&] { back.serialize(in, false); }, "Archive: end of file");
    EXPECT_EQ(back.columnCount(), 3);
    EXPECT_EQ(idsByLinks(back), (std::vector<int>{3, 1}));
    // Still usable afterwards.
    EXPECT_EQ(back.row(1)->findNamedColumn("Total"), 2);
    back.newRow();
    EXPECT_EQ(back.rowCount(), 3);
}

// ------------------------------------------------------------- ownership

TEST(DataSetOwnership, RowsNotOwnedOutliveTheSet) {
    DataRow outside(1);
    outside.cell(0)->setInt(5);
    {
        DataSet set;
        set.setColumnNames("n");
        set.setRowsNotOwned(true);
        set.insertRow(&outside);
        EXPECT_EQ(outside.findNamedColumn("n"), 0);
        set.clearRows();
        EXPECT_EQ(outside.nameList(), nullptr);  // the set's names are not left behind
        set.insertRow(&outside);
    }
    EXPECT_EQ(outside.cell(0)->toInt(), 5);
    EXPECT_EQ(outside.nameList(), nullptr);
}

TEST(DataSetOwnership, ListsNotOwnedAreHandedOverEmpty) {
    std::unique_ptr<VORLIN::ItemList> rows, names;
    {
        DataSet set;
        fill(set);
        set.setListsNotOwned(true);
        rows.reset(set.rowListObject());
        names.reset(set.nameListObject());
    }
    EXPECT_EQ(rows->count(), 0);
    EXPECT_EQ(names->count(), 0);
}

// ------------------------------------------------- sort against the rows

namespace {

// Texts built to defeat shortcuts: shared prefixes of every length, embedded
// and trailing zero bytes, lengths around the 7- and 8-byte marks, repeats.
std::string awkwardText(std::mt19937& rng) {
    static const char* stems[] = {"", "a", "cliente ", "prefijo comun ", "abcdefg", "abcdefgh"};
    std::string s = stems[rng() % 6];
    size_t extra = rng() % 12;
    for (size_t i = 0; i < extra; ++i) {
        uint32_t r = rng() % 10;
        s += r == 0 ? '\0' : (r == 1 ? char(0xE9) : char('a' + rng() % 3));
    }
    return s;
}

// Every neighbour pair of the sorted positions is in order by the row
// comparison itself, and every row is still there once.
void expectSorted(const DataSet& set, const SortKeys& order, size_t rows) {
    ASSERT_EQ(size_t(set.rowCount()), rows);
    std::vector<const DataRow*> seen;
    for (int i = 0; i < set.rowCount(); ++i) {
        seen.push_back(set.row(i));
        if (i > 0) {
            ASSERT_LE(set.row(i - 1)->compare(*set.row(i), order), 0)
                << "at " << i << ": " << set.row(i - 1)->toString().toStdString() << " / "
                << set.row(i)->toString().toStdString();
        }
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
}

}  // namespace

TEST(DataSetSort, AgreesWithTheRowComparisonOnAwkwardData) {
    std::mt19937 rng(2024);
    DataSet set;
    set.setDataTypes("text|int|double|text");
    const size_t rows = 3000;
    for (size_t i = 0; i < rows; ++i) {
        DataRow* row = set.newRow();
        std::string text = awkwardText(rng);
        row->cell(0)->setString(String(TextRef(text.data(), text.size())));
        row->cell(1)->setInt(int32_t(rng() % 7) - 3);
        // Whole numbers in a double column compare with the ints by value.
        if (rng() % 2)
            row->cell(2)->setDouble(double(int(rng() % 9) - 4) * 0.5);
        else
            row->cell(2)->setInt(int32_t(rng() % 5) - 2);
        row->cell(3)->setString(rng() % 3 ? "x" : "y");
    }
    const std::vector<std::vector<SortKeys::Key>> orders = {{{0, false}},
                                                            {{0, true}},
                                                            {{2, false}},
                                                            {{2, true}},
                                                            {{0, false}, {1, true}},
                                                            {{3, false}, {0, true}, {2, false}},
                                                            {{1, false}, {2, true}, {0, false}}};
    for (const auto& keys : orders) {
        SortKeys order(int(keys.size()));
        for (const SortKeys::Key& k : keys)
            order.add(k.column, k.descending);
        set.sort(order);
        expectSorted(set, order, rows);
        set.sort(order);  // again, from sorted positions
        expectSorted(set, order, rows);
    }
}
