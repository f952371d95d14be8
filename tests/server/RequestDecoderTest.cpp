#include "server/RequestDecoder.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/GeneralException.h"
#include "remote/NetMessage.h"
#include "remote/RemoteCodes.h"

using VORLIN::GeneralException;
using VORLIN::NetMessage;
using VORLIN::String;
namespace RC = VORLIN::RemoteCode;

namespace {

// The received form of a built message.
void received(NetMessage& built, NetMessage& in) {
    String wire = built.wireImage();
    uint32_t n = wire.length() - 4;
    in.body().reset(n);
    std::memcpy(in.body().buffer(), wire.c_str() + 4, n);
    in.body().setLoading(true);
    in.body().setDataSize(n);
    in.setCode(in.body().readByte());
}

std::string decodeFailure(NetMessage& built) {
    NetMessage in;
    received(built, in);
    try {
        RequestDecoder::decode(in);
    } catch (const GeneralException& e) {
        return e.what();
    }
    return "(decoded)";
}

}  // namespace

TEST(SqliteServerDecoder, DecodesTheArgumentLists) {
    NetMessage m(RC::kUploadFile);
    m.addString("docs\\a.txt").addInt(1).addBytes("abc", 3);
    NetMessage in;
    received(m, in);
    Request r = RequestDecoder::decode(in);
    EXPECT_TRUE(r.known);
    ASSERT_EQ(r.texts.size(), 1u);
    EXPECT_EQ(r.texts[0], String("docs\\a.txt"));
    ASSERT_EQ(r.ints.size(), 1u);
    EXPECT_EQ(r.ints[0], 1);
    EXPECT_EQ(r.block, "abc");
}

TEST(SqliteServerDecoder, QueryTypesMayBeLeftOut) {
    NetMessage m(RC::kQueryDataset);
    m.addString("SELECT 1;");
    NetMessage in;
    received(m, in);
    Request r = RequestDecoder::decode(in);
    ASSERT_EQ(r.texts.size(), 2u);
    EXPECT_TRUE(r.texts[1].isEmpty());
}

TEST(SqliteServerDecoder, ShortArgumentsAreRefusedWithAText) {
    NetMessage m(RC::kNextCounter);
    m.addString("t").addString("id=1");
    EXPECT_EQ(decodeFailure(m),
              "Peticion 26 (nextCounter): argumentos invalidos: Archive: end of file");
    NetMessage b(RC::kUploadFile);
    b.addString("a").addInt(0).addInt(-3);
    EXPECT_NE(decodeFailure(b).find("argumentos invalidos"), std::string::npos);
    NetMessage d(RC::kUpdateDatabase);
    d.addString("CREATE TABLE t(a);").addInt(2000000000);
    EXPECT_NE(decodeFailure(d).find("Peticion 25 (updateDatabase)"), std::string::npos);
}

TEST(SqliteServerDecoder, UnknownCodesAreNotRead) {
    NetMessage m(77);
    m.addString("x");
    NetMessage in;
    received(m, in);
    Request r = RequestDecoder::decode(in);
    EXPECT_FALSE(r.known);
    EXPECT_EQ(r.code, 77);
    EXPECT_STREQ(RequestDecoder::nameOf(77), "?");
}

TEST(SqliteServerDecoder, AnswerlessRequests) {
    for (uint8_t c : {RC::kDisconnect, RC::kSuccess, RC::kKeepAlive, RC::kNotify})
        EXPECT_FALSE(RequestDecoder::expectsAnswer(c));
    for (uint8_t c : {RC::kExecute, RC::kIntQuery, RC::kCommand, RC::kListFiles})
        EXPECT_TRUE(RequestDecoder::expectsAnswer(c));
    EXPECT_FALSE(RequestDecoder::expectsAnswer(77));
}

TEST(SqliteServerDecoder, EncodeDecodeRoundTrip) {
    Request r;
    r.code = RC::kOpenTable;
    r.known = true;
    r.texts = {"t", "a>1", "a"};
    NetMessage m(0);
    RequestDecoder::encode(r, m);
    NetMessage in;
    received(m, in);
    Request back = RequestDecoder::decode(in);
    EXPECT_EQ(back.code, RC::kOpenTable);
    EXPECT_EQ(back.texts, r.texts);
}
