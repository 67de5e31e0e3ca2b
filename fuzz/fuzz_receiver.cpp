// Arbitrary traffic on the line into the frame receiver, with the decoders
// and a recording form behind it. After every byte message the receiver's
// invariants must hold and every text the decoders wrote must be UTF-8.
//
// Input: a byte stream. 0xFF starts an escape so the other message fields
// can vary too: FF FF is the byte 0xFF as usual; FF l w0 w1 is a message
// with lparam (int8)l and wparam w0 | w1 << 8, so lparam 1 with high wparam
// bits, and lparam values the receiver must ignore, both occur. FF FE t n
// and n - 2 further bytes (zeros where the input ends first) is a whole
// frame with that body, its sync word and a correct CRC: random bytes
// would almost never pass the CRC, and this way the decoders and the
// geodetic conversion meet arbitrary contents (lparam -2 is left out).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "protocol/host_frames.h"
#include "protocol/receiver.h"
#include "support/fake_form.h"

#include <vector>

namespace {

using telemetry::testing::FakeForm;
using telemetry::testing::RecordingSink;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_receiver: %s\n", what);
    std::abort();
}

bool isUtf8(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        unsigned char min = 0x80, max = 0xBF;  // second byte: no overlong forms, no surrogates
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF)
            length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF)
            length = 3, min = lead == 0xE0 ? 0xA0 : 0x80, max = lead == 0xED ? 0x9F : 0xBF;
        else if (lead >= 0xF0 && lead <= 0xF4)
            length = 4, min = lead == 0xF0 ? 0x90 : 0x80, max = lead == 0xF4 ? 0x8F : 0xBF;
        else
            return false;
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto byte = static_cast<unsigned char>(text[i + k]);
            if (byte < (k == 1 ? min : 0x80) || byte > (k == 1 ? max : 0xBF))
                return false;
        }
        i += length;
    }
    return true;
}

void checkTexts(const FakeForm& form)
{
    for (const auto& write : form.textLog)
        if (!isUtf8(write.text))
            fail("display text is not UTF-8");
    for (const auto& text : form.editors)
        if (!isUtf8(text))
            fail("editor text is not UTF-8");
    if (!isUtf8(form.statusText))
        fail("status text is not UTF-8");
}

void checkReceiver(const protocol::FrameReceiver& rx)
{
    if (rx.rxPos() > 198)
        fail("RxPos above 198");
    if (rx.rxSynced() > 1)
        fail("RxSynced neither 0 nor 1");
    if (rx.rxSynced() == 1 && rx.rxPos() >= rx.rxBuf()[1] + 2)
        fail("frame in progress past its length");
}

void deliver(FakeForm& form, RecordingSink& sink, protocol::FrameReceiver& rx, std::uint32_t wparam,
             std::intptr_t lparam)
{
    const auto posBefore = rx.rxPos();
    const auto syncedBefore = rx.rxSynced();
    const auto bufBefore = rx.rxBuf();
    rx.Calc(wparam, lparam);
    if (lparam != 1) {
        if (sink.bytesTaken != 0 || !sink.verdicts.empty() || rx.rxPos() != posBefore ||
            rx.rxSynced() != syncedBefore || rx.rxBuf() != bufBefore)
            fail("a message with lparam other than 1 had an effect");
    } else {
        if (sink.bytesTaken != 1)
            fail("a byte not reported taken exactly once (Timer3's restart)");
        if (sink.verdicts.size() > 1)
            fail("more than one verdict for one byte");
    }
    checkReceiver(rx);
    checkTexts(form);
    form.clearRecords();
    sink.clearRecords();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FakeForm form;
    RecordingSink sink(form);
    protocol::FrameReceiver rx(sink);
    std::size_t i = 0;
    while (i < size) {
        if (data[i] != 0xFF) {
            deliver(form, sink, rx, data[i++], 1);
        } else if (i + 1 < size && data[i + 1] == 0xFF) {
            deliver(form, sink, rx, 0xFF, 1);
            i += 2;
        } else if (i + 3 < size && data[i + 1] == 0xFE) {
            std::vector<std::uint8_t> body{data[i + 2], data[i + 3]};
            i += 4;
            while (body.size() < body[1])
                body.push_back(i < size ? data[i++] : 0);
            for (std::uint8_t byte : protocol::wrapBody(body))
                deliver(form, sink, rx, byte, 1);
        } else if (i + 3 < size) {
            const auto lparam = static_cast<std::int8_t>(data[i + 1]);
            deliver(form, sink, rx, data[i + 2] | (std::uint32_t{data[i + 3]} << 8), lparam);
            i += 4;
        } else {
            break;
        }
    }
    return 0;
}
