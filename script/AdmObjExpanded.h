// AdmObjExpanded: a collection of mapped rows, the child rows of a list
// reference that point at their parent through a foreign-key column.
//
// Members (class number 2): "size", "head", "next", "prev",
// "getEditInstance", "addNewInstance", "setCurrentInstance",
// "getInstanceAt", "getInstanceWhere", "getInstancePos", "initialize",
// "deleteAll", "deleteAt", "deleteCurrentInstance", "deleteWhere", "sumaDe",
// "sumaProducto", "sumaWhere", "add", "getColumnListValues", "getParent".
// Besides its list it keeps a spare instance (for editing a new row), the
// current position and the deleted instances, which saving deletes from
// the database.
//
// "add" takes a row of the child table (mapped through any connection
// object on the same connection) as that row: moved in when its variable
// owns it, else copied with its key; a row of another table becomes a new
// child row with the values of the columns of the same name.
//
// Loading for parent key P runs "SELECT %s FROM %s WHERE %s=%d%s%s;" (the
// child key, the child table, the foreign key, P, " AND " condition,
// " ORDER BY " order) and loads one instance per key found; P < 1 gives an
// empty list and no query.
//
// Ownership: owns its instances (instances it drops die when the running
// script ends, so references to them stay valid meanwhile); shares the
// child TableDef; never owns its owner. Throws "AdmObjExpanded: No existe
// la función: %s", "AdmObjExpanded.getColumnListValues: bad arguments",
// and the connection's failures. The UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/DataItem.h"
#include "core/Interfasable.h"
#include "script/TableDef.h"

namespace VORLIN {

class AdmObjInstance;

class AdmObjExpanded : public Interfasable {
public:
    enum Member : int32_t {
        Size = 0,
        Head,
        Next,
        Prev,
        GetEditInstance,
        AddNewInstance,
        SetCurrentInstance,
        GetInstanceAt,
        GetInstanceWhere,
        GetInstancePos,
        Initialize,
        DeleteAll,
        DeleteAt,
        DeleteCurrentInstance,
        DeleteWhere,
        SumaDe,
        SumaProducto,
        SumaWhere,
        Add,
        GetColumnListValues,
        GetParent,
    };

    AdmObjExpanded(const RefDescription& description, Interfasable* owner);
    ~AdmObjExpanded() override;

    static int32_t classNumber();

    // --- Interfasable ---
    DataItem execute(const String& name, const DataRow* args) override;
    DataItem getParent() override;
    bool hasMember(const String& name) override;

    // Loads the children of parent key `parentKey`.
    void load(int32_t parentKey);
    // Saves as part of the owner's serialize, with the owner's key.
    void save(int32_t parentKey);

    int size() const noexcept { return int(instances_.size()); }
    AdmObjInstance* at(int i) const noexcept;
    // The current instance, or null.
    AdmObjInstance* current() const noexcept { return at(position_); }
    int32_t parentKey() const noexcept { return parentKey_; }
    // Every row it owns: the listed ones, the deleted ones waiting for the
    // next save, and the spare row of an empty walk.
    void reportOwned(OwnedParts& parts) override;

private:
    AdmObjInstance* newInstance();
    void moveToDeleted(int index);
    void clearAll();
    AdmObjInstance* spare();
    double columnValue(const AdmObjInstance& row, TextRef column) const;

    RefDescription description_;
    std::shared_ptr<TableDef> child_;
    int32_t parentKey_ = 0;
    Interfasable* owner_;
    std::vector<std::unique_ptr<AdmObjInstance>> instances_;
    std::vector<std::unique_ptr<AdmObjInstance>> deleted_;
    std::unique_ptr<AdmObjInstance> spare_;
    int position_ = 0;
};

}  // namespace VORLIN
