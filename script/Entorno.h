// Entorno: the script environment, the object scripts see as "app" and
// "gestor".
//
// It holds two parallel lists, names and values, where the application can
// publish values and objects for scripts (getMemberItem finds them, dotted
// paths included), and it implements the members of "app" through the
// application's ScriptHost: "showMessage", "confirm", "getTime", "combine",
// "addCaracter", "setWaitCursor", "printMsg", "break" and "trace".
// hasMember and execute look member names up in the process registry under
// the environment's class number (MemberTables::Entorno), so registerAll
// must have run first; before that every name is unknown.
//
// Ownership: the environment owns its values; when it dies, every object a
// value refers to is deleted (owned or not), then the values. It never owns
// its host. A ScriptRegisters row that still refers to it is cleared.
//
// Throws GeneralException: "DataRow[]: indice fuera de rango" for a missing
// argument; "app.%s not defined" for a registered member without a
// handler; "DataItem.operator >> : DataItem is not a reference" when
// "addCaracter" gets no variable; "app.%s: ancho fuera de rango (%d)" for a
// padding width above kMaxWidth. getMemberItem never throws. The UI thread
// only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/DataItem.h"
#include "core/Interfasable.h"
#include "core/String.h"

namespace VORLIN {

class ScriptHost;

class Entorno : public Interfasable {
public:
    // Member indexes (positions in MemberTables::kEntorno).
    enum Member : int32_t {
        ShowMessage = 0,
        Confirm = 1,
        GetTime = 2,
        Combine = 3,
        AddCaracter = 4,
        SetWaitCursor = 5,
        PrintMsg = 6,
        Break = 7,
        Trace = 8,
    };
    // Widest padding "combine" and "addCaracter" build.
    static constexpr int32_t kMaxWidth = 1 << 20;

    // `host` may be null: a host that shows nothing and answers no.
    explicit Entorno(ScriptHost* host = nullptr);
    Entorno(const Entorno&) = delete;
    Entorno& operator=(const Entorno&) = delete;
    ~Entorno() override;

    // --- Interfasable ---
    // A name without "." (or with "." first): the value published under
    // that exact name, or null. A dotted path: the head is looked up so; an
    // object found there answers the rest of the path; otherwise null.
    DataItem* getMemberItem(const String& name) override;
    // The members of "app"; an unregistered name gives an empty item.
    DataItem execute(const String& name, const DataRow* args) override;
    // Registry lookup under the environment's class number.
    bool hasMember(const String& name) override;
    // The published values (the objects they refer to die with the
    // environment, but belong to no script value).
    void reportOwned(OwnedParts& parts) override;

    // The environment's class number (0 before registration).
    static int32_t classNumber();

    // --- published values ---
    // Appends `value` under `name` (moved in, ownership included) and answers
    // the stored item. An earlier value of the same name stays, and is the
    // one lookups find.
    DataItem* addValue(const String& name, DataItem value);
    int valueCount() const noexcept { return int(names_.size()); }
    // The value at `index` (publication order), or null out of range.
    DataItem* valueAt(int index) noexcept {
        return index >= 0 && index < valueCount() ? values_[size_t(index)].get() : nullptr;
    }

    ScriptHost& host() noexcept { return *host_; }
    void setHost(ScriptHost* host);

private:
    DataItem* findValue(std::string_view name) noexcept;

    ScriptHost* host_;
    std::vector<String> names_;
    std::vector<std::unique_ptr<DataItem>> values_;
};

}  // namespace VORLIN
