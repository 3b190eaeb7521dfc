#pragma once
// The in-memory model of a GIF picture: a header (logical screen and global colour table) and
// an ordered list of frames, each with the extensions that preceded its image descriptor, an
// optional local colour table and its pixels as one colour index per byte.
//
// Ownership is plain: a GifImage owns its header and its frame list, a frame owns its
// extensions and its local colour table, lists own their items. Back-pointers (ownerImage,
// ownerFrame, controlBlock) never own.
//
// Fatal defects raise GifError; recoverable ones are warnings of severity 1 that travel from the
// reporting object to the picture's OnGIFWarning handler (dropped when none is assigned).
//
// Reading a stream into this model lives in gif_reader.cpp, the raster decoder in
// lzw_decoder.cpp; composing frames into RGBA pictures in gif_compositor.h.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gif/gif_stream.h"
#include "project/errors.h"

namespace torvana::gif {

// The module's fatal error; carries only its message.
class GifError : public torvana::Error {
public:
    using torvana::Error::Error;
};

enum GifVersion { versionNone = 0, version87a = 1, version89a = 2 };
// "87a" or "89a" ("" for versionNone).
const char* GifVersionText(GifVersion version);

// The only warning severity the module uses.
constexpr int gifWarningSeverity = 1;

// Library-wide: render each frame for drawing as soon as it has been read. Off by default and
// never set by the program. When on, the reader hands every frame it has read to the picture's
// OnFrameRead (where the drawing layer renders it), and load progress asks for a redraw.
extern bool renderOnLoad;

class GifImage;
class GifFrame;
class GifHeader;

// What a drawing layer caches for one frame (its rendered bitmap, mask and palette). The frame
// owns it and frees it with itself; the core never looks inside.
class GifFrameCache {
public:
    virtual ~GifFrameCache() = default;
};

// Common base of everything that reports warnings; the sender passed to OnGIFWarning.
class GifObject {
public:
    virtual ~GifObject() = default;
};

// ---------------------------------------------------------------------------------------------
// Colour tables

class GifColorMap : public GifObject {
public:
    static constexpr int maxEntries = 256;

    GifColorMap() = default;
    GifColorMap(const GifColorMap&) = delete;
    GifColorMap& operator=(const GifColorMap&) = delete;

    // Entries, 3 bytes each: red, green, blue.
    std::unique_ptr<uint8_t[]> rgbTriples;
    int tripleCount = 0;     // entries in use; 0 means there is no table
    int tripleCapacity = 0;  // entries allocated
    bool sortedFlag = false; // never set by reading

    // Grows the buffer for n entries: 16 for n up to 16, else n rounded up to 32, at most 256.
    void EnsureCapacity(int n);
    void Clear();
    // Appends an entry; a 257th raises kColorTableOverflow. Returns its index.
    int Add(uint8_t red, uint8_t green, uint8_t blue);
    void CopyFrom(const GifColorMap& other);
    const uint8_t* Entry(int index) const { return rgbTriples.get() + 3 * index; }

    // The entry as 0x00BBGGRR. An index outside the table warns kInvalidColorIndex and uses
    // entry 0; an empty table then raises kColorTableEmpty.
    uint32_t ColorOf(int index);

    // Empties the table and reads n entries (3 × n bytes) from the stream.
    void ReadTriples(GifStream& stream, int n);

    virtual void ReportWarning(int severity, const std::string& message) = 0;
};

class GifGlobalColorMap : public GifColorMap {
public:
    explicit GifGlobalColorMap(GifHeader* header) : header(header) {}
    GifHeader* header;
    void ReportWarning(int severity, const std::string& message) override;
};

class GifLocalColorMap : public GifColorMap {
public:
    explicit GifLocalColorMap(GifFrame* frame) : frame(frame) {}
    GifFrame* frame;
    void ReportWarning(int severity, const std::string& message) override;
};

// ---------------------------------------------------------------------------------------------
// Items

class GifItem : public GifObject {
public:
    explicit GifItem(GifImage* owner) : ownerImage(owner) {}
    GifItem(const GifItem&) = delete;
    GifItem& operator=(const GifItem&) = delete;

