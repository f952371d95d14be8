// RequestDecoder: turns a received request message into a Request (its
// code and its arguments, typed) without acting on it, and back.
//
// Every known request has a fixed argument list (texts, 32-bit integers, a
// byte block, a data set); decode() reads exactly that list from the
// message and refuses a message whose arguments do not decode (too short, a
// negative or oversized length, a malformed data set) with the text
// "Peticion <code> (<name>): argumentos invalidos: <reason>". Bytes after
// the last argument are ignored. The query request (17) may leave out its
// second text (the column types), as the catalogue operations send it, and
// the scalar query (13) its conversion (RemoteCode::kAs...). An
// unknown code decodes to a Request whose `known` is false (no arguments
// read).
//
// Plain functions; thread-safe. Throws GeneralException as above.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/String.h"
#include "data/DataSet.h"

namespace VORLIN {
class NetMessage;
}

struct Request {
    uint8_t code = 0;
    bool known = false;
    std::vector<VORLIN::String> texts;
    std::vector<int32_t> ints;
    std::string block;                      // the file upload's bytes
    std::unique_ptr<VORLIN::DataSet> rows;  // the default rows of updateDatabase
};

class RequestDecoder {
public:
    static Request decode(VORLIN::NetMessage& message);
    // Writes the request's arguments into a message built with its code.
    static void encode(const Request& request, VORLIN::NetMessage& out);

    static bool isKnown(uint8_t code);
    // False for the messages no answer goes back for: 1 (disconnect), 2 (a
    // client's sign of life), 117 (keep-alive) and 119 (notice).
    static bool expectsAnswer(uint8_t code);
    // The operation's name for texts and the log ("execute", ...); "?" when unknown.
    static const char* nameOf(uint8_t code);
    // The argument list: 's' text, 'i' integer, 'b' byte block, 'D' data
    // set, 't' an optional trailing text (empty when left out), 'j' an
    // optional trailing integer (0 when left out); null for unknown codes.
    static const char* signatureOf(uint8_t code);
};
