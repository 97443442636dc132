#include "common/MessageTable.h"

#include <array>
#include <atomic>
#include <cstddef>

namespace korvix {

namespace {

struct Entry {
    MessageId id;
    const char* german;
    const char* english;
};

// In the order of MessageId; a static_assert below keeps the two in step.
constexpr Entry TABLE[] = {
    {MessageId::CaptionError, "Fehler", "Error"},
    {MessageId::CaptionImageInfo, "Bildinformationen", "Image information"},
    {MessageId::WordYes, "Ja", "Yes"},
    {MessageId::WordNo, "Nein", "No"},

    {MessageId::UnknownFileType, "Dateityp unbekannt, bitte Extension ('.tex', '.bmp' etc.) verwenden.",
     "Unknown file type; please use an extension ('.tex', '.bmp' etc.)."},
    {MessageId::NotKtexFormat, "Kein KTEX-Format", "Not a KTEX texture"},
    {MessageId::TextureFormatNotSupported, "Texturformat nicht unterstützt", "Texture format not supported"},
    {MessageId::DecodeFailed, "Fehler beim Decodieren aufgetreten.", "An error occurred while decoding."},
    {MessageId::TextureLoadFailed, "Fehler beim Laden der Textur.", "Error loading the texture."},
    {MessageId::TextureFileTooSmall, "Datei zu klein für die kleinstmögliche\nTextur im TEX-Format.",
     "File too small for the smallest possible\ntexture in TEX format."},
    {MessageId::OutOfMemory, "Zu wenig freier Speicher.", "Not enough free memory."},
    {MessageId::NotTexFormat, "Fehler beim Laden der Textur (wahrscheinlich kein TEX-Format).",
     "Error loading the texture (probably not in TEX format)."},
    {MessageId::ImageTooLarge, "Es werden nur Texturen mit einer Kantenlänge von\nmaximal 2048 Pixeln unterstützt.",
     "Only textures with sides of at most\n2048 pixels are supported."},
    {MessageId::MapTooLarge, "Map zu groß (max. Kantenlänge 2048 Pixel).", "Map too large (sides of at most 2048 pixels)."},
    {MessageId::BitmapTooSmall, "Bitmap zu klein", "Bitmap too small"},
    {MessageId::EntryTextureReadFailed, "Fehler beim Lesen der Textur.", "Error reading the texture."},
    {MessageId::FileReadFailed, "Fehler beim Lesen der Datei.", "Error reading the file."},
    {MessageId::StatusClipboard, " Daten aus der Zwischenablage", " Data from the clipboard"},
    {MessageId::UntitledName, "unbenannt.tex", "untitled.tex"},
    {MessageId::FilterAllFiles, "Alle Dateien", "All files"},

    {MessageId::ExportDialogTitle, "Textur exportieren", "Export texture"},
    {MessageId::FilterTex, "TEX - Tarvos Texturformat", "TEX - Tarvos texture format"},
    {MessageId::FilterTga, "TGA - Truevision Targa", "TGA - Truevision Targa"},
    {MessageId::FilterBmp, "BMP - Windows Bitmap", "BMP - Windows Bitmap"},
    {MessageId::FilterTiff, "TIFF - Tagged Image File Format", "TIFF - Tagged Image File Format"},
    {MessageId::FilterJpeg, "JPEG - Joint Photographic Expert Group", "JPEG - Joint Photographic Experts Group"},
    {MessageId::OverwriteQuestion, "Datei existiert bereits. Überschreiben? ", "The file already exists. Overwrite it? "},
    {MessageId::UnknownFormat, "Unbekanntes Format.", "Unknown format."},
    {MessageId::TexSideInvalid,
     "Bitte Textur vor dem TEX-Export ändern:\nKantenlänge ist kleiner 4 oder nicht 2^n (4, 8, 16, 32, ... "
     "2048),\ndaher wäre die Textur für Tarvos nicht verwendbar.",
     "Please change the texture before the TEX export:\na side is smaller than 4 or not 2^n (4, 8, 16, 32, ... "
     "2048),\nso Tarvos could not use the texture."},
    {MessageId::FileOpenFailed, "Fehler beim Öffnen der Datei.", "Error opening the file."},
    {MessageId::CompressionFailed, "Kompression fehlgeschlagen.", "Compression failed."},
    {MessageId::FileCreateFailed, "Fehler beim Erzeugen der Datei.", "Error creating the file."},
    {MessageId::FileWriteFailed, "Fehler beim Schreiben der Datei.", "Error writing the file."},
    {MessageId::ExportFailed, "Fehler beim Exportieren aufgetreten.", "An error occurred while exporting."},
    {MessageId::LoadedBytesGone,
     "Die Textur kann nicht wie geladen geschrieben werden: ihr Volume wurde inzwischen neu geöffnet.\nEs wurde "
     "nichts geschrieben.",
     "The texture cannot be written as loaded: its volume has been opened again since.\nNothing was written."},

    {MessageId::DosDateAfter2107, "DOS-Datum bis max. 31.12.2107", "DOS dates go up to 31.12.2107"},
    {MessageId::DosDateBefore1980, "DOS-Datum ab min. 01.01.1980", "DOS dates start at 01.01.1980"},
    {MessageId::InvalidDate, "Ungültiges Datum.", "Invalid date."},
    {MessageId::CommentInvalid, "Der Kommentar darf höchstens 256 Zeichen aus dem Zeichensatz ISO-8859-1 enthalten.",
     "The comment may hold at most 256 characters of the ISO-8859-1 character set."},
    {MessageId::EntryNameInvalid, "Der Name muss 1 bis 64 Zeichen aus dem Zeichensatz ISO-8859-1 haben.",
     "The name must have 1 to 64 characters of the ISO-8859-1 character set."},
    {MessageId::VolumeReadOnly, "Das Volume ist nur zum Lesen geöffnet und kann nicht geändert werden.",
     "The volume is open for reading only and cannot be changed."},
    {MessageId::SizesDiffer, "Größen stimmen nicht überein", "The sizes do not match"},
    {MessageId::ReplaceFailed, "Fehler beim Ersetzen der Daten aufgetreten.", "An error occurred while replacing the data."},
    {MessageId::OnlyImagesReplaceable, "Nur Bilder (TGA und TEX) können in der aktuellen Version von Korvix ersetzt werden.",
     "Only images (TGA and TEX) can be replaced in this version of Korvix."},
    {MessageId::OnlyImagesReplaceableEnding, "Nur Bilder (TGA und TEX) können in der aktuellen Version von Korvix ersetzt werden",
     "Only images (TGA and TEX) can be replaced in this version of Korvix"},
    {MessageId::InvalidFileName, "Ungültiger Dateiname.", "Invalid file name."},
    {MessageId::DataNotRead, "Daten konnten nicht gelesen werden.", "The data could not be read."},
    {MessageId::TargetSideInvalid, "Zielkantenlänge 1 bis 2048 Pixel.", "Target sides must be 1 to 2048 pixels."},
    {MessageId::FormatNotSupported, "Format nicht unterstützt.", "Format not supported."},
    {MessageId::TextureError, "Texturfehler.", "Texture error."},
    {MessageId::TextureFormatNotSupportedHere, "Texturformat in dieser Version von Korvix nicht unterstützt.",
     "Texture format not supported in this version of Korvix."},
    {MessageId::ResizeFailed, "Fehler bei der Größenanpassung aufgetreten.", "An error occurred while resizing."},
    {MessageId::ReplaceConfirmFormat,
     "Quell-Textur\n\nBreite: %d Pixel\nHöhe: %d Pixel\nMaps: %d\n\nZiel-Textur\n\nBreite: %d Pixel\nHöhe: %d "
     "Pixel        \nMaps: %d   \n\n",
     "Source texture\n\nWidth: %d pixels\nHeight: %d pixels\nMaps: %d\n\nTarget texture\n\nWidth: %d pixels\nHeight: "
     "%d pixels        \nMaps: %d   \n\n"},
    {MessageId::TempWriteFailed, "Fehler beim Schreiben einer temporären Datei.", "Error writing a temporary file."},
    {MessageId::TempOpenFailed, "Fehler beim Öffnen einer temporären Datei.", "Error opening a temporary file."},
    {MessageId::ConversionProblem, "Konvertierungsproblem.", "Conversion problem."},
    {MessageId::TempReadFailed, "Fehler beim Lesen einer temporären Datei.", "Error reading a temporary file."},

    {MessageId::NoColourChannel, "Kein Farbkanal aktiv.", "No colour channel active."},
    {MessageId::NoColourChannelNoAlpha, "Kein Farbkanal aktiv und kein Alphakanal vorhanden.",
     "No colour channel active and no alpha channel present."},
    {MessageId::ColourInverted, "Farbe verändert (invertiert).", "Colour changed (inverted)."},
    {MessageId::AlphaInverted, "Alphakanal verändert (invertiert).", "Alpha channel changed (inverted)."},
    {MessageId::RemoveSmallMapsQuestion, "Alle kleinen Maps aus der Textur entfernen?",
     "Remove all small maps from the texture?"},
    {MessageId::NothingSelected, "Kein Bereich markiert.", "No area selected."},
    {MessageId::ColourSharpened, "Farbkanäle verändert (Scharfzeichner).", "Colour channels changed (sharpen)."},
    {MessageId::ColourBlurred, "Farbkanäle verändert (Weichzeichner).", "Colour channels changed (blur)."},
    {MessageId::AlphaBlurred, "Alphakanal verändert (Weichzeichner).", "Alpha channel changed (blur)."},
    {MessageId::SmallestMapFormat, "\n\nKleinste Map: %d x %d Pixel   ", "\n\nSmallest map: %d x %d pixels   "},
    {MessageId::ByteCountsFormat,
     "Bitmapgröße komprimiert: %d Bytes\n\nGröße aller Bitmaps komprimiert: %d Bytes   \n\nTGA %d x %d "
     "unkomprimiert: %d Bytes   \n\n",
     "Bitmap size compressed: %d bytes\n\nSize of all bitmaps compressed: %d bytes   \n\nTGA %d x %d "
     "uncompressed: %d bytes   \n\n"},
    {MessageId::ReportFormat,
     "\nBreite: %d Pixel     \n\nHöhe: %d Pixel     \n\nAlphakanal: %s     \n\n\nMaps: %s  %s\n\n\n%s\n\n",
     "\nWidth: %d pixels     \n\nHeight: %d pixels     \n\nAlpha channel: %s     \n\n\nMaps: %s  %s\n\n\n%s\n\n"},

    {MessageId::TitleSelect, "Selektieren", "Select"},
    {MessageId::TitleResize, "Größe ändern", "Resize"},
    {MessageId::TitleBrightness, "Helligkeit", "Brightness"},
    {MessageId::TitleContrast, "Kontrast", "Contrast"},
    {MessageId::TitleGamma, "Gamma", "Gamma"},

    {MessageId::EntryTypeFormat, "G-Type: %s", "Type: %s"},
    {MessageId::EntrySizeFormat, "Größe: %u Bytes", "Size: %u bytes"},
    {MessageId::EntryOffsetFormat, "File-Offset: %u", "File offset: %u"},
    {MessageId::KindModelSound, "3D-Daten", "3D data"},
    {MessageId::KindWave, "Sound/Sprachsample", "Sound/speech sample"},
    {MessageId::KindImage, "Textur", "Texture"},
    {MessageId::KindQlx, "Vorakis Archive", "Vorakis archive"},
    {MessageId::KindModel, "Animationsdaten", "Animation data"},
    {MessageId::KindFont, "Schriftart", "Font"},
    {MessageId::KindSourceSafe, "Visual SourceSafe File", "Visual SourceSafe file"},
    {MessageId::KindUnknown, "Unbekannt", "Unknown"},

    {MessageId::CaptionProgram, "Korvix", "Korvix"},
    {MessageId::ColourDepthTooLow, "Mindestens 16Bit-Farbmodus notwendig.", "At least 16-bit colour mode is required."},
    {MessageId::ExportDialogUnavailable, "Der Export-Dialog ist in dieser Version nicht verfügbar.",
     "The export dialog is not available in this version."},
    {MessageId::VolumeDataDialogUnavailable, "Der Dialog für globale QORB-Daten ist in dieser Version nicht verfügbar.",
     "The dialog for global QORB data is not available in this version."},
    {MessageId::DialogUnavailable, "Der Dialog ist in dieser Version nicht verfügbar.",
     "The dialog is not available in this version."},
    {MessageId::FileTreeRenameFailedFormat, "„%s“ konnte nicht in „%s“ umbenannt werden.",
     "\"%s\" could not be renamed to \"%s\"."},
    {MessageId::FileTreeDeleteQuestionFormat, "„%s“ endgültig löschen?", "Delete \"%s\" permanently?"},
    {MessageId::FileTreeDeleteFailedFormat, "„%s“ konnte nicht gelöscht werden.", "\"%s\" could not be deleted."},
};

static_assert(std::size(TABLE) == static_cast<std::size_t>(MessageId::Count), "one entry per message id");

constexpr bool inIdOrder()
{
    for (std::size_t i = 0; i < std::size(TABLE); ++i)
        if (static_cast<std::size_t>(TABLE[i].id) != i)
            return false;
    return true;
}
static_assert(inIdOrder(), "the table lists the ids in their order");

std::atomic<Language> s_language{Language::German};

}  // namespace

void MessageTable::setLanguage(Language language)
{
    s_language.store(language, std::memory_order_relaxed);
}

Language MessageTable::language()
{
    return s_language.load(std::memory_order_relaxed);
}

Language MessageTable::languageForLocale(std::string_view localeName)
{
    const bool german = localeName.size() >= 2 && (localeName[0] == 'd' || localeName[0] == 'D')
                        && (localeName[1] == 'e' || localeName[1] == 'E')
                        && (localeName.size() == 2 || localeName[2] == '_' || localeName[2] == '.'
                            || localeName[2] == '@' || localeName[2] == '-');
    return german ? Language::German : Language::English;
}

const char* MessageTable::text(MessageId id, Language language)
{
    const auto i = static_cast<std::size_t>(id);
    if (i >= std::size(TABLE))
        return "";
    return language == Language::German ? TABLE[i].german : TABLE[i].english;
}

const char* MessageTable::text(MessageId id)
{
    return text(id, language());
}

}  // namespace korvix