    GifImage* ownerImage;

    virtual GifVersion RequiredVersion() const { return version87a; }
    // Passes the warning to the owning picture with this item as the sender.
    virtual void ReportWarning(int severity, const std::string& message);
    virtual void LoadFromStream(GifStream& stream) = 0;
    // Opens the file for reading and calls LoadFromStream; torvana::Error when it cannot open.
    void LoadFromFile(const std::string& path);
};

class GifHeader : public GifItem {
public:
    explicit GifHeader(GifImage* owner) : GifItem(owner), globalColors(this) {}

    uint16_t screenWidth = 0;
    uint16_t screenHeight = 0;
    uint8_t screenFlags = 0;  // bit 7 global table, bits 4-6 colour resolution, bit 3 sorted, bits 0-2 size
    uint8_t backgroundIndex = 0;
    uint8_t aspectByte = 0;
    GifGlobalColorMap globalColors;

    // Back to a 0 × 0 screen without a global table.
    void Clear();
    void Assign(const GifHeader& other);
    GifVersion RequiredVersion() const override;
    void LoadFromStream(GifStream& stream) override;
};

// The trailer byte; exists only while a picture is read.
class GifTrailer : public GifItem {
public:
    using GifItem::GifItem;
    void LoadFromStream(GifStream& stream) override;
};

// ---------------------------------------------------------------------------------------------
// Extensions

class GifExtension;

// What the two registries map to: a kind of extension. `create` is null for a kind that is
// never instantiated itself; `refine` looks further into the stream (standing after the label)
// to pick a more specific kind and returns the kind itself when it has nothing to add, or null
// when the stream cannot be read.
struct GifExtensionClass {
    const char* name;
    uint8_t label;
    std::unique_ptr<GifExtension> (*create)(GifFrame* owner);
    const GifExtensionClass* (*refine)(const GifExtensionClass* self, GifStream& stream);
};

class GifExtension : public GifItem {
public:
    explicit GifExtension(GifFrame* owner);
    GifFrame* ownerFrame;

    virtual uint8_t ExtensionLabel() const = 0;
    virtual const GifExtensionClass& Class() const = 0;
    GifVersion RequiredVersion() const override { return version89a; }
    // Reads the introducer "!" and the label, raising kInvalidIntroducer or
    // kExtensionMismatch.
    void LoadFromStream(GifStream& stream) override;
};

class GifGraphicControlExtension : public GifExtension {
public:
    static constexpr uint8_t label = 0xF9;
    static const GifExtensionClass kind;

    // Becomes the owner frame's controlBlock when the frame has none yet.
    explicit GifGraphicControlExtension(GifFrame* owner);
    // Unlinks from the frame: clears controlBlock when it was this one, and hasTransparency
    // when this one had its transparency bit.
    ~GifGraphicControlExtension() override;

    uint8_t gceBlockSize = 4;
    uint8_t gceFlags = 0;
    uint16_t delayTime = 0;  // hundredths of a second
    uint8_t transparentIndex = 0;
    uint8_t gceTerminator = 0;

    bool TransparencyOn() const { return gceFlags & 0x01; }
    bool WaitsForInput() const { return gceFlags & 0x02; }
    int DisposalCode() const { return (gceFlags >> 2) & 0x07; }
    void SetDisposalCode(int code) { gceFlags = static_cast<uint8_t>((gceFlags & ~0x1C) | ((code & 7) << 2)); }
    // Stores 0 with the warning kInvalidColorIndex when the frame's active table has entries
    // and the value is not below their count.
    void SetTransparentIndex(int value);

    uint8_t ExtensionLabel() const override { return label; }
    const GifExtensionClass& Class() const override { return kind; }
    void LoadFromStream(GifStream& stream) override;
};

class GifTextExtension : public GifExtension {
public:
    static constexpr uint8_t label = 0x01;
    static const GifExtensionClass kind;
    using GifExtension::GifExtension;

