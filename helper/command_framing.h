// The bytes of one command word on the helper's local socket: what Qt's
// QDataStream (version 7) writes for one QString. A 4-byte big-endian byte
// length (0xFFFFFFFF for a null string), then UTF-16 big-endian code units.
//
// Pure functions over bytes, so the framing can be tested and fuzzed apart
// from any socket.
#pragma once

#include <QByteArray>
#include <QString>

namespace framing {

// Longest text a command may carry. The real words are a few characters;
// anything longer is not a command, and the cap keeps what a client can make
// the helper hold small.
constexpr quint32 kMaxTextBytes = 1024;
constexpr quint32 kNullStringLength = 0xFFFFFFFFu;
constexpr int kHeaderBytes = 4;
constexpr int kMaxFrameBytes = kHeaderBytes + int(kMaxTextBytes);

enum class FrameStatus {
    Complete,    // `word` and `consumed` are set
    NeedMore,    // a frame has begun but not all of it has arrived
    BadLength,   // odd length: not UTF-16
    TooLong,     // over kMaxTextBytes
};

struct Frame {
    FrameStatus status = FrameStatus::NeedMore;
    QString word;      // null for a null string on the wire
    int consumed = 0;  // bytes the frame takes from the front of the input
};

// Looks at the front of `data` for one whole frame.
Frame parseFrame(const char *data, qint64 size);

// The bytes of one word, as the plugin writes them.
QByteArray encodeFrame(const QString &word);

// Text for a log line about a bad frame.
const char *describe(FrameStatus status);

}  // namespace framing
