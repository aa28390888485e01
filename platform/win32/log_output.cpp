#include "log_output.h"

#include <condition_variable>
#include <string>
#include <windows.h>

namespace platform {

namespace {

// What a stream may hold back for its writer thread.
constexpr std::size_t kBufferBytes = 64 * 1024;
// How long the end waits for a write in flight to be cancelled.
constexpr int kStopTries = 50;
constexpr DWORD kStopTryMs = 10;

}  // namespace

// A console or pipe can hold a WriteFile for as long as its reader likes
// (a console with a selection, a pipe nobody drains), and Windows has no
// non-blocking write for them. So a thread of the stream's own writes,
// from a bounded buffer; at the end its write in flight is cancelled. A GUI
// program has no stream at all: its error lines go to the debugger, as
// Qt's own do.
struct LogOutput::Impl {
    HANDLE stream = nullptr;
    bool debugger = false;
    bool direct = false;
    std::mutex mutex;
    std::condition_variable ready;
    std::string buffer;
    bool stopping = false;
    HANDLE thread = nullptr;

    Impl(DWORD which, bool debuggerWithoutStream)
    {
        const HANDLE handle = GetStdHandle(which);
        if (!handle || handle == INVALID_HANDLE_VALUE) {
            debugger = debuggerWithoutStream;
            return;
        }
        stream = handle;
        direct = GetFileType(handle) == FILE_TYPE_DISK;
    }

    // True once the thread has ended; false if a write could not be
    // cancelled, and the thread (holding the module) still needs this.
    bool stop()
    {
        if (!thread)
            return true;
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        ready.notify_all();
        for (int tries = 0; tries < kStopTries; ++tries) {
            if (WaitForSingleObject(thread, kStopTryMs) != WAIT_TIMEOUT) {
                CloseHandle(thread);
                return true;
            }
            CancelSynchronousIo(thread);
        }
        return false;
    }

    // The thread holds the module it runs in, so a write that ends after
    // the library was let go of still has its code to return to.
    static DWORD WINAPI run(void *self)
    {
        HMODULE module = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&Impl::run), &module);
        static_cast<Impl *>(self)->writeUntilStopped();
        FreeLibraryAndExitThread(module, 0);
    }

    void writeUntilStopped()
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            ready.wait(lock, [this] { return stopping || !buffer.empty(); });
            if (stopping)
                return;
            std::string chunk;
            chunk.swap(buffer);
            lock.unlock();
            DWORD written = 0;
            WriteFile(stream, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr);
            lock.lock();
        }
    }

    bool queue(std::string_view text)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!thread)
            thread = CreateThread(nullptr, 0, &Impl::run, this, 0, nullptr);
        if (!thread || buffer.size() + text.size() > kBufferBytes)
            return false;
        buffer.append(text);
        ready.notify_one();
        return true;
    }
};

LogOutput::LogOutput(StandardStream stream)
    : m_impl(std::make_unique<Impl>(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE,
                                    stream == StandardStream::Error))
{
}

LogOutput::~LogOutput()
{
    if (!m_impl->stop())
        (void)m_impl.release();  // still in use by its stuck thread
}

bool LogOutput::tryWrite(std::string_view text)
{
    if (m_impl->debugger) {
        OutputDebugStringA(std::string(text).c_str());
        return true;
    }
    if (!m_impl->stream)
        return true;  // no stream: nothing to lose
    if (m_impl->direct) {
        DWORD written = 0;
        return WriteFile(m_impl->stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)
               && written == text.size();
    }
    return m_impl->queue(text);
}

}  // namespace platform
