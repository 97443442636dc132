// The rules of the export dialog, without the dialog: the shell (or a test)
// forwards the panel's events here and draws the controls from the state.
#pragma once

#include "document/DocumentHost.h"

#include <array>
#include <string>
#include <vector>

class ExportDialogModel {
public:
    enum FileType { TypeUnknown = -1, TypeTex = 0, TypeTga = 1, TypeBmp = 2, TypeTiff = 3, TypeJpeg = 4, TypePng = 5 };
    // Format radios, in writer index order: 0 DXT1, 1 DXT3, 2 RGBA 4444, 3 RGB 565, 4 RGBA 8888.
    enum Format { Dxt1 = 0, Dxt3 = 1, Rgba4444 = 2, Rgb565 = 3, Rgba8888 = 4 };

    static constexpr std::array<const char*, 6> EXTENSIONS = {"tex", "tga", "bmp", "tif", "jpg", "png"};
    // The dialog's title and its type list, in file-type order, in the chosen language.
    static std::string title();
    static std::vector<FileFilter> fileFilters();

    struct Control {
        bool checked = false;
        bool enabled = true;
    };

    // The start state for a texture with `mapsNow` maps, at most `maxMaps`
    // possible, with or without alpha, proposed under `initialName`.
    ExportDialogModel(int maxMaps, int mapsNow, bool hasAlpha, std::string initialName);

    // Events of the panel.
    void typeChanged(int type);
    void mapOptionClicked(int option);  // 0 "Nur größte Map", 1 "Alles beibehalten", 2 "Maps generieren"
    void noAlphaClicked(bool checked);
    void formatClicked(Format format);
    void setMapsField(int value);       // clamped to 1 ... maxMaps
    // The name in the dialog's file-name box; the host sets the full chosen path
    // here before it closes the dialog with "Exportieren".
    void setFileName(std::string name) { m_strFileName = std::move(name); }

    // The rule for a typed name, so that a file's bytes always match its
    // extension: an extension naming a listed type (".tga", ".png", also
    // ".jpeg" and ".tiff", in any case) chooses that type; a name without
    // one keeps the chosen type and gets its extension appended.
    struct TypedName {
        std::string path;
        int type;
        friend bool operator==(const TypedName&, const TypedName&) = default;
    };
    static TypedName resolveTypedName(const std::string& path, int chosenType);
    // The folder and type the last export used, as the desktop program keeps
    // them: the dialog starts in that folder (the proposed name's folder
    // gives way; an empty folder changes nothing) and with that type, whose
    // extension the name then takes. An unknown type changes nothing.
    void recallLastExport(const std::string& folder, int type);
    // "Exportieren" with the full path typed: the type and the file name
    // follow resolveTypedName, the type's rules with them.
    void acceptTypedName(const std::string& path);

    // State for drawing.
    int fileType() const { return m_nType; }
    const std::string& fileName() const { return m_strFileName; }
    const Control& mapRadio(int option) const { return m_mapRadios[static_cast<std::size_t>(option)]; }
    const Control& mapsField() const { return m_mapsFieldState; }
    int mapsFieldValue() const { return m_nMapsField; }
    int maxMaps() const { return m_nMaxMaps; }
    const Control& noAlpha() const { return m_noAlpha; }
    const Control& formatRadio(Format f) const { return m_formats[static_cast<std::size_t>(f)]; }
    int recordedFormat() const { return m_nFormatChoice; }

    // The results when "Exportieren" is pressed.
    struct Result {
        std::string path;
        int fileType;
        int mapOption;
        int mapCount;
        bool noAlpha;
        int formatIndex;
    };
    Result result(const std::string& path) const;

private:
    void applyTypeRules();
    void applyAlphaGroups();
    void readFormatFromRadios();
    bool alphaOff() const { return !m_bHasAlpha || m_noAlpha.checked; }

    int m_nMaxMaps;
    int m_nMapsNow;
    bool m_bHasAlpha;
    std::string m_strFileName;
    int m_nType = TypeTex;
    std::array<Control, 3> m_mapRadios;
    Control m_mapsFieldState;
    int m_nMapsField = 1;
    Control m_noAlpha;
    std::array<Control, 5> m_formats;
    int m_nFormatChoice;
};
