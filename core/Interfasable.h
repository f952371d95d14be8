// Interfasable: the interface of every object a script can hold, and the
// type a DataItem of tag "obj" points to.
//
// Its members (lookup and call by name) come with the script engine; here it
// only guarantees that an owned object dies through its virtual destructor.
#pragma once

namespace VORLIN {

class Interfasable {
public:
    virtual ~Interfasable() = default;
};

}  // namespace VORLIN
