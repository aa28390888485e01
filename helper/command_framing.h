// The helper's Qt view of the command frames (protocol's command_frame.h):
// a frame's command word, looked up once here, and a QString's frame.
#pragma once

#include "command_frame.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace framing {

using protocol::FrameStatus;
using protocol::kMaxTextBytes;
constexpr int kMaxFrameBytes = int(protocol::kMaxFrameBytes);

struct Frame {
    FrameStatus status = FrameStatus::NeedMore;
    std::optional<protocol::CommandWord> word;  // nothing for any other text
    QString unknown;   // the text that is no word, for the log; null for a null string on the wire
    int consumed = 0;  // bytes the frame takes from the front of the input
};

// Looks at the front of `data` for one whole frame.
Frame parseFrame(const char *data, qint64 size);

// The bytes of one word, as the plugin writes them.
QByteArray encodeFrame(const QString &word);

using protocol::describe;

}  // namespace framing
