#include "document/ExportDialogModel.h"

#include "common/MessageTable.h"
#include "common/Text.h"

#include <algorithm>

namespace {

std::string upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// The type an extension names (without its dot, any case), or TypeUnknown.
int typeOfExtension(const std::string& ext)
{
    const std::string e = upper(ext);
    for (std::size_t t = 0; t < ExportDialogModel::EXTENSIONS.size(); ++t)
        if (e == upper(ExportDialogModel::EXTENSIONS[t]))
            return static_cast<int>(t);
    if (e == "JPEG")
        return ExportDialogModel::TypeJpeg;
    if (e == "TIFF")
        return ExportDialogModel::TypeTiff;
    return ExportDialogModel::TypeUnknown;
}

// Where the file name's extension starts (its dot), npos for none: a dot in a
// folder name above it is not one, nor is the dot of a hidden file's name.
std::size_t extensionDot(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = path.rfind('.');
    return dot != std::string::npos && dot > nameStart ? dot : std::string::npos;
}

int typeFromName(const std::string& name)
{
    if (name.size() <= 3)
        return ExportDialogModel::TypeTex;
    const std::string last3 = upper(name.substr(name.size() - 3));
    for (std::size_t t = 0; t < ExportDialogModel::EXTENSIONS.size(); ++t)
        if (last3 == upper(ExportDialogModel::EXTENSIONS[t]))
            return static_cast<int>(t);
    const std::string last4 = upper(name.substr(name.size() - 4));
    if (last4 == "JPEG")
        return ExportDialogModel::TypeJpeg;
    if (last4 == "TIFF")
        return ExportDialogModel::TypeTiff;
    return ExportDialogModel::TypeTex;
}

}  // namespace

std::string ExportDialogModel::title()
{
    return korvix::msg(korvix::MessageId::ExportDialogTitle);
}

std::vector<FileFilter> ExportDialogModel::fileFilters()
{
    using korvix::MessageId;
    static constexpr MessageId DESCRIPTIONS[] = {MessageId::FilterTex,  MessageId::FilterTga,
                                                 MessageId::FilterBmp,  MessageId::FilterTiff,
                                                 MessageId::FilterJpeg, MessageId::FilterPng};
    static_assert(std::size(DESCRIPTIONS) == EXTENSIONS.size());
    std::vector<FileFilter> filters;
    for (std::size_t t = 0; t < EXTENSIONS.size(); ++t) {
        const std::string pattern = std::string("*.") + EXTENSIONS[t];
        filters.push_back({std::string(korvix::msg(DESCRIPTIONS[t])) + " (" + pattern + ")", {pattern}});
    }
    return filters;
}

ExportDialogModel::ExportDialogModel(int maxMaps, int mapsNow, bool hasAlpha, std::string initialName)
    : m_nMaxMaps(std::max(1, maxMaps)), m_nMapsNow(mapsNow), m_bHasAlpha(hasAlpha),
      m_strFileName(std::move(initialName)), m_nFormatChoice(hasAlpha ? Dxt3 : Dxt1)
{
    m_mapRadios[0].checked = true;
    m_mapsFieldState.enabled = false;
    if (!hasAlpha) {
        m_noAlpha = {true, false};
        for (const Format f : {Dxt3, Rgba4444, Rgba8888})
            m_formats[f].enabled = false;
    }
    m_formats[Dxt1].checked = true;
    m_formats[Dxt3].checked = true;
    m_nType = typeFromName(m_strFileName);
    applyTypeRules();
}

void ExportDialogModel::applyAlphaGroups()
{
    const bool off = alphaOff();
    for (const Format f : {Dxt1, Rgb565})
        m_formats[f].enabled = off;
    for (const Format f : {Dxt3, Rgba4444, Rgba8888})
        m_formats[f].enabled = !off;
}

void ExportDialogModel::applyTypeRules()
{
    if (m_nType == TypeTex) {
        for (auto& r : m_mapRadios)
            r.enabled = true;
        m_mapsFieldState.enabled = m_mapRadios[2].checked;
        applyAlphaGroups();
        return;
    }
    for (auto& r : m_mapRadios)
        r.enabled = false;
    m_mapsFieldState.enabled = false;
    m_nMapsField = 1;
    for (auto& f : m_formats)
        f.enabled = false;
}

void ExportDialogModel::readFormatFromRadios()
{
    if (alphaOff())
        m_nFormatChoice = m_formats[Dxt1].checked ? Dxt1 : Rgb565;
    else
        m_nFormatChoice = m_formats[Dxt3].checked ? Dxt3 : m_formats[Rgba4444].checked ? Rgba4444 : Rgba8888;
}

