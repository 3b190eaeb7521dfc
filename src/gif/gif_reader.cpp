// Reading a GIF87a/GIF89a stream into the picture model. Fatal defects raise GifError; the
// recoverable ones become warnings and reading goes on or stops quietly with what it has.

#include <cctype>
#include <cmath>
#include <cstring>

#include "gif/gif_image.h"
#include "gif/gif_messages.h"

namespace torvana::gif {

namespace {

// Reads exactly n bytes or raises "Premature end of data".
void ReadExact(GifStream& stream, void* buffer, size_t n) {
    if (stream.Read(buffer, n) != n) throw GifError(kPrematureEnd);
}

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Data sub-blocks as strings, each cut at its first zero byte. No length byte at all ends the
// list silently, as does the 0 terminator. Each string kept is paid for from the picture's
// budget, so millions of tiny sub-blocks cannot take more than it.
void ReadStringBlocks(GifStream& stream, std::vector<std::string>& lines, GifImage* owner) {
    lines.clear();
    for (;;) {
        const int length = stream.ReadByte();
        if (length <= 0) return;
        char buffer[255];
        ReadExact(stream, buffer, static_cast<size_t>(length));
        const size_t kept = strnlen(buffer, static_cast<size_t>(length));
        if (owner) owner->ReservePixels(gifStringOverhead + int64_t(kept));
        lines.emplace_back(buffer, kept);
    }
}

bool SignatureMatches(const uint8_t* bytes) {
    for (int i = 0; i < 3; ++i) {
        if (bytes[i] == 0) return false;
        if (std::toupper(bytes[i]) != "GIF"[i]) return false;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Header and trailer

void GifColorMap::ReadTriples(GifStream& stream, int n) {
    // A table read again keeps its buffer when it is large enough.
    tripleCount = 0;
    sortedFlag = false;
    EnsureCapacity(n);
    ReadExact(stream, rgbTriples.get(), static_cast<size_t>(n) * 3);
    tripleCount = n;
}

void GifHeader::LoadFromStream(GifStream& stream) {
    const int64_t start = stream.Position();
    uint8_t signature[6];
    ReadExact(stream, signature, 6);
    if (!SignatureMatches(signature)) {
        // The picture may be preceded by exactly four bytes, such as a length word.
        stream.SetPosition(start + 4);
        ReadExact(stream, signature, 6);
        if (!SignatureMatches(signature)) throw GifError(kInvalidSignature);
    }
    uint8_t descriptor[7];
    ReadExact(stream, descriptor, 7);
    screenWidth = le16(descriptor);
    screenHeight = le16(descriptor + 2);
    screenFlags = descriptor[4];
    backgroundIndex = descriptor[5];
    aspectByte = descriptor[6];
    if (screenFlags & 0x80)
        globalColors.ReadTriples(stream, 2 << (screenFlags & 7));
    else
        globalColors.Clear();
}

void GifTrailer::LoadFromStream(GifStream& stream) {
    const int b = stream.ReadByte();
    if (b >= 0 && b != ';') ReportWarning(gifWarningSeverity, kInvalidTrailer);
}

// ---------------------------------------------------------------------------------------------
// Extensions

void GifExtension::LoadFromStream(GifStream& stream) {
    uint8_t intro[2];
    ReadExact(stream, intro, 2);
    if (intro[0] != '!') throw GifError(kInvalidIntroducer);
    if (intro[1] != ExtensionLabel())
        throw GifError(kExtensionMismatch);
}

void GifGraphicControlExtension::LoadFromStream(GifStream& stream) {
    GifExtension::LoadFromStream(stream);
    uint8_t block[6] = {};
    const size_t got = stream.Read(block, 6);
    // Whatever the block size byte says, the block is taken as 6 bytes.
    gceBlockSize = block[0];
    gceFlags = block[1];
    delayTime = le16(block + 2);
    transparentIndex = block[4];
    gceTerminator = block[5];
    if (got < 6) {
        // Only the bytes that were there are kept; the rest stay as created.
        if (got < 1) gceBlockSize = 4;
        ReportWarning(gifWarningSeverity, kPrematureEnd);
        return;
    }
    if (TransparencyOn() && ownerFrame) ownerFrame->hasTransparency = true;
}

void GifTextExtension::LoadFromStream(GifStream& stream) {
    GifExtension::LoadFromStream(stream);
    uint8_t block[13];
    ReadExact(stream, block, 13);
    textBlockSize = block[0];
    textGridLeft = le16(block + 1);
    textGridTop = le16(block + 3);
    textGridWidth = le16(block + 5);
    textGridHeight = le16(block + 7);
    textCellWidth = block[9];
    textCellHeight = block[10];
    textForeIndex = block[11];
    textBackIndex = block[12];
    ReadStringBlocks(stream, textLines, ownerImage);
}

void GifCommentExtension::LoadFromStream(GifStream& stream) {
    GifExtension::LoadFromStream(stream);
    ReadStringBlocks(stream, commentLines, ownerImage);
}

void GifApplicationExtension::LoadFromStream(GifStream& stream) {
    GifExtension::LoadFromStream(stream);
    uint8_t size;
    ReadExact(stream, &size, 1);
    if (size < 10) throw GifError(kApplicationBlockSize);
    uint8_t id[11];
    ReadExact(stream, id, 11);
    std::memcpy(appIdentifier.data(), id, 8);
    std::memcpy(appAuthCode.data(), id + 8, 3);
    // For a block of 10 the eleventh byte read is the first byte after the block.
    stream.Move(int64_t(size) - 11);
    ReadAppBlocks(stream);
}

void GifUnknownAppExtension::ReadAppBlocks(GifStream& stream) {
    rawSubBlocks.clear();
    for (;;) {
        const int length = stream.ReadByte();
        if (length <= 0) return;
        if (ownerImage) ownerImage->ReservePixels(int64_t(sizeof(GifBlock)) + gifStringOverhead + length);
        GifBlock block;
        block.blockLength = static_cast<uint8_t>(length);
        block.blockBytes.resize(static_cast<size_t>(length));
        ReadExact(stream, block.blockBytes.data(), block.blockBytes.size());
        rawSubBlocks.push_back(std::move(block));
    }
}

void GifLoopExtension::ReadAppBlocks(GifStream& stream) {
    for (;;) {
        const int length = stream.ReadByte();
        if (length <= 0) return;
        const int id = stream.ReadByte();
        if (id < 0) return;
        uint8_t field[4];
        switch (id & 7) {
            case 1:
                if (length < 3) throw GifError(kInvalidData);
                ReadExact(stream, field, 2);
                loopCount = le16(field);
                stream.Move(length - 3);
                break;
            case 2:
                if (length < 5) throw GifError(kInvalidData);
                ReadExact(stream, field, 4);
                bufferSizeHint = uint32_t(field[0]) | (uint32_t(field[1]) << 8) | (uint32_t(field[2]) << 16) |
                                 (uint32_t(field[3]) << 24);
                stream.Move(length - 5);
                break;
            default:
                stream.Move(length - 1);
                break;
        }
    }
}

namespace {

// The kind of extension that starts after the "!" at the stream's position, or null. The
// stream is back at its position afterwards.
const GifExtensionClass* ExtensionClassFor(GifStream& stream) {
    const int64_t start = stream.Position();
    const GifExtensionClass* kind = nullptr;
    const int label = stream.ReadByte();
    if (label >= 0) {
        kind = FindExtensionClass(static_cast<uint8_t>(label));
        while (kind) {
            const GifExtensionClass* refined = kind->refine(kind, stream);
            if (refined == kind) break;
            kind = refined;
        }
    }
    stream.SetPosition(start);
    return kind;
}

}  // namespace

void GifExtensionList::LoadFromStream(GifStream& stream, GifFrame* parent) {
    int b = stream.ReadByte();
    if (b < 0) return;
    while (b != ',' && b != ';') {
        if (b != '!') {
            ReportWarning(gifWarningSeverity, kInvalidIntroducer);
            break;
        }
        const GifExtensionClass* kind = ExtensionClassFor(stream);
        if (!kind || !kind->create) throw GifError(kUnknownExtension);
        stream.Move(-1);
        std::unique_ptr<GifExtension> extension = kind->create(parent);
        if (extension->ownerImage) extension->ownerImage->ReservePixels(gifExtensionOverhead);
        extension->LoadFromStream(stream);  // on failure the extension is freed on the way out
        items.push_back(std::move(extension));
        b = stream.ReadByte();
        if (b < 0) return;
    }
    stream.Move(-1);
}

// ---------------------------------------------------------------------------------------------
// Frames

void GifFrame::LoadFromStream(GifStream& stream) {
    Reset();
    extensionItems.LoadFromStream(stream, this);

    const int next = stream.ReadByte();
    if (next < 0) return;
    stream.Move(-1);
    // Extensions without an image after them form a frame of their own without pixels.
    if (next == ';' || next == 0) return;

    uint8_t d[10];
    ReadExact(stream, d, 10);
    descriptorSeparator = d[0];
    frameLeft = le16(d + 1);
    frameTop = le16(d + 3);
    frameWidth = le16(d + 5);
    frameHeight = le16(d + 7);
    frameFlags = d[9];
    if (frameWidth == 0 || frameHeight == 0) {
        frameHeight = ownerImage->header->screenHeight;
        frameWidth = ownerImage->header->screenWidth;
        ReportWarning(gifWarningSeverity, kExceedsScreen);
    }
    if (frameFlags & 0x80) localColors.ReadTriples(stream, 2 << (frameFlags & 7));
    ownerImage->ReserveFramePixels(int64_t(frameWidth) * frameHeight);
    ReadFrameData(stream, true);
}

void GifFrameList::LoadFromStream(GifStream& stream, GifImage* parent) {
    for (;;) {
        int b;
        do {
            b = stream.ReadByte();
        } while (b == 0);
        if (b < 0) return;  // a missing trailer is not an error
        stream.Move(-1);
        if (b == ';') return;
        if (b != '!' && b != ',') {
            ReportWarning(gifWarningSeverity, kUnknownBlockType);
            return;
        }
        parent->ReservePixels(gifFrameOverhead);
        auto frame = std::make_unique<GifFrame>(parent);
        frame->LoadFromStream(stream);  // on failure the frame is freed on the way out
        items.push_back(std::move(frame));
        const bool streamed = !parent->keepFramePixels;
        if ((renderOnLoad || streamed) && parent->OnFrameRead) parent->OnFrameRead(*items.back());
        if (streamed) {
            items.back()->renderCache.reset();
            items.back()->pixels.clear();  // the buffer goes on to the next frame
        }
        if (parent->OnProgress) {
            const int64_t size = stream.Size();
            const int percent =
                size > 0 ? static_cast<int>(std::llround(double(stream.Position()) * 100.0 / double(size))) : 100;
            parent->Progress(this, GifProgressStage::running, percent, renderOnLoad, kLoading);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The picture

void GifImage::LoadFromStream(GifStream& stream) {
    Progress(this, GifProgressStage::starting, 0, false, kLoading);
    Clear();
    const int64_t start = stream.Position();
    try {
        header->LoadFromStream(stream);
        frames.LoadFromStream(stream, this);
        GifTrailer trailer(this);
        trailer.LoadFromStream(stream);
    } catch (...) {
        stream.SetPosition(start);
        Progress(this, GifProgressStage::ending, 0, true, kLoading);
        throw;
    }
    Progress(this, GifProgressStage::ending, 100, true, kLoading);
}

}  // namespace torvana::gif
