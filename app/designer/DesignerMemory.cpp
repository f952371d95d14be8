#include "app/designer/DesignerMemory.h"

void DesignerMemory::remember(const QueryDesign& design) {
    design_ = design;
    has_ = true;
}

void DesignerMemory::forget() {
    design_ = QueryDesign();
    has_ = false;
}