    uint8_t textBlockSize = 12;
    uint16_t textGridLeft = 0;
    uint16_t textGridTop = 0;
    uint16_t textGridWidth = 0;
    uint16_t textGridHeight = 0;
    uint8_t textCellWidth = 0;
    uint8_t textCellHeight = 0;
    uint8_t textForeIndex = 0;
    uint8_t textBackIndex = 0;
    std::vector<std::string> textLines;

    uint8_t ExtensionLabel() const override { return label; }
    const GifExtensionClass& Class() const override { return kind; }
    void LoadFromStream(GifStream& stream) override;
};

class GifCommentExtension : public GifExtension {
public:
    static constexpr uint8_t label = 0xFE;
    static const GifExtensionClass kind;
    using GifExtension::GifExtension;

    std::vector<std::string> commentLines;

    uint8_t ExtensionLabel() const override { return label; }
    const GifExtensionClass& Class() const override { return kind; }
    void LoadFromStream(GifStream& stream) override;
};

// One raw data sub-block.
struct GifBlock {
    uint8_t blockLength = 0;
    std::vector<uint8_t> blockBytes;
};

// Base of application extensions. Its kind is what the registry lists for label 0xFF; it is
// never instantiated: its refinement picks the concrete kind from the identifier.
class GifApplicationExtension : public GifExtension {
public:
    static constexpr uint8_t label = 0xFF;
    static const GifExtensionClass kind;
    explicit GifApplicationExtension(GifFrame* owner) : GifExtension(owner) {}

    std::array<uint8_t, 8> appIdentifier{};
    std::array<uint8_t, 3> appAuthCode{};

    uint8_t ExtensionLabel() const override { return label; }
    // Reads the block size B (kApplicationBlockSize below 10), the
    // identifier and code, moves to the end of the block, then ReadAppBlocks.
    void LoadFromStream(GifStream& stream) override;
    virtual void ReadAppBlocks(GifStream& stream) = 0;
};

// An application extension whose identifier has no row in the registry; its sub-blocks are
// kept as they were.
class GifUnknownAppExtension : public GifApplicationExtension {
public:
    static const GifExtensionClass kind;
    using GifApplicationExtension::GifApplicationExtension;

    std::vector<GifBlock> rawSubBlocks;

    const GifExtensionClass& Class() const override { return kind; }
    void ReadAppBlocks(GifStream& stream) override;
};

// The looping extension ("NETSCAPE2.0", "ANIMEXTS1.0").
class GifLoopExtension : public GifApplicationExtension {
public:
    static const GifExtensionClass kind;
    explicit GifLoopExtension(GifFrame* owner);

    uint16_t loopCount = 0;
    uint32_t bufferSizeHint = 0;

    const GifExtensionClass& Class() const override { return kind; }
    void ReadAppBlocks(GifStream& stream) override;
};

// The registries the reader consults. Lookups search from the last row backwards, so a row
// added later overrides an earlier one.
struct ExtensionRegistryRow {
    uint8_t label;
    const GifExtensionClass* kind;
};
struct AppExtensionRegistryRow {
    std::array<uint8_t, 11> identifier;  // 8-byte identifier and 3-byte code
    const GifExtensionClass* kind;
};
std::vector<ExtensionRegistryRow>& ExtensionRegistry();
std::vector<AppExtensionRegistryRow>& AppExtensionRegistry();
const GifExtensionClass* FindExtensionClass(uint8_t label);
const GifExtensionClass* FindAppExtensionClass(const uint8_t identifier[11]);

// ---------------------------------------------------------------------------------------------
// Lists

class GifExtensionList : public GifObject {
public:
    explicit GifExtensionList(GifImage* owner) : ownerImage(owner) {}
    GifImage* ownerImage;
    std::vector<std::unique_ptr<GifExtension>> items;

