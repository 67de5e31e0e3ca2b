// Cost of each packet decoder and of the geodetic conversion per frame, and
// of a whole telemetry frame from its first byte to its last field, on a
// form that draws nothing. Each decoder starts from the switches the request
// chain leaves before its packet, so the request frames it sends are in the
// figure, as they are in the program.
#include <benchmark/benchmark.h>

#include <optional>
#include <vector>

#include "protocol/host_frames.h"
#include "protocol/receiver.h"
#include "support/fake_form.h"
#include "support/telemetry_frames.h"
#include "telemetry/telemetry.h"

namespace {

using telemetry::Box;
using telemetry::testing::FakeForm;
using telemetry::testing::RecordingSink;
using telemetry::testing::RxBody;

// The cheapest honest form: it keeps the texts, the editors and the
// switches the decoders read back, and runs the request chain as the window
// does, but records nothing and only counts the bytes written. Cyclic
// telemetry on, as the operator usually runs it.
FakeForm chainForm()
{
    FakeForm form;
    form.recordTexts = false;
    form.recordWire = false;
    form.clock = {12, 34, 56};
    form.presetBox(Box::CheckBox54, true);
    form.presetBox(Box::CheckBox26, true);
    return form;
}

// `before` is the box the packet answers (on), `after` the next one in the
// chain (off); the state packet has none after it.
template <typename Decoder>
void runDecoder(benchmark::State& state, const protocol::RxBuffer& RxBuf, Box before,
                std::optional<Box> after, Decoder decode)
{
    FakeForm form = chainForm();
    for (auto _ : state) {
        form.presetBox(before, true);
        if (after)
            form.presetBox(*after, false);
        decode(RxBuf, form);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    benchmark::DoNotOptimize(form.bytesWritten);
}

void BM_decodeTelemetry(benchmark::State& state)
{
    // Includes XYZ_to_LBH, which the decoder runs on every packet.
    runDecoder(state, telemetry::testing::telemetryBody(), Box::CheckBox26, Box::CheckBox32,
               telemetry::decodeTelemetry);
}
BENCHMARK(BM_decodeTelemetry);

void BM_decodeCalibration(benchmark::State& state)
{
    runDecoder(state, telemetry::testing::calibrationBody(), Box::CheckBox32, Box::CheckBox33,
               telemetry::decodeCalibration);
}
BENCHMARK(BM_decodeCalibration);

void BM_decodeSettings(benchmark::State& state)
{
    runDecoder(state, telemetry::testing::settingsBody(), Box::CheckBox33, Box::CheckBox43,
               telemetry::decodeSettings);
}
BENCHMARK(BM_decodeSettings);

void BM_decodeState(benchmark::State& state)
{
    // The state packet ends the chain: CheckBox43 goes off, nothing comes on.
    runDecoder(state, telemetry::testing::stateBody(), Box::CheckBox43, std::nullopt, telemetry::decodeState);
}
BENCHMARK(BM_decodeState);

void BM_decodeAck(benchmark::State& state)
{
    RxBody body(protocol::PT_ACK, 3);
    body.u8(2, 3);  // settings saved
    FakeForm form = chainForm();
    for (auto _ : state) {
        telemetry::decodeAck(body, form);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_decodeAck);

void BM_XYZ_to_LBH(benchmark::State& state)
{
    FakeForm form = chainForm();
    telemetry::decodeTelemetry(telemetry::testing::telemetryBody(), form);
    for (auto _ : state) {
        telemetry::XYZ_to_LBH(form);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_XYZ_to_LBH);

// A telemetry frame byte by byte through the receiver into the decoder: the
// work the user-interface thread does per frame, less the widgets.
void BM_telemetry_frame_received_and_decoded(benchmark::State& state)
{
    const RxBody telemetryBody = telemetry::testing::telemetryBody();
    const protocol::RxBuffer& RxBuf = telemetryBody;
    const std::vector<std::uint8_t> body(RxBuf.begin(), RxBuf.begin() + RxBuf[1]);
    const auto wire = protocol::wrapBody(body);
    FakeForm form = chainForm();
    RecordingSink sink(form);
    sink.recordVerdicts = false;
    protocol::FrameReceiver rx(sink);
    for (auto _ : state) {
        form.presetBox(Box::CheckBox32, false);
        for (std::uint8_t byte : wire)
            rx.Calc(byte, 1);
    }
    if (sink.framesReceived != static_cast<std::uint64_t>(state.iterations()))
        state.SkipWithError("a frame was not decoded");
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(wire.size()));
}
BENCHMARK(BM_telemetry_frame_received_and_decoded);

}  // namespace
