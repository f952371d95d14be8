// RemoteCodes: the message codes of the remote SQLite service protocol,
// shared by the client (SqliteClient, SqliteClientConnection, KeepAliveLine)
// and the server program. A request code names the operation the client
// asks for; an answer code names what the server sends back. Every message
// is one NetMessage: a 4-byte little-endian length, the code byte, then the
// arguments in their Archive forms.
//
// Plain constants: no state, nothing throws.
#pragma once

#include <cstdint>

namespace VORLIN::RemoteCode {

// --- requests (client to server) ---
inline constexpr uint8_t kDisconnect = 1;  // no answer: the server ends the conversation
inline constexpr uint8_t kCreateDatabase = 4;
inline constexpr uint8_t kOpenDatabase = 5;
inline constexpr uint8_t kListDatabases = 6;
inline constexpr uint8_t kExecute = 8;
inline constexpr uint8_t kExecuteInsert = 9;
inline constexpr uint8_t kBeginTransaction = 10;
inline constexpr uint8_t kCommitTransaction = 11;
inline constexpr uint8_t kRollbackTransaction = 12;
inline constexpr uint8_t kQueryItem = 13;
inline constexpr uint8_t kQueryRow = 15;
inline constexpr uint8_t kQueryDataset = 17;
inline constexpr uint8_t kQueryModel = 19;
inline constexpr uint8_t kQueryColumns = 20;
inline constexpr uint8_t kOpenTable = 22;
inline constexpr uint8_t kTableExist = 24;
inline constexpr uint8_t kUpdateDatabase = 25;
inline constexpr uint8_t kNextCounter = 26;
inline constexpr uint8_t kDatabaseExists = 27;
inline constexpr uint8_t kSetLabel = 30;
// user String, password String; answered 2, or 3 when a server that keeps a
// list of users does not know them. A server with such a list answers every
// other request with 3 until a login has succeeded.
inline constexpr uint8_t kLogin = 31;
inline constexpr uint8_t kBackupDatabase = 107;
inline constexpr uint8_t kTextToInt = 108;
inline constexpr uint8_t kIntCommand = 109;
inline constexpr uint8_t kIntQuery = 114;
inline constexpr uint8_t kIntQuery2 = 115;
inline constexpr uint8_t kKeepAlive = 117;  // no answer
inline constexpr uint8_t kCommand = 118;
inline constexpr uint8_t kNotify = 119;  // no answer
inline constexpr uint8_t kUploadFile = 160;
inline constexpr uint8_t kDownloadFile = 161;
inline constexpr uint8_t kListFiles = 162;
inline constexpr uint8_t kListFilesIn = 163;
inline constexpr uint8_t kFileText = 165;

// --- answers (server to client) ---
inline constexpr uint8_t kEndOfConversation = 0;  // also 200 and 201
inline constexpr uint8_t kSignOfLife = 1;         // the server asks; the client replies kSuccess
inline constexpr uint8_t kSuccess = 2;
inline constexpr uint8_t kFailure = 3;  // String: the server's error text
inline constexpr uint8_t kDatabaseList = 7;
inline constexpr uint8_t kScalar = 14;  // DataItem
inline constexpr uint8_t kRow = 16;     // DataRow
inline constexpr uint8_t kRows = 18;    // DataSet
inline constexpr uint8_t kModel = 21;   // names String, model DataRow [, key int, counter int]
inline constexpr uint8_t kTable = 23;   // as kModel with both ints, then a DataSet
inline constexpr uint8_t kBlock = 29;   // int length, bytes
inline constexpr uint8_t kEndOfConversation2 = 200;
inline constexpr uint8_t kEndOfConversation3 = 201;
inline constexpr uint8_t kServerStatus = 102;
inline constexpr uint8_t kFileList = 104;  // DataSet

// The optional second argument of kQueryItem: the conversion the client
// wants, done by the server exactly as a local connection does it (column
// text for a string, SQLite's own integer and real conversions). Without it
// the server answers the typed item of queryItem.
inline constexpr int32_t kAsItem = 0;
inline constexpr int32_t kAsInt = 1;
inline constexpr int32_t kAsString = 2;
inline constexpr int32_t kAsDouble = 3;
inline constexpr int32_t kAsDateTime = 4;
inline constexpr int32_t kAsDate = 5;

// The default port of the service.
inline constexpr int kDefaultPort = 6540;

}  // namespace VORLIN::RemoteCode
