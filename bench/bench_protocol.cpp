// Cost of the checksum and of the receiver per byte.
#include <benchmark/benchmark.h>

#include <vector>

#include "protocol/crc16.h"
#include "protocol/host_frames.h"
#include "protocol/receiver.h"

namespace {

std::vector<std::uint8_t> telemetryBody()
{
    std::vector<std::uint8_t> body{0x81, 50};
    for (int i = 2; i < 50; ++i)
        body.push_back(static_cast<std::uint8_t>(i * 13));
    return body;
}

void BM_crc16calc_50_byte_body(benchmark::State& state)
{
    const auto body = telemetryBody();
    for (auto _ : state)
        benchmark::DoNotOptimize(protocol::crc16calc(body, 50));
    state.SetBytesProcessed(state.iterations() * 50);
}
BENCHMARK(BM_crc16calc_50_byte_body);

// The receiver alone: the sink does nothing, so this is Calc's own cost.
struct NullSink : protocol::ReceiverSink {
    unsigned frames = 0;
    void frameReceived(const protocol::RxBuffer&) override { ++frames; }
};

void BM_Calc_per_byte(benchmark::State& state)
{
    const auto wire = protocol::wrapBody(telemetryBody());
    NullSink sink;
    protocol::FrameReceiver rx(sink);
    std::size_t i = 0;
    for (auto _ : state) {
        rx.Calc(wire[i], 1);
        if (++i == wire.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
    benchmark::DoNotOptimize(sink.frames);
}
BENCHMARK(BM_Calc_per_byte);

}  // namespace
