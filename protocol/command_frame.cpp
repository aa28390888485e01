#include "command_frame.h"

namespace protocol {

namespace {

void appendLength(std::string *out, std::uint32_t length)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out->push_back(static_cast<char>(length >> shift));
}

std::uint32_t readLength(const unsigned char *in)
{
    return (std::uint32_t(in[0]) << 24) | (std::uint32_t(in[1]) << 16) | (std::uint32_t(in[2]) << 8)
           | std::uint32_t(in[3]);
}

}  // namespace

Frame parseFrame(const char *data, std::size_t size)
{
    Frame frame;
    if (size < kFrameHeaderBytes)
        return frame;
    const unsigned char *in = reinterpret_cast<const unsigned char *>(data);
    const std::uint32_t length = readLength(in);
    if (length == kNullTextLength) {
        frame.status = FrameStatus::Complete;
        frame.null = true;
        frame.consumed = kFrameHeaderBytes;
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
    if (size < kFrameHeaderBytes + length)
        return frame;
    const std::size_t units = length / 2;
    frame.text.resize(units);
    in += kFrameHeaderBytes;
    for (std::size_t i = 0; i < units; ++i)
        frame.text[i] = static_cast<char16_t>((in[2 * i] << 8) | in[2 * i + 1]);
    frame.status = FrameStatus::Complete;
    frame.consumed = kFrameHeaderBytes + length;
    return frame;
}

void appendFrame(std::string *out, std::u16string_view text)
{
    appendLength(out, static_cast<std::uint32_t>(text.size() * 2));
    for (const char16_t unit : text) {
        out->push_back(static_cast<char>(unit >> 8));
        out->push_back(static_cast<char>(unit & 0xFF));
    }
}

void appendNullFrame(std::string *out)
{
    appendLength(out, kNullTextLength);
}

void appendFrame(std::string *out, CommandWord word)
{
    const std::string_view text = commandWordText(word);
    appendLength(out, static_cast<std::uint32_t>(text.size() * 2));
    for (const char c : text) {
        out->push_back('\0');  // Latin-1 is the first 256 code points of UTF-16
        out->push_back(c);
    }
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

}  // namespace protocol
