#include "server/RequestDecoder.h"

#include <new>

#include "core/GeneralException.h"
#include "remote/NetMessage.h"
#include "remote/RemoteCodes.h"

using VORLIN::DataSet;
using VORLIN::GeneralException;
using VORLIN::NetMessage;
using VORLIN::String;
namespace RC = VORLIN::RemoteCode;

namespace {

struct Entry {
    uint8_t code;
    const char* name;
    const char* signature;
};

constexpr Entry kRequests[] = {
    {RC::kDisconnect, "disconnect", ""},
    {RC::kSuccess, "signOfLife", ""},
    {RC::kCreateDatabase, "createDatabase", "s"},
    {RC::kOpenDatabase, "openDatabase", "s"},
    {RC::kListDatabases, "listDatabases", "s"},
    {RC::kExecute, "execute", "s"},
    {RC::kExecuteInsert, "executeInsert", "s"},
    {RC::kBeginTransaction, "beginTransaction", ""},
    {RC::kCommitTransaction, "commitTransaction", ""},
    {RC::kRollbackTransaction, "rollbackTransaction", ""},
    {RC::kQueryItem, "queryItem", "sj"},
    {RC::kQueryRow, "queryDataRow", "s"},
    {RC::kQueryDataset, "queryDataset", "st"},
    {RC::kQueryModel, "queryModel", "s"},
    {RC::kQueryColumns, "queryColumns", "s"},
    {RC::kOpenTable, "openTable", "sss"},
    {RC::kTableExist, "tableExist", "s"},
    {RC::kUpdateDatabase, "updateDatabase", "sD"},
    {RC::kNextCounter, "nextCounter", "sss"},
    {RC::kDatabaseExists, "databaseExists", "si"},
    {RC::kSetLabel, "setLabel", "s"},
    {RC::kLogin, "login", "ss"},
    {RC::kBackupDatabase, "backupDatabase", "si"},
    {RC::kTextToInt, "changes", "s"},
    {RC::kIntCommand, "setBusyTimeout", "i"},
    {RC::kIntQuery, "serverInfo", "i"},
    {RC::kIntQuery2, "echo", "i"},
    {RC::kKeepAlive, "keepAlive", ""},
    {RC::kCommand, "resetSession", ""},
    {RC::kNotify, "notice", ""},
    {RC::kUploadFile, "uploadFile", "sib"},
    {RC::kDownloadFile, "downloadFile", "s"},
    {RC::kListFiles, "listFiles", ""},
    {RC::kListFilesIn, "listFilesIn", "ss"},
    {RC::kFileText, "fileText", "s"},
};

const Entry* find(uint8_t code) {
    for (const Entry& e : kRequests)
        if (e.code == code) return &e;
    return nullptr;
}

}  // namespace

bool RequestDecoder::isKnown(uint8_t code) {
    return find(code) != nullptr;
}

bool RequestDecoder::expectsAnswer(uint8_t code) {
    return isKnown(code) && code != RC::kDisconnect && code != RC::kSuccess &&
           code != RC::kKeepAlive && code != RC::kNotify;
}

const char* RequestDecoder::nameOf(uint8_t code) {
    const Entry* e = find(code);
    return e ? e->name : "?";
}

const char* RequestDecoder::signatureOf(uint8_t code) {
    const Entry* e = find(code);
    return e ? e->signature : nullptr;
}

Request RequestDecoder::decode(NetMessage& message) {
    Request r;
    r.code = message.code();
    const Entry* e = find(r.code);
    if (!e) return r;
    r.known = true;
    try {
        for (const char* s = e->signature; *s; ++s) {
            switch (*s) {
                case 's':
                    r.texts.push_back(message.readString());
                    break;
                case 't':
                    r.texts.push_back(message.remaining() > 0 ? message.readString() : String());
                    break;
                case 'i':
                    r.ints.push_back(message.readInt());
                    break;
                case 'j':
                    r.ints.push_back(message.remaining() > 0 ? message.readInt() : 0);
                    break;
                case 'b': {
                    uint32_t length = 0;
                    std::unique_ptr<uint8_t[]> bytes = message.readBytes(&length);
                    if (bytes) r.block.assign(reinterpret_cast<const char*>(bytes.get()), length);
                    break;
                }
                case 'D':
                    r.rows = std::make_unique<DataSet>();
                    message.readRows(*r.rows, true);
                    break;
                default:
                    break;
            }
        }
    } catch (const GeneralException& x) {
        throw GeneralException::format("Peticion %d (%s): argumentos invalidos: %s", int(r.code),
                                       e->name, x.what());
    } catch (const std::bad_alloc&) {
        throw GeneralException::format("Peticion %d (%s): argumentos invalidos: sin memoria",
                                       int(r.code), e->name);
    }
    return r;
}

void RequestDecoder::encode(const Request& request, NetMessage& out) {
    out.reset(request.code);
    const char* signature = signatureOf(request.code);
    if (!signature) return;
    size_t text = 0, integer = 0;
    for (const char* s = signature; *s; ++s) {
        switch (*s) {
            case 's':
            case 't':
                out.addString(text < request.texts.size() ? request.texts[text] : String());
                ++text;
                break;
            case 'i':
            case 'j':
                out.addInt(integer < request.ints.size() ? request.ints[integer] : 0);
                ++integer;
                break;
            case 'b':
                out.addBytes(request.block.data(), uint32_t(request.block.size()));
                break;
            case 'D':
                if (request.rows) {
                    out.addDataSet(*request.rows);
                } else {
                    DataSet none;
                    out.addDataSet(none);
                }
                break;
            default:
                break;
        }
    }
}
