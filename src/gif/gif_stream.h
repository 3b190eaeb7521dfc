#pragma once
// The byte stream the GIF reader pulls from: read, relative and absolute moves, position and
// size. The reader only needs these few operations, so a picture can come from a file, from
// memory (form data, the clipboard, tests) or from anything else that implements them.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace torvana::gif {

class GifStream {
public:
    virtual ~GifStream() = default;

    // Reads up to `count` bytes into `buffer`; returns how many were read (0 at the end).
    virtual size_t Read(void* buffer, size_t count) = 0;
    // The absolute position; it may lie beyond Size() after a forward move, where reads give 0.
    virtual int64_t Position() const = 0;
    virtual void SetPosition(int64_t position) = 0;
    virtual int64_t Size() const = 0;

    // Moves relative to the current position (forwards or backwards); never before 0.
    void Move(int64_t delta);
    // Bytes between the position and the end, 0 when the position is at or past the end.
    int64_t Remaining() const;
    // One byte, or -1 at the end.
    int ReadByte();
};

// A stream over bytes held by the caller; the bytes must outlive the stream.
class GifMemoryStream : public GifStream {
public:
    GifMemoryStream(const void* data, size_t size)
        : data_(static_cast<const uint8_t*>(data)), size_(static_cast<int64_t>(size)) {}
    explicit GifMemoryStream(const std::string& bytes) : GifMemoryStream(bytes.data(), bytes.size()) {}

    size_t Read(void* buffer, size_t count) override;
    int64_t Position() const override { return position_; }
    void SetPosition(int64_t position) override { position_ = position < 0 ? 0 : position; }
    int64_t Size() const override { return size_; }

private:
    const uint8_t* data_;
    int64_t size_;
    int64_t position_ = 0;
};

// A stream over a file opened for reading. Opening throws torvana::Error with the platform's
// text ("File not found", ...). A read error of the file is reported as an end of data.
class GifFileStream : public GifStream {
public:
    explicit GifFileStream(const std::string& path);
    ~GifFileStream() override;
    GifFileStream(const GifFileStream&) = delete;
    GifFileStream& operator=(const GifFileStream&) = delete;

    size_t Read(void* buffer, size_t count) override;
    int64_t Position() const override { return position_; }
    void SetPosition(int64_t position) override;
    int64_t Size() const override { return size_; }

private:
    std::FILE* file_ = nullptr;
    int64_t size_ = 0;
    int64_t position_ = 0;
};

}  // namespace torvana::gif
