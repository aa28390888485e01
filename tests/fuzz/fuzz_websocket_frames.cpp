// Arbitrary bytes read as frames from a WebSocket server, whole and in
// pieces whose size the first byte chooses. Checks: the pieces give the
// same events; no text message passes the limit; a close or an error is
// the last event and ends the reading; control payloads stay within 125
// bytes.
#include "fuzz_check.h"
#include "websocket_frame_reader.h"

#include <algorithm>
#include <cstdlib>

using namespace remote_apps::websocket;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size-- < 1)
        return 0;
    const qint64 piece = 1 + *data++ % 16;
    const qint64 limit = 4096;
    const char *bytes = reinterpret_cast<const char *>(data);

    FrameReader whole(limit);
    const std::vector<FrameEvent> events = whole.feed(bytes, qint64(size));
    FrameReader pieces(limit);
    std::vector<FrameEvent> again;
    for (qint64 at = 0; at < qint64(size); at += piece)
        for (const FrameEvent &e : pieces.feed(bytes + at, std::min<qint64>(piece, qint64(size) - at)))
            again.push_back(e);
    check(again == events);
    check(whole.finished() == pieces.finished());

    for (std::size_t i = 0; i < events.size(); ++i) {
        const FrameEvent &e = events[i];
        const bool ends = e.kind == FrameEvent::Kind::Close || e.kind == FrameEvent::Kind::Error;
        check(!ends || (i + 1 == events.size() && whole.finished()));
        if (e.kind == FrameEvent::Kind::Text)
            check(e.payload.size() <= limit);
        if (e.kind == FrameEvent::Kind::Ping || e.kind == FrameEvent::Kind::Pong)
            check(e.payload.size() <= kMaxControlPayload);
    }
    return 0;
}
