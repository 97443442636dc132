// Every text the program shows to its user, defined once: an id, the German
// text the desktop program shows, and an English text. The document, the
// command line and the tests take their texts from here, never from literals
// of their own.
//
// One process-wide language selects which of the two text() returns: German by
// default (the desktop program); korvix-cli chooses by the locale
// (languageForLocale). Set it once at start-up, before any document exists; the
// choice is read without a lock.
//
// A text with printf conversions (the ...Format ids) is filled in with format().
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace korvix {

enum class Language { German, English };

enum class MessageId {
    // Captions and words.
    CaptionError,
    CaptionImageInfo,
    WordYes,
    WordNo,
    // Opening and loading.
    UnknownFileType,
    NotKtexFormat,
    TextureFormatNotSupported,
    DecodeFailed,
    TextureLoadFailed,
    TextureFileTooSmall,
    OutOfMemory,
    NotTexFormat,
    ImageTooLarge,
    MapTooLarge,
    BitmapTooSmall,
    EntryTextureReadFailed,
    FileReadFailed,
    StatusClipboard,
    UntitledName,
    FilterAllFiles,
    // Export.
    ExportDialogTitle,
    FilterTex,
    FilterTga,
    FilterBmp,
    FilterTiff,
    FilterJpeg,
    OverwriteQuestion,
    UnknownFormat,
    TexSideInvalid,
    FileOpenFailed,
    CompressionFailed,
    FileCreateFailed,
    FileWriteFailed,
    ExportFailed,
    LoadedBytesGone,
    // Volume editing.
    DosDateAfter2107,
    DosDateBefore1980,
    InvalidDate,
    CommentInvalid,
    EntryNameInvalid,
    VolumeReadOnly,
    SizesDiffer,
    ReplaceFailed,
    OnlyImagesReplaceable,
    OnlyImagesReplaceableEnding,
    InvalidFileName,
    DataNotRead,
    TargetSideInvalid,
    FormatNotSupported,
    TextureError,
    TextureFormatNotSupportedHere,
    ResizeFailed,
    ReplaceConfirmFormat,
    TempWriteFailed,
    TempOpenFailed,
    ConversionProblem,
    TempReadFailed,
    // Image operations and the information report.
    NoColourChannel,
    NoColourChannelNoAlpha,
    ColourInverted,
    AlphaInverted,
    RemoveSmallMapsQuestion,
    NothingSelected,
    ColourSharpened,
    ColourBlurred,
    AlphaBlurred,
    SmallestMapFormat,
    ByteCountsFormat,
    ReportFormat,
    // Size dialog titles.
    TitleSelect,
    TitleResize,
    TitleBrightness,
    TitleContrast,
    TitleGamma,
    // The info pane's entry lines and the entry kinds' labels.
    EntryTypeFormat,
    EntrySizeFormat,
    EntryOffsetFormat,
    KindModelSound,
    KindWave,
    KindImage,
    KindQlx,
    KindModel,
    KindFont,
    KindSourceSafe,
    KindUnknown,
    // The desktop program's own message boxes.
    CaptionProgram,
    ColourDepthTooLow,
    ExportDialogUnavailable,
    VolumeDataDialogUnavailable,
    DialogUnavailable,
    FileTreeRenameFailedFormat,
    FileTreeDeleteQuestionFormat,
    FileTreeDeleteFailedFormat,

    Count
};

class MessageTable {
public:
    static void setLanguage(Language language);
    static Language language();
    // German for a locale name whose language is German ("de", "de_DE.UTF-8",
    // "de_AT"), English for any other and for none.
    static Language languageForLocale(std::string_view localeName);

    // The text in the chosen language (UTF-8).
    static const char* text(MessageId id);
    static const char* text(MessageId id, Language language);

    // A ...Format text filled in with printf conversions.
    template <class... Args>
    static std::string format(MessageId id, Args... args)
    {
        const char* pattern = text(id);
        const int n = std::snprintf(nullptr, 0, pattern, args...);
        if (n <= 0)
            return {};
        std::string out(static_cast<std::size_t>(n), '\0');
        std::snprintf(out.data(), out.size() + 1, pattern, args...);
        return out;
    }
};

// Shorthand for the chosen language's text.
inline const char* msg(MessageId id)
{
    return MessageTable::text(id);
}

}  // namespace korvix
