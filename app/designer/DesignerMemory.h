// DesignerMemory: the last design of the query designer, kept by the
// application while it runs: the type, a copy of the design rows and
// copies of the relations. "Procesar" replaces it when it succeeds; a
// designer that opens starts from startDesign(). Lost when the program
// ends (it is never stored).
//
// Ownership: value type, owned by the application object. Threads: the
// GUI thread. Throws nothing but std::bad_alloc.
#pragma once

#include "app/designer/QueryDesign.h"

class DesignerMemory {
public:
    bool hasDesign() const noexcept { return has_; }
    // The remembered design; an empty SELECT design before the first one.
    const QueryDesign& design() const noexcept { return design_; }
    // What a new designer shows: a copy of the remembered design.
    QueryDesign startDesign() const { return design_; }
    void remember(const QueryDesign& design);
    void forget();

private:
    bool has_ = false;
    QueryDesign design_;
};
