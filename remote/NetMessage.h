// NetMessage: one message of the remote SQLite protocol: a code byte and its
// arguments in Archive form. On the wire it is framed by a 4-byte
// little-endian length that counts itself (TcpSocket sends and receives it).
//
// A message being built (NetMessage(code)) holds in its body a 4-byte
// placeholder for the length, the code byte and then each argument appended
// in order; sendMessage patches the length in. A message being received
// (NetMessage()) is filled by TcpSocket::receive, which leaves the body
// positioned just after the code byte; its arguments are then read in the
// order they were written.
//
// Ownership: the message owns its body; readBytes hands the caller a new
// block. Not thread-safe: a message belongs to one thread at a time.
// Throws the Archive's GeneralExceptions ("Archive: end of file",
// "Archive: is loading", ...) when a read runs past the arguments or a
// message is used in the wrong direction.
#pragma once

#include <cstdint>
#include <memory>

#include "core/DataItem.h"
#include "core/String.h"
#include "data/Archive.h"

namespace VORLIN {

class DataRow;
class DataSet;

class NetMessage {
public:
    static constexpr uint32_t kInitialCapacity = 1024;

    // A message to send: length placeholder and code written.
    explicit NetMessage(uint8_t code);
    // An empty message to receive into.
    NetMessage();
    NetMessage(const NetMessage&) = delete;
    NetMessage& operator=(const NetMessage&) = delete;

    // Starts building again with another code (the body keeps its buffer).
    void reset(uint8_t code);
    // Makes room for `bytes` of arguments at once, so that a large answer
    // is not copied over and over as it grows. Only before arguments are
    // added (it starts the message again).
    void reserve(uint32_t bytes);

    uint8_t code() const noexcept { return code_; }
    void setCode(uint8_t code) noexcept { code_ = code; }
    Archive& body() noexcept { return body_; }
    const Archive& body() const noexcept { return body_; }
    bool isLoading() const noexcept { return body_.isLoading(); }
    // Argument bytes not read yet (received messages).
    uint32_t remaining() const noexcept { return body_.remaining(); }

    // --- building ---
    NetMessage& addString(const String& text);
    NetMessage& addInt(int32_t value);
    // The length, then the bytes (a null pointer or length 0 writes length 0).
    NetMessage& addBytes(const void* data, uint32_t length);
    NetMessage& addItem(const DataItem& item);
    NetMessage& addRow(DataRow& row);
    NetMessage& addDataSet(DataSet& set);

    // --- reading, in argument order ---
    String readString();
    int32_t readInt();
    // A new copy of the block, or null for length 0; its length in `length`.
    // A negative length or one longer than the bytes left throws
    // "Archive: end of file" before anything is allocated.
    std::unique_ptr<uint8_t[]> readBytes(uint32_t* length);
    void readItem(DataItem& item);
    DataItem readItem();
    // Reads a DataRow image into `row` (its cells are replaced).
    void readRow(DataRow& row);
    // Reads a DataSet image into `set`: appends its rows, after clearing
    // the set when `clear` (header and names are always replaced).
    void readRows(DataSet& set, bool clear);

    // The whole frame as sendMessage would put it on the wire (length
    // patched in); for building messages without a socket.
    String wireImage();

private:
    uint8_t code_ = 0;
    Archive body_;
};

}  // namespace VORLIN
