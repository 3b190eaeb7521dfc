#include "gif/gif_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "project/errors.h"
#include "project/file_io.h"

namespace torvana::gif {

void GifStream::Move(int64_t delta) {
    const int64_t target = Position() + delta;
    SetPosition(target < 0 ? 0 : target);
}

int64_t GifStream::Remaining() const {
    const int64_t left = Size() - Position();
    return left > 0 ? left : 0;
}

int GifStream::ReadByte() {
    uint8_t b;
    return Read(&b, 1) == 1 ? b : -1;
}

size_t GifMemoryStream::Read(void* buffer, size_t count) {
    if (position_ >= size_) return 0;
    if (count == 1) {  // ReadByte, the reader's most frequent call: no call of memcpy for it
        *static_cast<uint8_t*>(buffer) = data_[position_++];
        return 1;
    }
    const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), size_ - position_));
    std::memcpy(buffer, data_ + position_, n);
    position_ += static_cast<int64_t>(n);
    return n;
}

GifFileStream::GifFileStream(const std::string& path) {
    file_ = openFile(path, "rb");
    if (!file_) throwErrno(errno);
    if (std::fseek(file_, 0, SEEK_END) != 0) {
        const int err = errno;
        std::fclose(file_);
        throwErrno(err);
    }
    const long end = std::ftell(file_);
    if (end < 0) {
        const int err = errno;
        std::fclose(file_);
        throwErrno(err);
    }
    size_ = end;
    std::fseek(file_, 0, SEEK_SET);
}

GifFileStream::~GifFileStream() {
    if (file_) std::fclose(file_);
}

size_t GifFileStream::Read(void* buffer, size_t count) {
    if (position_ >= size_ || count == 0) return 0;
    const size_t n = std::fread(buffer, 1, count, file_);
    position_ += static_cast<int64_t>(n);
    return n;
}

void GifFileStream::SetPosition(int64_t position) {
    if (position < 0) position = 0;
    position_ = position;
    // Beyond the end the C library cannot seek on every platform; reads return 0 there anyway.
    std::fseek(file_, static_cast<long>(std::min(position, size_)), SEEK_SET);
}

}  // namespace torvana::gif
