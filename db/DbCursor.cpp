#include "db/DbCursor.h"

namespace VORLIN {

bool DbCursor::hasRow() {
    return false;
}

void DbCursor::fetch(DataRow*) {}

}  // namespace VORLIN
