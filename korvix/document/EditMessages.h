// The texts that the image operations, the information report and the
// adjustment dialogs show, each defined once.
#pragma once

namespace editmsg {

inline constexpr const char* NO_COLOUR_CHANNEL = "Kein Farbkanal aktiv.";
inline constexpr const char* NO_CHANNEL_NO_ALPHA = "Kein Farbkanal aktiv und kein Alphakanal vorhanden.";
inline constexpr const char* NO_AREA = "Kein Bereich markiert.";
inline constexpr const char* COLOUR_INVERTED = "Farbe verändert (invertiert).";
inline constexpr const char* ALPHA_INVERTED = "Alphakanal verändert (invertiert).";
inline constexpr const char* COLOUR_SHARPENED = "Farbkanäle verändert (Scharfzeichner).";
inline constexpr const char* COLOUR_BLURRED = "Farbkanäle verändert (Weichzeichner).";
inline constexpr const char* ALPHA_BLURRED = "Alphakanal verändert (Weichzeichner).";
inline constexpr const char* REMOVE_SMALL_MAPS_QUESTION = "Alle kleinen Maps aus der Textur entfernen?";

inline constexpr const char* REPORT_CAPTION = "Bildinformationen";
inline constexpr const char* REPORT_YES = "Ja";
inline constexpr const char* REPORT_NO = "Nein";
inline constexpr const char* REPORT_SMALLEST = "\n\nKleinste Map: %d x %d Pixel   ";
inline constexpr const char* REPORT_SIZES =
    "Bitmapgröße komprimiert: %d Bytes\n\nGröße aller Bitmaps komprimiert: %d Bytes   \n\nTGA %d x %d "
    "unkomprimiert: %d Bytes   \n\n";
inline constexpr const char* REPORT =
    "\nBreite: %d Pixel     \n\nHöhe: %d Pixel     \n\nAlphakanal: %s     \n\n\nMaps: %s  %s\n\n\n%s\n\n";

inline constexpr const char* TITLE_SELECT = "Selektieren";
inline constexpr const char* TITLE_RESIZE = "Größe ändern";
inline constexpr const char* TITLE_BRIGHTNESS = "Helligkeit";
inline constexpr const char* TITLE_CONTRAST = "Kontrast";
inline constexpr const char* TITLE_GAMMA = "Gamma";

}  // namespace editmsg
