#pragma once
// The fixed texts of the GIF reader's, decoder's and compositor's errors and warnings, and of its
// progress, each spelled here once; the code raises and reports them by these names. Texts with
// a number in them are made where they are raised.

namespace torvana::gif {

// The file's structure.
inline constexpr const char* kPrematureEnd = "Premature end of data";
inline constexpr const char* kInvalidSignature = "Invalid GIF signature";
inline constexpr const char* kInvalidTrailer = "Invalid Image trailer";
inline constexpr const char* kInvalidData = "Invalid GIF data";
inline constexpr const char* kUnknownBlockType = "Unknown GIF block type";
inline constexpr const char* kInvalidIntroducer = "Invalid extension introducer";
inline constexpr const char* kExtensionMismatch = "Internal error: Extension Instance does not match Extension Label";
inline constexpr const char* kUnknownExtension = "Unknown extension type";
inline constexpr const char* kApplicationBlockSize = "Unsupported Application Extension block size";

// Sizes and colours.
inline constexpr const char* kExceedsScreen = "Image exceeds Logical Screen size";
inline constexpr const char* kWidthTooSmall = "Image width too small for contained frames";
inline constexpr const char* kHeightTooSmall = "Image height too small for contained frames";
inline constexpr const char* kColorTableOverflow = "Color table overflow";
inline constexpr const char* kColorTableEmpty = "Color table is empty";
inline constexpr const char* kInvalidColorIndex = "Invalid color index";
inline constexpr const char* kNoColorTable = "No global or local color table defined";
inline constexpr const char* kInvalidPixel = "Invalid pixel coordinates";
inline constexpr const char* kImageEmpty = "Image is empty";
inline constexpr const char* kInvalidFrameIndex = "Invalid frame index";

// The LZW decoder.
inline constexpr const char* kInvalidCodeSize = "Invalid LZW minimum code size";
inline constexpr const char* kBitBufferUnderrun = "Decoder bit buffer under-run";
inline constexpr const char* kCircularEntry = "Circular decoder table entry";

// A picture that would not fit in the memory left to pictures (the players and the editor say
// this for every kind of picture they draw).
inline constexpr const char* kNotEnoughMemory = "not enough memory for the picture";

// Progress while a picture loads.
inline constexpr const char* kLoading = "Loading...";

}  // namespace torvana::gif
