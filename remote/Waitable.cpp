#include "remote/Waitable.h"

namespace VORLIN {

Waitable::~Waitable() = default;

String Waitable::name() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return name_;
}

bool Waitable::isCreated() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return created_;
}

}  // namespace VORLIN
