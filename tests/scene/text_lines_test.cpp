#include "scene/text_lines.h"

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// A stream that gives `bytes` and then, when `failAtEnd`, fails with EIO instead of ending.
struct FailingSource {
    std::string bytes;
    size_t at = 0;
    bool failAtEnd = false;
};

ssize_t readSource(void* cookie, char* buffer, size_t size) {
    FailingSource& source = *static_cast<FailingSource*>(cookie);
    if (source.at == source.bytes.size()) {
        if (!source.failAtEnd) return 0;
        errno = EIO;
        return -1;
    }
    // A few bytes at a time, so that a failure comes part-way through the stream.
    const size_t n = std::min({size, source.bytes.size() - source.at, size_t(3)});
    std::memcpy(buffer, source.bytes.data() + source.at, n);
    source.at += n;
    return ssize_t(n);
}

// Every line read, each closed by "|", then "end" or the error's text.
std::string readAll(const std::string& bytes, bool dropCarriageReturn, bool failAtEnd) {
    FailingSource source{bytes, 0, failAtEnd};
    cookie_io_functions_t io{};
    io.read = &readSource;
    std::FILE* file = fopencookie(&source, "r", io);
    std::string result;
    std::string line;
    LineRead read;
    while ((read = readTextLine(file, line, dropCarriageReturn)) == LineRead::line) {
        result += line + "|";
    }
    result += read == LineRead::end ? "end" : std::strerror(errno);
    std::fclose(file);
    return result;
}

TEST(TextLines, LinesOfAnyLengthAndReadErrorsApartFromTheEnd) {
    const std::string longLine(5000, 'x');
    const struct {
        std::string bytes;
        bool dropCarriageReturn;
        bool failAtEnd;
        std::string read;
    } cases[] = {
        {"", false, false, "end"},
        {"a\n\nb c\n", false, false, "a||b c|end"},
        {"a\nlast", false, false, "a|last|end"},
        {"a\r\nb\r\r\nc\r", true, false, "a|b\r|c|end"},
        {"a\r\nb\r", false, false, "a\r|b\r|end"},
        {longLine + "\n" + longLine, false, false, longLine + "|" + longLine + "|end"},
        // The lines read before the failure stand; the half line at the failure is lost.
        {"row one\nrow two\nhalf", false, true, "row one|row two|" + std::string(strerror(EIO))},
        {"", true, true, std::strerror(EIO)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readAll(c.bytes, c.dropCarriageReturn, c.failAtEnd), c.read) << c.bytes;
    }
}

}  // namespace
