#include "gif/gif_image.h"

#include <algorithm>
#include <cstring>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

#include "gif/gif_messages.h"

namespace torvana::gif {

bool renderOnLoad = false;

const char* GifVersionText(GifVersion version) {
    switch (version) {
        case version87a: return "87a";
        case version89a: return "89a";
        default: return "";
    }
}

// ---------------------------------------------------------------------------------------------
// Colour tables

void GifColorMap::EnsureCapacity(int n) {
    if (n < tripleCapacity) return;
    int capacity = n <= 16 ? 16 : (n + 31) / 32 * 32;
    capacity = std::min(capacity, maxEntries);
    if (capacity == tripleCapacity) return;
    // Entries past the count are written before they are read (Add, ReadTriples).
    auto buffer = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(capacity) * 3);
    if (tripleCount > 0) std::memcpy(buffer.get(), rgbTriples.get(), static_cast<size_t>(tripleCount) * 3);
    rgbTriples = std::move(buffer);
    tripleCapacity = capacity;
}

void GifColorMap::Clear() {
    rgbTriples.reset();
    tripleCount = 0;
    tripleCapacity = 0;
    sortedFlag = false;
}

int GifColorMap::Add(uint8_t red, uint8_t green, uint8_t blue) {
    if (tripleCount >= maxEntries) throw GifError(kColorTableOverflow);
    EnsureCapacity(tripleCount + 1);
    uint8_t* e = rgbTriples.get() + 3 * tripleCount;
    e[0] = red;
    e[1] = green;
    e[2] = blue;
    return tripleCount++;
}

void GifColorMap::CopyFrom(const GifColorMap& other) {
    if (&other == this) return;
    Clear();
    if (other.tripleCount > 0) {
        EnsureCapacity(other.tripleCount);
        std::memcpy(rgbTriples.get(), other.rgbTriples.get(), static_cast<size_t>(other.tripleCount) * 3);
    }
    tripleCount = other.tripleCount;
    sortedFlag = other.sortedFlag;
}

uint32_t GifColorMap::ColorOf(int index) {
    if (index < 0 || index >= tripleCount) {
        ReportWarning(gifWarningSeverity, kInvalidColorIndex);
        if (tripleCount == 0) throw GifError(kColorTableEmpty);
        index = 0;
    }
    const uint8_t* e = Entry(index);
    return uint32_t(e[0]) | (uint32_t(e[1]) << 8) | (uint32_t(e[2]) << 16);
}

void GifGlobalColorMap::ReportWarning(int severity, const std::string& message) {
    if (header && header->ownerImage) header->ownerImage->Warning(this, severity, message);
}

void GifLocalColorMap::ReportWarning(int severity, const std::string& message) {
    if (frame && frame->ownerImage) frame->ownerImage->Warning(this, severity, message);
}

// ---------------------------------------------------------------------------------------------
// Items

void GifItem::ReportWarning(int severity, const std::string& message) {
    if (ownerImage) ownerImage->Warning(this, severity, message);
}

void GifItem::LoadFromFile(const std::string& path) {
    GifFileStream stream(path);
    LoadFromStream(stream);
}

void GifHeader::Clear() {
    screenWidth = 0;
    screenHeight = 0;
    screenFlags = 0;
    backgroundIndex = 0;
    aspectByte = 0;
    globalColors.Clear();
}

void GifHeader::Assign(const GifHeader& other) {
    if (&other == this) return;
    globalColors.CopyFrom(other.globalColors);
    screenWidth = other.screenWidth;
    screenHeight = other.screenHeight;
    screenFlags = other.screenFlags;
    backgroundIndex = other.backgroundIndex;
    aspectByte = other.aspectByte;
}

GifVersion GifHeader::RequiredVersion() const {
    return globalColors.sortedFlag || aspectByte != 0 ? version89a : version87a;
}

// ---------------------------------------------------------------------------------------------
// Extensions

GifExtension::GifExtension(GifFrame* owner)
    : GifItem(owner ? owner->ownerImage : nullptr), ownerFrame(owner) {}

GifGraphicControlExtension::GifGraphicControlExtension(GifFrame* owner) : GifExtension(owner) {
    if (ownerFrame && !ownerFrame->controlBlock) ownerFrame->controlBlock = this;
}