    size_t Count() const { return items.size(); }
    GifExtension& operator[](size_t i) const { return *items[i]; }
    void Clear() { items.clear(); }
    void ReportWarning(int severity, const std::string& message);
    void LoadFromStream(GifStream& stream, GifFrame* parent);
};

class GifFrameList : public GifObject {
public:
    explicit GifFrameList(GifImage* owner) : ownerImage(owner) {}
    GifImage* ownerImage;
    std::vector<std::unique_ptr<GifFrame>> items;

    size_t Count() const { return items.size(); }
    GifFrame& operator[](size_t i) const { return *items[i]; }
    void Clear();
    // Removes and frees one frame.
    void Delete(size_t index);
    void ReportWarning(int severity, const std::string& message);
    void LoadFromStream(GifStream& stream, GifImage* parent);
};

// ---------------------------------------------------------------------------------------------
// Frames

// A frame's colour indices: memory of its own, or memory of its picture's pixel store, which
// the picture keeps until it is cleared (see GifImage::ReserveFramePixels).
class GifIndices {
public:
    GifIndices() = default;
    GifIndices(const GifIndices&) = delete;
    GifIndices& operator=(const GifIndices&) = delete;

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    uint8_t& operator[](size_t i) { return data_[i]; }
    uint8_t operator[](size_t i) const { return data_[i]; }
    uint8_t back() const { return data_[size_ - 1]; }
    const uint8_t* begin() const { return data_; }
    const uint8_t* end() const { return data_ + size_; }
    bool operator==(const std::vector<uint8_t>& other) const;

    // Holds nothing; memory of its own is freed.
    void clear();
    // `count` bytes of its own, each `value`.
    void assign(size_t count, uint8_t value);
    // `count` bytes of its own, not yet set (for a writer that sets every one).
    void Allocate(size_t count);
    // `count` bytes that someone else holds for longer than this frame (its picture's store).
    void Place(uint8_t* memory, size_t count);

private:
    std::unique_ptr<uint8_t[]> own_;
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

class GifFrame : public GifItem {
public:
    explicit GifFrame(GifImage* owner);
    ~GifFrame() override;

    uint8_t descriptorSeparator = ',';
    uint16_t frameLeft = 0;
    uint16_t frameTop = 0;
    uint16_t frameWidth = 0;
    uint16_t frameHeight = 0;
    uint8_t frameFlags = 0;  // bit 7 local table, bit 6 interlaced, bit 5 sorted, bits 0-2 size
    GifLocalColorMap localColors;
    // One colour index per pixel, frameHeight rows of frameWidth, no padding; empty when the
    // frame has no pixels.
    GifIndices pixels;
    int64_t pixelCount = 0;  // frameWidth × frameHeight (up to 65535², so 64 bits)
    GifExtensionList extensionItems;
    bool hasTransparency = false;
    GifGraphicControlExtension* controlBlock = nullptr;  // the first one; not owned
    // The drawing layer's cache for this frame; dropped whenever the pixels, bounds or tables
    // change (Reset, SetBounds, AllocatePixels).
    std::unique_ptr<GifFrameCache> renderCache;

    // The local table when it has entries, else the global one when it has entries, else the
    // (empty) local table.
    GifColorMap& ActiveColors();
    const GifColorMap& ActiveColors() const { return const_cast<GifFrame*>(this)->ActiveColors(); }
    bool IsInterlaced() const { return frameFlags & 0x40; }
    bool IsEmptyFrame() const;
    // The transparent index when the frame is transparent, else -1.
    int TransparentIndex() const {
        return hasTransparency && controlBlock ? controlBlock->transparentIndex : -1;
    }

    // Frees the old pixels and allocates pixelCount zero bytes.
    void AllocatePixels();
    // Sets the bounds, reallocating the pixels, and grows the picture when the frame no longer
    // fits (kWidthTooSmall, kHeightTooSmall, then kExceedsScreen, each only when the dimension
    // was above 0).
    void SetBounds(uint16_t left, uint16_t top, uint16_t width, uint16_t height);
    // Pixel access; kInvalidPixel outside the frame, kImageEmpty for rows of
    // a frame of size 0.
    uint8_t Pixel(int x, int y) const;
    const uint8_t* Row(int y) const;

