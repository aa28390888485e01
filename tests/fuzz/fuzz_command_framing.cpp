// Arbitrary bytes, arriving in arbitrary pieces, read the way the helper
// reads its command socket. Checks: every word taken out is exactly the
// bytes of one frame; what is held back never grows past one frame; and
// the pieces do not change the outcome.
#include "command_frame.h"

#include <QList>
#include <QStringList>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

struct Outcome {
    QStringList words;
    bool bad = false;
    int consumed = 0;
};

Outcome read(const QByteArray &stream, const QList<int> &pieces)
{
    Outcome outcome;
    QByteArray held;
    int from = 0;
    for (int piece : pieces) {
        held += stream.mid(from, piece);
        from += piece;
        for (;;) {
            const QByteArray head = held.left(int(protocol::kMaxFrameBytes));
            const protocol::Frame frame = protocol::parseFrame(head.constData(), std::size_t(head.size()));
            if (frame.status == protocol::FrameStatus::NeedMore)
                break;
            if (frame.status != protocol::FrameStatus::Complete) {
                outcome.bad = true;
                return outcome;
            }
            // The word is the frame it came from, byte for byte.
            std::string again;
            if (frame.null)
                protocol::appendNullFrame(&again);
            else
                protocol::appendFrame(&again, frame.text);
            if (QByteArray::fromStdString(again) != held.left(int(frame.consumed)))
                std::abort();
            outcome.words << (frame.null ? QString() : QString::fromStdU16String(frame.text));
            outcome.consumed += int(frame.consumed);
            held.remove(0, int(frame.consumed));
        }
        if (std::size_t(held.size()) >= protocol::kMaxFrameBytes)
            std::abort();  // a complete frame was left unread, or memory grows
    }
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses how the rest arrives.
    const int pieceSize = 1 + data[0] % 17;
    const QByteArray stream(reinterpret_cast<const char *>(data + 1), int(size - 1));
    QList<int> pieces;
    for (int at = 0; at < stream.size(); at += pieceSize)
        pieces << pieceSize;
    const Outcome chunked = read(stream, pieces);
    const Outcome whole = read(stream, {stream.size()});
    if (chunked.words != whole.words || chunked.bad != whole.bad || chunked.consumed != whole.consumed)
        std::abort();
    return 0;
}
