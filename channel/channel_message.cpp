#include "instance_channel.h"

#include <cstdint>

namespace pyrelto::channel {

namespace {

void putSize(std::string& out, std::uint32_t size) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((size >> shift) & 0xffU));
}

// A signed 32-bit size as the message carries it; negative sizes are garbage to the caller.
std::int64_t sizeAt(std::string_view bytes) {
    std::uint32_t size = 0;
    for (int i = 0; i < 4; ++i)
        size = (size << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
    return size > 0x7fffffffU ? -1 : static_cast<std::int64_t>(size);
}

} // namespace

std::string encodeMessage(const std::vector<std::string>& arguments) {
    std::string body;
    for (const std::string& argument : arguments) {
        putSize(body, static_cast<std::uint32_t>(argument.size()));
        body += argument;
    }
    std::string message;
    putSize(message, static_cast<std::uint32_t>(body.size()));
    return message + body;
}

std::optional<std::vector<std::string>> decodeBody(std::string_view body) {
    std::vector<std::string> arguments;
    for (std::size_t at = 0; at < body.size();) {
        if (body.size() - at < 4)
            return std::nullopt;
        const std::int64_t size = sizeAt(body.substr(at, 4));
        at += 4;
        if (size < 0 || static_cast<std::uint64_t>(size) > body.size() - at)
            return std::nullopt;
        arguments.emplace_back(body.substr(at, static_cast<std::size_t>(size)));
        at += static_cast<std::size_t>(size);
    }
    return arguments;
}

MessageReader::State MessageReader::append(std::string_view bytes) {
    if (state_ != State::Incomplete)
        return state_;
    // Never more than the largest message: what lies beyond it is not read.
    const std::size_t room = 4 + kMaxMessageBytes - buffer_.size();
    buffer_.append(bytes.substr(0, room));
    if (buffer_.size() < 4)
        return state_;
    const std::int64_t size = sizeAt(buffer_);
    if (size < 0 || static_cast<std::uint64_t>(size) > kMaxMessageBytes) {
        state_ = State::Garbage;
        return state_;
    }
    if (buffer_.size() < 4 + static_cast<std::size_t>(size))
        return state_;
    auto arguments =
        decodeBody(std::string_view(buffer_).substr(4, static_cast<std::size_t>(size)));
    if (arguments) {
        arguments_ = std::move(*arguments);
        state_ = State::Complete;
    } else {
        state_ = State::Garbage;
    }
    buffer_.clear();
    buffer_.shrink_to_fit();
    return state_;
}

std::string channelName(std::string_view key) {
    // FNV-1a, 64 bits.
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : key) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string name = "pyrelto-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name.push_back(kDigits[(hash >> shift) & 0xfU]);
    return name;
}

} // namespace pyrelto::channel