    GifVersion RequiredVersion() const override;
    void LoadFromStream(GifStream& stream) override;
    // Decodes the raster that starts at the stream's position into `pixels` (lzw_decoder.cpp);
    // `reserved`: the picture has reserved the frame's bytes and says where they go
    // (GifImage::FramePixels), else they are the frame's own.
    void ReadFrameData(GifStream& stream, bool reserved = false);

    // Forgets extensions, table, pixels and bounds.
    void Reset();
};

// ---------------------------------------------------------------------------------------------
// The picture

enum class GifProgressStage { starting, running, ending };

struct GifRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Memory that the GIF pictures of one program may take together: every frame's pixels, the
// bookkeeping of each frame and extension, the bytes of extensions kept, and the canvases
// composed from them. One budget is shared by every picture the program holds (Program()),
// so six huge rollovers cannot add up to more than one. Taken before the memory is allocated;
// painters compose on their own threads, so it is thread-safe.
class GifMemoryBudget {
public:
    static constexpr int64_t programLimit = int64_t(1) << 30;

    explicit GifMemoryBudget(int64_t limit) : limit_(limit) {}
    GifMemoryBudget(const GifMemoryBudget&) = delete;
    GifMemoryBudget& operator=(const GifMemoryBudget&) = delete;

    // The budget of this program's pictures.
    static GifMemoryBudget& Program();

    // Takes `bytes`; GifError when fewer remain.
    void Take(int64_t bytes);
    void Give(int64_t bytes) { inUse_.fetch_sub(bytes); }
    int64_t Limit() const { return limit_; }
    int64_t InUse() const { return inUse_.load(); }

private:
    const int64_t limit_;
    std::atomic<int64_t> inUse_{0};
};

// What one owner has taken from a budget; given back when the owner lets go or ends.
class GifMemoryCharge {
public:
    explicit GifMemoryCharge(GifMemoryBudget* budget) : budget_(budget) {}
    ~GifMemoryCharge() { Reset(); }
    GifMemoryCharge(const GifMemoryCharge&) = delete;
    GifMemoryCharge& operator=(const GifMemoryCharge&) = delete;

    void Add(int64_t bytes) {
        budget_->Take(bytes);
        bytes_ += bytes;
    }
    // Gives back everything taken.
    void Reset() {
        budget_->Give(bytes_);
        bytes_ = 0;
    }
    // Gives back what is held beyond `bytes` (the owner freed part of what it took).
    void ReduceTo(int64_t bytes) {
        if (bytes >= bytes_) return;
        budget_->Give(bytes_ - bytes);
        bytes_ = bytes;
    }
    int64_t Bytes() const { return bytes_; }

private:
    GifMemoryBudget* budget_;
    int64_t bytes_ = 0;
};

// What a frame and an extension cost beyond their pixels and kept bytes: the object, its
// place in its list and the allocator's share.
constexpr int64_t gifFrameOverhead = 512;
constexpr int64_t gifExtensionOverhead = 128;
constexpr int64_t gifStringOverhead = int64_t(sizeof(std::string)) * 2;

class GifImage : public GifObject {
public:
    // What all frames of one picture may hold together, in bytes of pixels and of kept
    // extension data with their overhead; a picture that would need more fails its load with
    // a GifError before the memory is taken. The shared budget (`budget`) is checked as well.
    static constexpr int64_t defaultPixelBudget = int64_t(1) << 30;

    GifImage();
    ~GifImage() override;
    GifImage(const GifImage&) = delete;
    GifImage& operator=(const GifImage&) = delete;

    std::unique_ptr<GifHeader> header;
    GifFrameList frames;
    int64_t pixelBudget = defaultPixelBudget;
    // The budget this picture and what is composed from it share with the program's other
    // pictures. Set before loading; never null.
    GifMemoryBudget* budget = &GifMemoryBudget::Program();