GifGraphicControlExtension::~GifGraphicControlExtension() {
    if (!ownerFrame) return;
    if (TransparencyOn()) ownerFrame->hasTransparency = false;
    if (ownerFrame->controlBlock == this) ownerFrame->controlBlock = nullptr;
}

void GifGraphicControlExtension::SetTransparentIndex(int value) {
    const int count = ownerFrame ? ownerFrame->ActiveColors().tripleCount : 0;
    if (count > 0 && (value < 0 || value >= count)) {
        ReportWarning(gifWarningSeverity, kInvalidColorIndex);
        value = 0;
    }
    transparentIndex = static_cast<uint8_t>(value);
}

GifLoopExtension::GifLoopExtension(GifFrame* owner) : GifApplicationExtension(owner) {
    std::memcpy(appIdentifier.data(), "NETSCAPE", 8);
    std::memcpy(appAuthCode.data(), "2.0", 3);
}

namespace {

template <class T>
std::unique_ptr<GifExtension> make(GifFrame* owner) {
    return std::make_unique<T>(owner);
}

const GifExtensionClass* refineToSelf(const GifExtensionClass* self, GifStream&) { return self; }

// Application extensions are told apart by their block: size 10 is held raw; size 11 is looked
// up by its identifier and code. Every other size is also held raw: below 10 its own read
// refuses it, above 11 the surplus bytes are skipped and the sub-blocks kept.
const GifExtensionClass* refineApplication(const GifExtensionClass* self, GifStream& stream) {
    if (self != &GifApplicationExtension::kind) return self;
    const int size = stream.ReadByte();
    if (size < 0) return nullptr;
    uint8_t id[11];
    if (size == 10) return stream.Read(id, 10) == 10 ? &GifUnknownAppExtension::kind : nullptr;
    if (size == 11 && stream.Read(id, 11) == 11) {
        const GifExtensionClass* found = FindAppExtensionClass(id);
        return found ? found : &GifUnknownAppExtension::kind;
    }
    return &GifUnknownAppExtension::kind;
}

}  // namespace

const GifExtensionClass GifGraphicControlExtension::kind{"GifGraphicControlExtension", 0xF9,
                                                         &make<GifGraphicControlExtension>, &refineToSelf};
const GifExtensionClass GifTextExtension::kind{"GifTextExtension", 0x01, &make<GifTextExtension>,
                                               &refineToSelf};
const GifExtensionClass GifCommentExtension::kind{"GifCommentExtension", 0xFE, &make<GifCommentExtension>,
                                                  &refineToSelf};
const GifExtensionClass GifApplicationExtension::kind{"GifApplicationExtension", 0xFF, nullptr,
                                                      &refineApplication};
const GifExtensionClass GifUnknownAppExtension::kind{"GifUnknownAppExtension", 0xFF,
                                                     &make<GifUnknownAppExtension>, &refineToSelf};
const GifExtensionClass GifLoopExtension::kind{"GifLoopExtension", 0xFF, &make<GifLoopExtension>,
                                               &refineToSelf};

std::vector<ExtensionRegistryRow>& ExtensionRegistry() {
    static std::vector<ExtensionRegistryRow> rows{
        {0x01, &GifTextExtension::kind},
        {0xF9, &GifGraphicControlExtension::kind},
        {0xFE, &GifCommentExtension::kind},
        {0xFF, &GifApplicationExtension::kind},
    };
    return rows;
}

std::vector<AppExtensionRegistryRow>& AppExtensionRegistry() {
    auto id = [](const char* text) {
        std::array<uint8_t, 11> a{};
        std::memcpy(a.data(), text, 11);
        return a;
    };
    static std::vector<AppExtensionRegistryRow> rows{
        {id("NETSCAPE2.0"), &GifLoopExtension::kind},
        {id("ANIMEXTS1.0"), &GifLoopExtension::kind},
    };
    return rows;
}

const GifExtensionClass* FindExtensionClass(uint8_t label) {
    const auto& rows = ExtensionRegistry();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        if (it->label == label) return it->kind;
    return nullptr;
}

