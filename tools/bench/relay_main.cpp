// The baseline's two processes, plain C++ and system calls, no Qt:
//   bench_relay relay LISTEN_PATH SINK_PATH   takes framed words from one
//       client and sends one 32-byte record per word to the sink
//   bench_relay sink LISTEN_PATH STAMPS_FILE  stamps each record on arrival
// Each ends when its peer closes.
#include "local_socket.h"
#include "relay_frames.h"
#include "stamp_record.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// How long the relay waits for its sink to listen.
constexpr int kPeerTimeoutMs = 5000;

int runRelay(const std::string &listenPath, const std::string &sinkPath)
{
    // The sink first: the relay's socket file then tells that it is ready.
    const int sink = bench::connectWithin(sinkPath, kPeerTimeoutMs);
    const int listener = sink >= 0 ? bench::listenAt(listenPath) : -1;
    if (listener < 0 || sink < 0) {
        std::fprintf(stderr, "bench_relay: cannot listen at %s or reach %s\n", listenPath.c_str(), sinkPath.c_str());
        return 1;
    }
    const int client = bench::acceptOne(listener);
    std::vector<unsigned char> pending;
    unsigned char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(client, buffer, sizeof buffer);
        if (got <= 0)
            break;
        pending.insert(pending.end(), buffer, buffer + got);
        // One write per word, as the helper posts one message per word.
        for (const bench::RelayRecord &record : bench::takeFrames(&pending)) {
            if (!bench::writeAll(sink, &record, sizeof record))
                return 1;
        }
    }
    ::unlink(listenPath.c_str());
    return 0;
}

int runSink(const std::string &listenPath, const std::string &stampsPath)
{
    stamps::StampWriter writer;
    const int listener = bench::listenAt(listenPath);
    if (listener < 0 || !writer.open(stampsPath)) {
        std::fprintf(stderr, "bench_relay: cannot listen at %s or write %s\n", listenPath.c_str(), stampsPath.c_str());
        return 1;
    }
    const int relay = bench::acceptOne(listener);
    unsigned char buffer[sizeof(bench::RelayRecord) * 256];
    std::size_t held = 0;
    for (;;) {
        const ssize_t got = ::read(relay, buffer + held, sizeof buffer - held);
        if (got <= 0)
            break;
        held += static_cast<std::size_t>(got);
        std::size_t offset = 0;
        for (; offset + sizeof(bench::RelayRecord) <= held; offset += sizeof(bench::RelayRecord)) {
            bench::RelayRecord record;
            std::memcpy(&record, buffer + offset, sizeof record);
            if (record.tag == bench::kRelayTag)
                writer.write(record.wParam, record.lParam);
        }
        std::memmove(buffer, buffer + offset, held - offset);
        held -= offset;
    }
    ::unlink(listenPath.c_str());
    return 0;
}

}  // namespace

int main(int argc, char *argv[])
{
    if (argc == 4 && std::strcmp(argv[1], "relay") == 0)
        return runRelay(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "sink") == 0)
        return runSink(argv[2], argv[3]);
    std::fprintf(stderr, "usage: bench_relay relay LISTEN_PATH SINK_PATH | sink LISTEN_PATH STAMPS_FILE\n");
    return 2;
}
