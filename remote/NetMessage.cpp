#include "remote/NetMessage.h"

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"

namespace VORLIN {

NetMessage::NetMessage(uint8_t code) : body_(false) {
    reset(code);
}

NetMessage::NetMessage() : body_(true) {}

void NetMessage::reset(uint8_t code) {
    code_ = code;
    body_.setLoading(false);
    body_.reset(kInitialCapacity);
    body_.writeInt(0);  // the length, patched in when the message is sent
    body_.writeByte(code);
}

void NetMessage::reserve(uint32_t bytes) {
    body_.setLoading(false);
    body_.reset(bytes + 5);
    reset(code_);
}

NetMessage& NetMessage::addString(const String& text) {
    body_.writeString(text);
    return *this;
}

NetMessage& NetMessage::addInt(int32_t value) {
    body_.writeInt(value);
    return *this;
}

NetMessage& NetMessage::addBytes(const void* data, uint32_t length) {
    if (!data) length = 0;
    body_.writeInt(int32_t(length));
    if (length) body_.writeBytes(data, length);
    return *this;
}

NetMessage& NetMessage::addItem(const DataItem& item) {
    body_.writeItem(item);
    return *this;
}

NetMessage& NetMessage::addRow(DataRow& row) {
    row.serialize(body_, true);
    return *this;
}

NetMessage& NetMessage::addDataSet(DataSet& set) {
    set.serialize(body_, true);
    return *this;
}

String NetMessage::readString() {
    return body_.readString();
}

int32_t NetMessage::readInt() {
    return body_.readInt();
}

std::unique_ptr<uint8_t[]> NetMessage::readBytes(uint32_t* length) {
    if (length) *length = 0;
    // Without a whole length left (or in storing mode) readInt throws the
    // archive's own text, leaving the position alone.
    if (!body_.isLoading() || body_.remaining() < 4) (void)body_.readInt();
    // The length is checked before the position moves or anything is
    // allocated: a failed read leaves the message as it was.
    const uint8_t* p = body_.buffer() + body_.position();
    int32_t n =
        int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
    if (n < 0 || uint32_t(n) > body_.remaining() - 4)
        throw GeneralException("Archive: end of file");
    (void)body_.readInt();
    if (n == 0) return nullptr;
    std::unique_ptr<uint8_t[]> block(new uint8_t[uint32_t(n)]);
    body_.readBytes(block.get(), uint32_t(n));
    if (length) *length = uint32_t(n);
    return block;
}

void NetMessage::readItem(DataItem& item) {
    body_.readItem(item);
}

DataItem NetMessage::readItem() {
    DataItem item;
    body_.readItem(item);
    return item;
}

void NetMessage::readRow(DataRow& row) {
    row.serialize(body_, false);
}

void NetMessage::readRows(DataSet& set, bool clear) {
    set.serialize(body_, false, !clear);
}

String NetMessage::wireImage() {
    uint32_t size = body_.dataSize();
    uint8_t* p = body_.buffer();
    if (!p || size < 5) return String();
    p[0] = uint8_t(size);
    p[1] = uint8_t(size >> 8);
    p[2] = uint8_t(size >> 16);
    p[3] = uint8_t(size >> 24);
    return String(TextRef(reinterpret_cast<const char*>(p), size));
}

}  // namespace VORLIN