const GifExtensionClass* FindAppExtensionClass(const uint8_t identifier[11]) {
    const auto& rows = AppExtensionRegistry();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        if (std::memcmp(it->identifier.data(), identifier, 11) == 0) return it->kind;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Lists

void GifExtensionList::ReportWarning(int severity, const std::string& message) {
    if (ownerImage) ownerImage->Warning(this, severity, message);
}

void GifFrameList::ReportWarning(int severity, const std::string& message) {
    if (ownerImage) ownerImage->Warning(this, severity, message);
}

void GifFrameList::Clear() {
    // Frames go last to first, as a list frees its items.
    while (!items.empty()) items.pop_back();
}

void GifFrameList::Delete(size_t index) {
    if (index < items.size()) items.erase(items.begin() + static_cast<ptrdiff_t>(index));
}

// ---------------------------------------------------------------------------------------------
// Frames

GifFrame::GifFrame(GifImage* owner) : GifItem(owner), localColors(this), extensionItems(owner) {}

GifFrame::~GifFrame() {
    // Extensions unlink themselves from this frame, so they go while its fields still exist.
    extensionItems.Clear();
}

GifColorMap& GifFrame::ActiveColors() {
    if (localColors.tripleCount > 0) return localColors;
    if (ownerImage && ownerImage->header->globalColors.tripleCount > 0) return ownerImage->header->globalColors;
    return localColors;
}

bool GifFrame::IsEmptyFrame() const {
    return pixels.empty() || pixelCount <= 0 || frameWidth == 0 || frameHeight == 0;
}

bool GifIndices::operator==(const std::vector<uint8_t>& other) const {
    return size_ == other.size() && (size_ == 0 || std::memcmp(data_, other.data(), size_) == 0);
}

void GifIndices::clear() {
    own_.reset();
    data_ = nullptr;
    size_ = 0;
}

void GifIndices::Allocate(size_t count) {
    clear();
    if (count == 0) return;
    own_ = std::make_unique_for_overwrite<uint8_t[]>(count);
    data_ = own_.get();
    size_ = count;
}

void GifIndices::assign(size_t count, uint8_t value) {
    Allocate(count);
    if (count > 0) std::memset(data_, value, count);
}

void GifIndices::Place(uint8_t* memory, size_t count) {
    clear();
    data_ = count > 0 ? memory : nullptr;
    size_ = count;
}

void GifFrame::AllocatePixels() {
    renderCache.reset();
    pixels.clear();
    pixelCount = int64_t(frameWidth) * frameHeight;
    if (pixelCount > 0) pixels.assign(static_cast<size_t>(pixelCount), 0);
}

void GifFrame::SetBounds(uint16_t left, uint16_t top, uint16_t width, uint16_t height) {
    frameLeft = left;
    frameTop = top;
    frameWidth = width;
    frameHeight = height;
    AllocatePixels();
    if (!ownerImage) return;
    GifHeader& h = *ownerImage->header;
    const int right = left + width;
    const int bottom = top + height;
    bool grew = false;
    if (right > h.screenWidth) {
        if (h.screenWidth > 0) ReportWarning(gifWarningSeverity, kWidthTooSmall);
        grew = grew || h.screenWidth > 0;
        h.screenWidth = static_cast<uint16_t>(std::min(right, 0xFFFF));
    }
    if (bottom > h.screenHeight) {
        if (h.screenHeight > 0) ReportWarning(gifWarningSeverity, kHeightTooSmall);
        grew = grew || h.screenHeight > 0;
        h.screenHeight = static_cast<uint16_t>(std::min(bottom, 0xFFFF));
    }
    if (grew) ReportWarning(gifWarningSeverity, kExceedsScreen);
}

uint8_t GifFrame::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= frameWidth || y >= frameHeight || pixels.empty())
        throw GifError(kInvalidPixel);
    return pixels[static_cast<size_t>(y) * frameWidth + static_cast<size_t>(x)];
}

const uint8_t* GifFrame::Row(int y) const {
    if (frameWidth == 0 || frameHeight == 0 || pixels.empty()) throw GifError(kImageEmpty);
    if (y < 0 || y >= frameHeight) throw GifError(kInvalidPixel);
    return pixels.data() + static_cast<size_t>(y) * frameWidth;
}

GifVersion GifFrame::RequiredVersion() const {
    return localColors.sortedFlag || extensionItems.Count() > 0 ? version89a : version87a;
}

void GifFrame::Reset() {
    renderCache.reset();
    extensionItems.Clear();
    localColors.Clear();
    pixels.clear();
    pixelCount = 0;
    frameWidth = 0;
    frameHeight = 0;
    hasTransparency = false;
    controlBlock = nullptr;
}

