// Windows hands the program its command line and file names as UTF-16 and
// shows a console's text in UTF-16 too; the program's own text is UTF-8.
// The conversions sit here, at the edge, so the commands print and read
// the same bytes as on Linux.
#include "common/windows_api.h"
// after windows.h
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <iostream>
#include <streambuf>
#include <string_view>

#include "ctl/system_io.h"

namespace ctl {
namespace {

std::wstring widen(std::string_view text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string narrow(const wchar_t* text)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1)
        return {};
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), length, nullptr, nullptr);
    utf8.pop_back();  // the terminating zero
    return utf8;
}

// How many bytes at the start of `text` are whole UTF-8 characters: a
// character whose last bytes have not been printed yet waits for them
// rather than showing as two replacement marks.
std::size_t wholeCharacters(std::string_view text)
{
    for (std::size_t back = 1; back <= 4 && back <= text.size(); ++back) {
        const auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue;  // a continuation byte: its lead byte is further back
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? text.size() - back : text.size();
    }
    return text.size();
}

// A console stream that writes UTF-16 with WriteConsoleW, line by line.
// Unlike a switch of the console's code page to UTF-8 it shows the letters
// on every Windows version and leaves the operator's console as it was.
class ConsoleBuffer : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}

protected:
    int_type overflow(int_type ch) override
    {
        if (!traits_type::eq_int_type(ch, traits_type::eof())) {
            pending_ += traits_type::to_char_type(ch);
            if (traits_type::to_char_type(ch) == '\n')
                writeWhole();
        }
        return traits_type::not_eof(ch);
    }

    std::streamsize xsputn(const char* text, std::streamsize count) override
    {
        const std::string_view added(text, static_cast<std::size_t>(count));
        pending_ += added;
        if (added.find('\n') != std::string_view::npos)
            writeWhole();
        return count;
    }

    int sync() override
    {
        writeWhole();
        return 0;
    }

private:
    void writeWhole()
    {
        const std::size_t whole = wholeCharacters(pending_);
        const std::wstring wide = widen(std::string_view(pending_).substr(0, whole));
        pending_.erase(0, whole);
        // Older consoles refuse one very long write; a slice at a time.
        constexpr std::size_t kSlice = 8192;
        for (std::size_t at = 0; at < wide.size(); at += kSlice) {
            DWORD written = 0;
            const auto count = static_cast<DWORD>(std::min(kSlice, wide.size() - at));
            if (!WriteConsoleW(console_, wide.data() + at, count, &written, nullptr))
                return;
        }
    }

    HANDLE console_;
    std::string pending_;
};

bool isConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

}  // namespace

void useUtf8StandardStreams()
{
    // A pipe or a file gets "\n" as it is: a script or a comparison with the
    // Linux output sees the same bytes.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // Never freed: std::cout is flushed at exit, after every static of
    // this file would have gone.
    if (const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE); isConsole(out))
        std::cout.rdbuf(new ConsoleBuffer(out));
    if (const HANDLE err = GetStdHandle(STD_ERROR_HANDLE); isConsole(err))
        std::cerr.rdbuf(new ConsoleBuffer(err));
}

std::vector<std::string> commandLineArguments(int argc, char* argv[])
{
    // argv is in the ANSI code page, which cannot hold every letter of a
    // name; the wide command line can.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i)
        args.push_back(narrow(wide[i]));
    LocalFree(wide);
    return args;
}

std::FILE* createFileForWriting(const std::string& name)
{
    // Binary: a capture made on Windows has the same line ends as one made
    // on Linux, and replays on either.
    return _wfopen(widen(name).c_str(), L"wb");
}

}  // namespace ctl
