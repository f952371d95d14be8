#include "core/CoreObject.h"

#include "core/String.h"

namespace VORLIN {

String CoreObject::toString() const {
    String s;
    toString(s);
    return s;
}

}  // namespace VORLIN