// ---------------------------------------------------------------------------------------------
// The picture

GifImage::GifImage() : header(std::make_unique<GifHeader>(this)), frames(this) {}

GifImage::~GifImage() {
    frames.Clear();
    FreeStore();
}

GifVersion GifImage::Version() const {
    GifVersion v = versionNone;
    for (const auto& f : frames.items) v = std::max(v, f->RequiredVersion());
    return v;
}

void GifImage::Clear() {
    if (OnClearing) OnClearing();
    frames.Clear();
    header->Clear();
    pixelsInUse_ = 0;
    charge_.reset();
    frameBuffer_.reset();
    frameBufferSize_ = 0;
    framePixels_ = 0;
    FreeStore();
}

void GifImage::Warning(GifObject* sender, int severity, const std::string& message) {
    if (OnGIFWarning) OnGIFWarning(sender, severity, message);
}

void GifImage::Progress(GifObject* sender, GifProgressStage stage, int percent, bool redrawNow,
                        const char* message) {
    if (OnProgress) OnProgress(sender, stage, percent, redrawNow, GifRect{}, message);
}

namespace {

std::string sizeText(int64_t bytes) {
    const int64_t mib = bytes >> 20;
    return (mib >= 1024 && mib % 1024 == 0) ? std::to_string(mib / 1024) + " GiB"
           : mib > 0                         ? std::to_string(mib) + " MiB"
                                             : std::to_string(bytes) + " bytes";
}

}  // namespace

GifMemoryBudget& GifMemoryBudget::Program() {
    static GifMemoryBudget program(programLimit);
    return program;
}

void GifMemoryBudget::Take(int64_t bytes) {
    int64_t used = inUse_.load();
    do {
        if (bytes > limit_ - used)
            throw GifError("Not enough memory for the picture: the pictures open would need more than " +
                           sizeText(limit_));
    } while (!inUse_.compare_exchange_weak(used, used + bytes));
}

void GifImage::ReservePixels(int64_t count) {
    if (count > pixelBudget - pixelsInUse_)
        throw GifError("Image too large: its frames need more than " + sizeText(pixelBudget) + " of pixels");
    if (!charge_ || charge_->Bytes() == 0) charge_.emplace(budget);
    charge_->Add(count);
    pixelsInUse_ += count;
}

void GifImage::ReserveFramePixels(int64_t count) {
    if (keepFramePixels) {
        ReservePixels(count);
    } else if (count > frameBufferSize_) {
        ReservePixels(count - frameBufferSize_);
        frameBuffer_.reset();
        frameBufferSize_ = count;
    }
}

uint8_t* GifImage::FramePixels(int64_t count) {
    if (!keepFramePixels) {
        if (!frameBuffer_ && frameBufferSize_ > 0)
            frameBuffer_ = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(frameBufferSize_));
        return frameBuffer_.get();
    }
    if (count <= 0) return nullptr;
    framePixels_ += count;
    if (store_.empty() && framePixels_ <= pixelStoreThreshold) return nullptr;
    if (!store_.empty() && store_.back().size - store_.back().used >= count) {
        StoreChunk& chunk = store_.back();
        chunk.used += count;
        return chunk.memory + (chunk.used - count);
    }
    // The frame's bytes are already counted in pixelsInUse_.
    const int64_t size = std::max(count, std::min(pixelStoreChunk, pixelBudget - pixelsInUse_ + count));
    store_.reserve(store_.size() + 1);
#ifdef __linux__
    void* memory = mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) throw std::bad_alloc();
    madvise(memory, static_cast<size_t>(size), MADV_HUGEPAGE);  // a hint; without it, small pages
#else
    void* memory = new uint8_t[static_cast<size_t>(size)]();
#endif
    store_.push_back({static_cast<uint8_t*>(memory), size, count});
    return store_.back().memory;
}

void GifImage::FreeStore() {
    for (const StoreChunk& chunk : store_) {
#ifdef __linux__
        munmap(chunk.memory, static_cast<size_t>(chunk.size));
#else
        delete[] chunk.memory;
#endif
    }
    store_.clear();
}

void GifImage::LoadFromFile(const std::string& path) {
    GifFileStream stream(path);
    LoadFromStream(stream);
}

}  // namespace torvana::gif
