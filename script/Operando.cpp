#include "script/Operando.h"

namespace VORLIN {

String Operando::valueText() const {
    String text;
    text.appendDouble(value_);
    return text;
}

}  // namespace VORLIN
