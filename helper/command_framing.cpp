#include "command_framing.h"

#include <QtEndian>

namespace framing {

Frame parseFrame(const char *data, qint64 size)
{
    Frame frame;
    if (size < kHeaderBytes)
        return frame;
    const quint32 length = qFromBigEndian<quint32>(data);
    if (length == kNullStringLength) {
        frame.status = FrameStatus::Complete;
        frame.consumed = kHeaderBytes;
        return frame;
    }
    if (length > kMaxTextBytes) {
        frame.status = FrameStatus::TooLong;
        return frame;
    }
    if (length % 2 != 0) {
        frame.status = FrameStatus::BadLength;
        return frame;
    }
    if (size < kHeaderBytes + qint64(length))
        return frame;
    const int units = int(length / 2);
    frame.word.resize(units);  // an empty word stays non-null, as QDataStream reads it
    QChar *out = frame.word.data();
    const uchar *in = reinterpret_cast<const uchar *>(data + kHeaderBytes);
    for (int i = 0; i < units; ++i)
        out[i] = QChar(qFromBigEndian<quint16>(in + 2 * i));
    frame.status = FrameStatus::Complete;
    frame.consumed = kHeaderBytes + int(length);
    return frame;
}

QByteArray encodeFrame(const QString &word)
{
    QByteArray bytes;
    if (word.isNull()) {
        bytes.resize(kHeaderBytes);
        qToBigEndian<quint32>(kNullStringLength, bytes.data());
        return bytes;
    }
    const int units = word.size();
    bytes.resize(kHeaderBytes + 2 * units);
    qToBigEndian<quint32>(quint32(2 * units), bytes.data());
    uchar *out = reinterpret_cast<uchar *>(bytes.data() + kHeaderBytes);
    for (int i = 0; i < units; ++i)
        qToBigEndian<quint16>(word.at(i).unicode(), out + 2 * i);
    return bytes;
}

const char *describe(FrameStatus status)
{
    switch (status) {
    case FrameStatus::BadLength:
        return "odd length";
    case FrameStatus::TooLong:
        return "too long";
    case FrameStatus::Complete:
    case FrameStatus::NeedMore:
        break;
    }
    return "ok";
}

}  // namespace framing
