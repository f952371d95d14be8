// Fuzz target for quelmir-server's request decoding.
//
// The input is one received message body: the code byte, then the argument
// bytes. Whatever the bytes:
//  - decoding returns a Request or throws a GeneralException whose text
//    starts "Peticion " (never another exception, never a crash);
//  - a decoded request encodes again into a message that decodes to the
//    same code and arguments;
//  - every text that passes the path rules resolves to a path inside the
//    data folder, without "." or ".." parts;
//  - the request handler, given the message, answers exactly when the code
//    expects an answer; for the requests that name databases and files it
//    really runs (in a folder of its own), and nothing may appear next to
//    that folder.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/GeneralException.h"
#include "remote/NetMessage.h"
#include "remote/RemoteCodes.h"
#include "server/RequestDecoder.h"
#include "server/RequestHandler.h"
#include "server/SafePath.h"
#include "server/ServerLog.h"
#include "server/SqliteGuard.h"

using VORLIN::GeneralException;
using VORLIN::NetMessage;
using VORLIN::String;
namespace RC = VORLIN::RemoteCode;
namespace fs = std::filesystem;

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "server_request_fuzz: %s\n", what);
        std::abort();
    }
}

// The sandbox: <base>/data is the data folder; <base> must hold nothing else.
std::string gBase;
std::string gData;

void makeSandbox() {
    if (!gBase.empty()) return;
    std::string pattern = (fs::temp_directory_path() / "quelmir-fuzz-XXXXXX").string();
    char* made = ::mkdtemp(pattern.data());
    check(made != nullptr, "no temporary folder");
    gBase = made;
    gData = gBase + "/data";
    fs::create_directory(gData);
    gData = SafePath::realFolder(gData);
    SqliteGuard::allowRoot(gData);
    ServerLog::setSink([](const std::string&) {});
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(gBase, ec);
    });
}

void loadBody(NetMessage& m, const uint8_t* data, size_t size) {
    m.body().reset(uint32_t(size));
    std::memcpy(m.body().buffer(), data, size);
    m.body().setLoading(true);
    m.body().setDataSize(uint32_t(size));
    m.setCode(m.body().readByte());
}

void checkPathRules(const String& text) {
    std::string out;
    if (!SafePath::resolve(gData, text, out)) return;
    check(out.compare(0, gData.size() + 1, gData + "/") == 0, "resolved outside the folder");
    for (size_t at = gData.size(); at < out.size();) {
        size_t next = out.find('/', at + 1);
        std::string part =
            out.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
        check(part != "." && part != ".." && !part.empty(), "dot or empty part in a path");
        if (next == std::string::npos) break;
        at = next;
    }
}

// The requests the handler runs: the ones that name databases and files
// (statements are left out: a fuzzed query could run for ever).
bool runsInHandler(uint8_t code) {
    switch (code) {
        case RC::kCreateDatabase:
        case RC::kOpenDatabase:
        case RC::kListDatabases:
        case RC::kDatabaseExists:
        case RC::kUploadFile:
        case RC::kDownloadFile:
        case RC::kListFiles:
        case RC::kListFilesIn:
        case RC::kFileText:
        case RC::kIntQuery:
        case RC::kIntCommand:
        case RC::kKeepAlive:
        case RC::kNotify:
            return true;
        default:
            return !RequestDecoder::isKnown(code);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    makeSandbox();

    NetMessage m;
    loadBody(m, data, size);
    Request r;
    bool decoded = false;
    try {
        r = RequestDecoder::decode(m);
        decoded = true;
    } catch (const GeneralException& e) {
        check(std::strncmp(e.what(), "Peticion ", 9) == 0, "unexpected failure text");
    }

    if (decoded && r.known) {
        for (const String& t : r.texts) {
            checkPathRules(t);
            if (SafePath::isValidName(t)) {
                std::string out;
                check(SafePath::resolve(gData, t, out), "a valid name is not a valid path");
            }
        }
        NetMessage again(0);
        RequestDecoder::encode(r, again);
        String wire = again.wireImage();
        NetMessage back;
        loadBody(back, reinterpret_cast<const uint8_t*>(wire.c_str()) + 4, wire.length() - 4);
        Request r2;
        try {
            r2 = RequestDecoder::decode(back);
        } catch (const GeneralException&) {
            // Known limit of the DataSet image (not of the decoder): rows of
            // a set with no columns write no bytes, and its reader counts a
            // byte per row; the input read only because bytes followed.
            check(r.rows && r.rows->columnCount() == 0 && r.rows->rowCount() > 0,
                  "a re-encoded request does not decode");
            return 0;
        }
        check(r2.code == r.code, "code changed in a round trip");
        check(r2.texts == r.texts, "texts changed in a round trip");
        check(r2.ints == r.ints, "integers changed in a round trip");
        check(r2.block == r.block, "block changed in a round trip");
        check(!r.rows == !r2.rows && (!r.rows || r.rows->rowCount() == r2.rows->rowCount()),
              "rows changed in a round trip");
    }

    if (runsInHandler(m.code())) {
        RequestHandler::Context context;
        context.dataDir = gData;
        context.clientId = 1;
        context.maxMessage = 1u << 20;
        RequestHandler handler(context);
        NetMessage again;
        loadBody(again, data, size);
        RequestHandler::Outcome o = handler.handle(again);
        bool answered = o.answer != nullptr;
        check(answered ==
                  (!RequestDecoder::isKnown(m.code()) || RequestDecoder::expectsAnswer(m.code())),
              "answered a request that expects none, or the other way round");
        handler.endSession();
        for (const auto& entry : fs::directory_iterator(gBase))
            check(entry.path().filename() == "data", "a file appeared outside the folder");
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(gData, ec))
            fs::remove_all(entry.path(), ec);
    }
    return 0;
}
