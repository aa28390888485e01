// The plugin's end of the connection to the helper's command server, driven
// by one thread of the plugin's own. Qt-free and without an event loop;
// nothing here waits longer than its caller allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Wakes the thread that waits in CommandClient::wait(). wake() may be called
// from any thread and never waits.
class Waker
{
public:
    Waker();
    ~Waker();
    Waker(const Waker &) = delete;
    Waker &operator=(const Waker &) = delete;

    void wake();

private:
    friend class CommandClient;
    std::intptr_t m_handle;
};

class CommandClient
{
public:
    enum class Connect {
        Connected,
        Busy,    // the server is there but takes no connection now
        Nobody,  // nothing listens under that name
    };
    enum class Event {
        Sent,   // everything given to send() has been taken
        Lost,   // the server has gone; the connection is closed
        Woken,  // the waker fired
        TimedOut,
    };

    CommandClient();
    ~CommandClient();
    CommandClient(const CommandClient &) = delete;
    CommandClient &operator=(const CommandClient &) = delete;

    // One attempt; never waits. `serverName` as the server listens: a
    // socket path on Unix, a pipe name on Windows.
    Connect connectTo(const std::string &serverName);
    bool isOpen() const;
    void close();

    // Starts writing `bytes`, which the client keeps until wait() reports
    // them sent. Only while connected and not sending already.
    void send(std::string bytes);
    bool sending() const;

    // Waits until what send() started has been taken, the server has gone,
    // the waker fires or `timeoutMs` has passed (-1: no limit). Without a
    // connection, only the waker and the time limit end it.
    Event wait(Waker &waker, int timeoutMs);

private:
    struct State;
    State *m_state;
};

}  // namespace platform
