// RoutineRunFixture: a test fixture that runs one function of a routine
// again and again, the way the desktop client runs scripts one after
// another: a SQLite database "datos" in a temporary folder (published to
// scripts under that name), a headless host, a session, and step(mode),
// which runs "paso(mode)" and ends the run as the outermost runner does.
#pragma once

#include <gtest/gtest.h>

#include <sstream>

#include "../support/TempFolder.h"
#include "core/DataItem.h"
#include "core/String.h"
#include "data/DataRow.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "script/HeadlessHost.h"
#include "script/ObjectCollector.h"
#include "script/OpCode.h"
#include "script/Rutina.h"
#include "script/ScriptFunction.h"
#include "script/ScriptSession.h"
#include "script/Variable.h"

namespace scripttest {

class RoutineRunFixture {
protected:
    // Opens the database; `setupSql` statements run on it first.
    void openDatabase(std::initializer_list<const char*> setupSql) {
        ASSERT_TRUE(db.connect(VORLIN::String(folder.path + "/"), "", "", false, "-"));
        ASSERT_TRUE(db.openDatabase("datos", true));
        for (const char* sql : setupSql)
            db.execute(sql);
        host.addConnection("datos", &db);
    }

    // Runs "paso(mode)", then ends the run (a no-op when the run did it).
    void step(int mode) {
        VORLIN::DataRow args(1);
        args.cell(0)->setInt(mode);
        session.rutina().execute("paso", &args);
        VORLIN::ObjectCollector::releasePending();
    }

    // The value of a variable of "paso".
    const VORLIN::DataItem& variable(const char* name) {
        return session.rutina().findFunction("paso")->findVariable(name)->value();
    }

    testsupport::TempFolder folder;
    VORLIN::SqliteLocalConnection db;
    std::ostringstream out, err;
    VORLIN::HeadlessHost host{out, err};
    VORLIN::ScriptSession session{host};
};

}  // namespace scripttest