void ExportDialogModel::typeChanged(int type)
{
    m_nType = type;
    applyTypeRules();
    // PNG keeps alpha as TGA does, so it may leave it out too.
    m_noAlpha.enabled = m_bHasAlpha && (type == TypeTex || type == TypeTga || type == TypePng);
    if (type < 0 || type >= static_cast<int>(EXTENSIONS.size()))
        return;
    // The extension is the file name's: a dot in a folder name above it is not one.
    const auto slash = m_strFileName.find_last_of("/\\");
    const auto nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto found = m_strFileName.rfind('.');
    const auto dot = found != std::string::npos && found >= nameStart ? found : std::string::npos;
    if (dot == std::string::npos) {
        m_strFileName += std::string(".") + EXTENSIONS[static_cast<std::size_t>(type)];
        return;
    }
    m_strFileName = m_strFileName.substr(0, dot + 1) + EXTENSIONS[static_cast<std::size_t>(type)];
    readFormatFromRadios();
}

void ExportDialogModel::mapOptionClicked(int option)
{
    if (option < 0 || option > 2)
        return;
    for (std::size_t k = 0; k < m_mapRadios.size(); ++k)
        m_mapRadios[k].checked = static_cast<int>(k) == option;
    switch (option) {
    case 0:
        m_mapsFieldState.enabled = false;
        m_nMapsField = 1;
        break;
    case 1:
        m_mapsFieldState.enabled = false;
        m_nMapsField = m_nMapsNow;
        break;
    default:
        // After "Alles beibehalten" the field may hold more maps than can be
        // generated from the largest map; the field's own range applies.
        m_mapsFieldState.enabled = true;
        m_nMapsField = std::clamp(m_nMapsField, 1, m_nMaxMaps);
        break;
    }
}

void ExportDialogModel::noAlphaClicked(bool checked)
{
    m_noAlpha.checked = checked;
    if (m_nType == TypeTex && m_bHasAlpha)
        applyAlphaGroups();
    readFormatFromRadios();
}

void ExportDialogModel::formatClicked(Format format)
{
    // Radios of one group exclude each other.
    static constexpr bool alphaFormat[5] = {false, true, true, false, true};
    for (int f = 0; f < 5; ++f)
        if (alphaFormat[f] == alphaFormat[format])
            m_formats[static_cast<std::size_t>(f)].checked = f == format;
    m_nFormatChoice = format;
}

void ExportDialogModel::setMapsField(int value)
{
    m_nMapsField = std::clamp(value, 1, m_nMaxMaps);
}

ExportDialogModel::Result ExportDialogModel::result(const std::string& path) const
{
    Result r;
    r.path = path;
    r.fileType = (m_nType >= TypeTex && m_nType <= TypePng) ? m_nType : TypeUnknown;
    r.mapOption = m_mapRadios[2].checked ? 2 : m_mapRadios[1].checked ? 1 : 0;
    r.mapCount = r.mapOption == 2 ? std::clamp(m_nMapsField, 1, m_nMaxMaps) : 1;
    r.noAlpha = alphaOff();
    // The recorded choice, restricted to the group that fits.
    if (r.noAlpha)
        r.formatIndex = m_nFormatChoice == Rgb565 ? Rgb565 : Dxt1;
    else
        r.formatIndex = (m_nFormatChoice == Rgba4444 || m_nFormatChoice == Rgba8888) ? m_nFormatChoice : Dxt3;
    return r;
}

ExportDialogModel::TypedName ExportDialogModel::resolveTypedName(const std::string& path, int chosenType)
{
    const std::size_t dot = extensionDot(path);
    if (dot != std::string::npos) {
        const int named = typeOfExtension(path.substr(dot + 1));
        if (named != TypeUnknown)
            return {path, named};
    }
    if (chosenType < 0 || chosenType >= static_cast<int>(EXTENSIONS.size()))
        return {path, chosenType};
    return {path + "." + EXTENSIONS[static_cast<std::size_t>(chosenType)], chosenType};
}

void ExportDialogModel::acceptTypedName(const std::string& path)
{
    const TypedName typed = resolveTypedName(path, m_nType);
    if (typed.type != m_nType)
        typeChanged(typed.type);
    m_strFileName = typed.path;
}

void ExportDialogModel::recallLastExport(const std::string& folder, int type)
{
    if (type >= 0 && type < static_cast<int>(EXTENSIONS.size()) && type != m_nType)
        typeChanged(type);
    if (folder.empty())
        return;
    const auto slash = m_strFileName.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? m_strFileName : m_strFileName.substr(slash + 1);
    m_strFileName = folder + (folder.ends_with('/') ? "" : "/") + name;
}
