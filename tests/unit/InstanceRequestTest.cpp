// The message a later start sends the running instance: its encoding, its
// reading from a stream that arrives in pieces, and its limits.
#include <gtest/gtest.h>

#include "platform/instance.h"

namespace {

using platform::DecodeInstanceRequest;
using platform::DecodeResult;
using platform::EncodeInstanceRequest;
using platform::InstanceRequest;

TEST(InstanceRequest, RoundTripsWhateverPiecesItArrivesIn) {
    InstanceRequest sent;
    sent.kind = InstanceRequest::kShowMainChat;
    sent.text = QString::fromUtf8("<PKT><GBN>0</GBN><URL>방 %EB%B2%A8</URL></PKT>");
    sent.activationToken = "wayland-token";
    sent.startupId = "icewm-12_TIME345";
    const QByteArray bytes = EncodeInstanceRequest(sent);
    for (qsizetype cut = 0; cut < bytes.size(); ++cut) {
        QByteArray buffer = bytes.left(cut);
        InstanceRequest got;
        ASSERT_EQ(DecodeInstanceRequest(buffer, &got), DecodeResult::kIncomplete) << cut;
    }
    // Two requests back to back: each is read, and taken off the buffer.
    QByteArray buffer = bytes + bytes;
    for (int i = 0; i < 2; ++i) {
        InstanceRequest got;
        ASSERT_EQ(DecodeInstanceRequest(buffer, &got), DecodeResult::kComplete);
        EXPECT_EQ(got.kind, sent.kind);
        EXPECT_EQ(got.text, sent.text);
        EXPECT_EQ(got.activationToken, sent.activationToken);
        EXPECT_EQ(got.startupId, sent.startupId);
    }
    EXPECT_TRUE(buffer.isEmpty());
}

TEST(InstanceRequest, EitherTokenMayBeMissing) {
    // As later starts without a launcher (a shell, a script) send them.
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"", ""},
        {"", "gnome-shell/velkstk/2245-0-host_TIME1234567"},
        {"wayland-token", ""},
    };
    for (const auto& [token, startupId] : cases) {
        QByteArray buffer = QByteArray("VLKH\x01\x01", 6);
        for (const QByteArray& t : {token, startupId}) {
            buffer.append(static_cast<char>(t.size() >> 8)).append(static_cast<char>(t.size()));
            buffer += t;
        }
        buffer += QByteArray("\x00\x00\x00\x00", 4);
        InstanceRequest got;
        ASSERT_EQ(DecodeInstanceRequest(buffer, &got), DecodeResult::kComplete) << startupId.data();
        EXPECT_EQ(got.activationToken, token);
        EXPECT_EQ(got.startupId, startupId);
    }
}

TEST(InstanceRequest, AnOverlongTextIsCutBetweenCharacters) {
    InstanceRequest sent;
    sent.text =
        QString(platform::kMaxInstanceText - 1, QLatin1Char('a')) + QString::fromUtf8("한국");
    QByteArray buffer = EncodeInstanceRequest(sent);
    InstanceRequest got;
    ASSERT_EQ(DecodeInstanceRequest(buffer, &got), DecodeResult::kComplete);
    EXPECT_EQ(got.text, QString(platform::kMaxInstanceText - 1, QLatin1Char('a')));
}

TEST(InstanceRequest, RefusesWhatIsNotARequestOfThisVersion) {
    const QByteArray good = EncodeInstanceRequest(InstanceRequest{});
    const auto with = [&](qsizetype at, const QByteArray& bytes) {
        QByteArray b = good;
        b.replace(at, bytes.size(), bytes);
        return b;
    };
    const QByteArray tooLongToken = QByteArray("VLKH\x01\x01", 6) + QByteArray("\x10\x01", 2);
    const QByteArray tooLongText =
        QByteArray("VLKH\x01\x01\x00\x00\x00\x00", 10) + QByteArray("\x00\x10\x00\x01", 4);
    const std::pair<const char*, QByteArray> cases[] = {
        {"another protocol", "GET / HTTP/1.0\r\n"},
        {"a wrong first byte", "X"},
        {"another version", with(4, QByteArray(1, '\x02'))},
        {"an unknown kind", with(5, QByteArray(1, '\x09'))},
        {"a token over 4 KiB", tooLongToken},
        {"a text over 1 MiB", tooLongText},
    };
    for (const auto& [what, bytes] : cases) {
        QByteArray buffer = bytes;
        InstanceRequest got;
        EXPECT_EQ(DecodeInstanceRequest(buffer, &got), DecodeResult::kRefused) << what;
    }
}

}  // namespace
