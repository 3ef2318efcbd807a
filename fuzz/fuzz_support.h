// What the fuzz targets share: a private folder per process for the files they read, and a way
// to stop on a broken promise so that libFuzzer keeps the input.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

// A folder of this process under the temporary directory, made on first use and kept: the
// targets write the same few file names into it again and again.
inline const std::string& workFolder() {
    static const std::string folder = [] {
        char name[] = "/tmp/kelvaro-fuzz-XXXXXX";
        const char* made = mkdtemp(name);
        if (made == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        static std::string path;
        path = made;
        // Gone again when the fuzzer ends normally (a crash leaves it for a look).
        std::atexit([] {
            const std::string command = "rm -rf '" + path + "'";
            if (std::system(command.c_str()) != 0) std::perror("rm");
        });
        return path;
    }();
    return folder;
}

// Writes the bytes to `path`, replacing what was there.
inline void writeBytes(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror(path.c_str());
        std::abort();
    }
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
}

inline void removeFile(const std::string& path) {
    unlink(path.c_str());
}

// A broken promise of the code under test: abort, so that libFuzzer saves the input.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// Reads fixed-size values off the front of the input; once it runs out, zeros.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    template <typename T>
    T take() {
        T value{};
        unsigned char* out = reinterpret_cast<unsigned char*>(&value);
        for (size_t i = 0; i < sizeof(T); ++i) out[i] = at_ < size_ ? data_[at_++] : 0;
        return value;
    }
    uint8_t byte() { return take<uint8_t>(); }
    size_t left() const { return size_ - at_; }
    const uint8_t* rest() const { return data_ + at_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

}  // namespace fuzz