    // Warning event (sender, severity, message); warnings are dropped when it is empty.
    std::function<void(GifObject* sender, int severity, const std::string& message)> OnGIFWarning;
    // Progress (sender, stage, percent 0-100, redraw now, rectangle, message).
    std::function<void(GifObject* sender, GifProgressStage stage, int percent, bool redrawNow,
                       const GifRect& rect, const std::string& message)>
        OnProgress;
    // Called before the content is thrown away (a load, Clear), so that whoever draws the
    // picture can stop and drop what it caches.
    std::function<void()> OnClearing;
    // Called with each frame as soon as it has been read and appended, when renderOnLoad is on
    // or keepFramePixels is off. An error it raises ends the load like a reading error.
    std::function<void(GifFrame& frame)> OnFrameRead;
    // Off: every frame is decoded into one buffer the picture reuses, holds its pixels only
    // while OnFrameRead sees it, and keeps its bounds, tables and extensions but no pixels
    // afterwards (IsEmptyFrame). For a reader that needs each frame once (checking a file): the
    // load takes the memory of its largest frame rather than of all of them. Set before loading.
    bool keepFramePixels = true;

    bool Empty() const { return frames.Count() == 0; }
    int Width() const { return header->screenWidth; }
    int Height() const { return header->screenHeight; }
    // ColorOf the background index in the global table.
    uint32_t BackgroundColor() { return header->globalColors.ColorOf(header->backgroundIndex); }
    GifVersion Version() const;

    // Back to the state of a new picture: 0 × 0 screen, no global table, no frames.
    void Clear();

    // Replaces the content by the GIF read from the stream's position. On a GifError the
    // stream is back where reading started, the frames completed before the failure remain,
    // and the error continues to the caller.
    void LoadFromStream(GifStream& stream);
    void LoadFromFile(const std::string& path);

    // Warnings of all parts of the picture arrive here.
    void Warning(GifObject* sender, int severity, const std::string& message);
    // The message is made into a string only for a handler.
    void Progress(GifObject* sender, GifProgressStage stage, int percent, bool redrawNow, const char* message);

    // Takes `count` bytes (pixels of a frame about to be read, or extension data with its
    // overhead) out of the picture's and the shared budget; raises a GifError when either
    // would be exceeded. Given back when the content is cleared or the picture ends.
    void ReservePixels(int64_t count);

    // Takes the bytes of a frame of `count` pixels about to be read out of the budgets (only
    // what the reused frame buffer grows by when keepFramePixels is off).
    void ReserveFramePixels(int64_t count);
    // Where that frame is decoded, once its raster has been found decodable: null for memory of
    // the frame's own; the one reused frame buffer when keepFramePixels is off; otherwise, once
    // the picture's frames pass pixelStoreThreshold, the picture's pixel store. The store holds
    // the frames of a large animation together in chunks (of pixelStoreChunk, or of a larger
    // frame, never beyond what the picture's budget leaves), which the system may back with
    // large pages: a large animation is read with a few hundred page faults rather than one per
    // 4 KB, and its frames are read back with fewer misses of the address cache. The budgets
    // count the frames' bytes; a chunk's part not yet used is address space, not memory. The
    // store is freed when the picture is cleared.
    uint8_t* FramePixels(int64_t count);
    static constexpr int64_t pixelStoreThreshold = int64_t(4) << 20;
    static constexpr int64_t pixelStoreChunk = int64_t(16) << 20;

private:
    struct StoreChunk {
        uint8_t* memory = nullptr;
        int64_t size = 0;
        int64_t used = 0;
    };
    void FreeStore();

    std::unique_ptr<uint8_t[]> frameBuffer_;
    int64_t frameBufferSize_ = 0;
    std::vector<StoreChunk> store_;
    int64_t framePixels_ = 0;  // bytes of the frames read so far
    int64_t pixelsInUse_ = 0;
    std::optional<GifMemoryCharge> charge_;
};

}  // namespace torvana::gif
