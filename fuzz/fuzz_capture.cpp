// Arbitrary files given to the capture reader, which a player trusts to
// refuse a damaged capture whole: it either refuses with a line that exists
// in the file or returns records that hold bytes and never go back in time.
// What it returns, written again, reads back to the same records, and the
// notes settle after one more round.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "capture/capture_format.h"

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_capture: %s\n", what);
    std::abort();
}

std::string written(const capture::Capture& capture)
{
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* file = open_memstream(&buffer, &size);
    if (!file)
        fail("open_memstream failed");
    {
        capture::CaptureWriter writer(file, capture.notes);
        for (const capture::Record& record : capture.records)
            writer.record(record.microseconds, record.bytes.data(), record.bytes.size());
    }
    std::fclose(file);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

capture::Capture read(const std::string& text)
{
    std::istringstream in(text);
    return capture::readCapture(in);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    capture::Capture first;
    try {
        first = read(text);
    } catch (const capture::CaptureError& error) {
        std::size_t lines = 1;
        for (const char c : text)
            lines += c == '\n';
        if (error.line() < 1 || static_cast<std::size_t>(error.line()) > lines)
            fail("refused at a line the file does not have");
        return 0;
    }

    std::int64_t last = 0;
    for (const capture::Record& record : first.records) {
        if (record.bytes.empty())
            fail("a record without bytes");
        if (record.microseconds < last)
            fail("time went backwards");
        last = record.microseconds;
    }

    const capture::Capture second = read(written(first));
    if (second.records.size() != first.records.size())
        fail("written again, the records changed in number");
    for (std::size_t i = 0; i < first.records.size(); ++i)
        if (second.records[i].microseconds != first.records[i].microseconds ||
            second.records[i].bytes != first.records[i].bytes)
            fail("written again, a record changed");
    if (read(written(second)).notes != second.notes)
        fail("the notes did not settle");
    return 0;
}
