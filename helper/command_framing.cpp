#include "command_framing.h"

#include <algorithm>

namespace framing {

Frame parseFrame(const char *data, qint64 size)
{
    const protocol::Frame parsed = protocol::parseFrame(data, size < 0 ? 0 : std::size_t(size));
    Frame frame;
    frame.status = parsed.status;
    if (parsed.status != FrameStatus::Complete)
        return frame;
    frame.consumed = int(parsed.consumed);
    if (parsed.null)
        return frame;  // no word; a null text in the log, as QDataStream reads it
    frame.word = protocol::commandWordFromText(parsed.text);
    if (!frame.word) {
        frame.unknown.resize(int(parsed.text.size()));  // an empty text stays non-null, as QDataStream reads it
        std::copy(parsed.text.begin(), parsed.text.end(), frame.unknown.begin());
    }
    return frame;
}

QByteArray encodeFrame(const QString &word)
{
    std::string bytes;
    if (word.isNull())
        protocol::appendNullFrame(&bytes);
    else
        protocol::appendFrame(
            &bytes, std::u16string_view(reinterpret_cast<const char16_t *>(word.utf16()), std::size_t(word.size())));
    return QByteArray(bytes.data(), int(bytes.size()));
}

}  // namespace framing
