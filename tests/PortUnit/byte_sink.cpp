#include "byte_sink.h"

#include "PortUnit/PortUnit.h"

namespace PortTest {

ByteSink::ByteSink() { PortUnit::SetByteMessageTarget(&ByteSink::post, this); }

ByteSink::~ByteSink()
{
    PortUnit::CloseComPort(true);
    PortUnit::SetByteMessageTarget(nullptr, nullptr);
}

void ByteSink::post(void* context, std::uint32_t wparam, std::intptr_t lparam)
{
    auto* sink = static_cast<ByteSink*>(context);
    bool taken = false;
    {
        std::lock_guard<std::mutex> lock(sink->mutex_);
        sink->messages_.emplace_back(wparam, lparam);
        if (sink->holding_)
            ++sink->held_;
        else
            taken = true;
    }
    sink->arrived_.notify_all();
    if (taken)
        PortUnit::ByteMessageTaken();
}

void ByteSink::hold()
{
    std::lock_guard<std::mutex> lock(mutex_);
    holding_ = true;
}

void ByteSink::takeHeld()
{
    std::size_t held = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        holding_ = false;
        held = std::exchange(held_, 0);
    }
    for (std::size_t i = 0; i < held; ++i)
        PortUnit::ByteMessageTaken();
}

bool ByteSink::waitFor(std::size_t count, std::chrono::milliseconds within)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, within, [&] { return messages_.size() >= count; });
}

std::vector<std::pair<std::uint32_t, std::intptr_t>> ByteSink::messages() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

Bytes ByteSink::bytes() const
{
    Bytes result;
    for (const auto& [wparam, lparam] : messages())
        result.push_back(static_cast<std::uint8_t>(wparam));
    return result;
}

std::size_t ByteSink::count() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_.size();
}

}  // namespace PortTest
