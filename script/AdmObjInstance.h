// AdmObjInstance: one row of a mapped table (TableDef) as a script object.
// Its cells are the table's columns; its reference columns are sub-objects
// (the mapped row whose key the column holds) and its list references are
// collections (AdmObjExpanded) of the child rows that point at it.
//
// Members (class number 1): "setInstance", "getAdmObj", "setNewInstance",
// "hasMember", "getMember", "setMember", "serialize", "from", "getParent",
// "setParent", "Search", "Catalog", "FindDoc", "AddInstance",
// "InsertOrReplaceStr". A dotted name runs the last part on the sub-object
// the rest names. getMemberItem answers "lastError", a column,
// "referencia.resto" (through the sub-object) and "lista[n].resto" or
// "lista[].resto" (through an instance of the collection).
//
// Sub-objects and collections are made the first time they are asked for
// and loaded then; later loads of this row reload the ones that exist, so
// references a script holds to them stay valid for the row's lifetime (and
// a table that refers to itself costs nothing until followed).
//
// Ownership: owns its sub-objects and collections; shares its TableDef;
// never owns its owner or parent. Throws GeneralException with "Not such
// function: %s.%s", "Function not implemented: AdmObjInstance.%s",
// "AdmObjInstance execute function(%s): bad member object",
// "AdmObjInstance.setMember: %s no existe", and the connection's failures.
// The UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/DataItem.h"
#include "data/DataRow.h"

namespace VORLIN {

class AdmObjExpanded;
struct RefDescription;
class TableDef;

class AdmObjInstance : public DataRow {
public:
    enum Member : int32_t {
        SetInstance = 0,
        GetAdmObj,
        SetNewInstance,
        HasMember,
        GetMember,
        SetMember,
        Serialize,
        From,
        GetParent,
        SetParent,
        Search,
        Catalog,
        FindDoc,
        AddInstance,
        InsertOrReplaceStr,
    };

    // A row of `def` loaded by `key` (0: a new, unsaved row).
    AdmObjInstance(std::shared_ptr<TableDef> def, Interfasable* owner, int32_t key = 0);
    ~AdmObjInstance() override;

    static int32_t classNumber();

    // --- Interfasable ---
    DataItem* getMemberItem(const String& name) override;
    DataItem execute(const String& name, const DataRow* args) override;
    DataItem getParent() override { return parent_; }
    bool hasMember(const String& name) override;
    // The object that owns this row (a parent row, through its collection
    // or sub-object), or null for a row a variable owns.
    Interfasable* getOwner() override { return owner_; }
    void setOwner(Interfasable* owner) noexcept { owner_ = owner; }
    // The sub-object of a reference column ("a.b" goes through "a").
    Interfasable* getMemberObject(const String& name) override;

    // --- the row ---
    // Loads the row with key `key` (see the header); K <= 0 or no row
    // clears everything and leaves the key 0.
    void load(int32_t key);
    // Saves the row (INSERT for a new one) and its collections; the key.
    int32_t save();
    int32_t key() const noexcept { return key_; }
    TableDef& def() const noexcept { return *def_; }
    const std::shared_ptr<TableDef>& sharedDef() const noexcept { return def_; }
    // The collection of that list name (made and loaded when first asked).
    AdmObjExpanded* collection(TextRef name);
    // The sub-object of a reference column, loaded by the column's value.
    AdmObjInstance* subObject(TextRef column);
    // This row now holds another stored row (or none) because a script
    // asked it to ("setInstance", "setNewInstance", "serialize", "from"
    // with the key): when it is a sub-object, its owner's reference column
    // takes the new key (null for none), so that the column shows, and
    // saving writes, the row the sub-object holds.
    void keyChanged();
    // A script wrote `path`: a reference column loads its sub-object.
    void referenceWritten(const String& path);
    void memberWritten(const String& name) override { referenceWritten(name); }
    // Takes the other row's values (and its key when `withKey`); a row of
    // another table gives the values of the columns of the same name.
    void copyValues(const AdmObjInstance& other, bool withKey);
    // The sub-objects and collections loaded so far (owned by this row),
    // and the parent and last-error values (the cells are the row's).
    void reportOwned(OwnedParts& parts) override;

private:
    // `sub`, one of the sub-objects, changed its key (see keyChanged).
    void subKeyChanged(const AdmObjInstance& sub);

    struct Sub {
        const RefDescription* description;
        std::unique_ptr<AdmObjInstance> object;
        int32_t loadedFor;
    };
    struct List {
        const RefDescription* description;
        std::unique_ptr<AdmObjExpanded> object;
    };

    int32_t referenceValue(const RefDescription& d) const;

    std::shared_ptr<TableDef> def_;
    int32_t key_ = 0;
    Interfasable* owner_;
    DataItem parent_;
    std::vector<Sub> subs_;
    std::vector<List> lists_;
    DataItem lastError_;
};

}  // namespace VORLIN
