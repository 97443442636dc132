#include "document/EntryColumns.h"

#include "document/EntryReadout.h"

namespace entrycolumns {

using korvix::MessageId;
using korvix::MessageTable;

korvix::MessageId title(Column column)
{
    switch (column) {
    case SIZE: return MessageId::BrowserColumnSize;
    case TYPE: return MessageId::BrowserColumnType;
    case FORMAT: return MessageId::BrowserColumnFormat;
    case DIMENSIONS: return MessageId::BrowserColumnDimensions;
    case MAPS: return MessageId::BrowserColumnMaps;
    default: return MessageId::BrowserColumnName;
    }
}

korvix::NumberStyle numberStyle()
{
    return MessageTable::language() == korvix::Language::German ? korvix::NumberStyle::German
                                                                  : korvix::NumberStyle::English;
}

std::string sizeText(std::uint32_t size)
{
    return korvix::countText(size, numberStyle());
}

std::string typeText(const EntryRecord& record)
{
    if (record.kind != KIND_OTHER)
        return EntryReadout::kindLabel(record.kind);
    const std::string_view name = record.name.view();
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot + 1 == name.size())
        return korvix::msg(MessageId::BrowserTypeFile);
    std::string extension(name.substr(dot + 1));
    for (char& c : extension)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return MessageTable::format(MessageId::BrowserTypeOfExtensionFormat, korvix::latin1ToUtf8(extension).c_str());
}

std::string formatText(const EntryFacts& facts)
{
    switch (facts.type) {
    case EntryFacts::Type::Texture:
        return std::string(texture::infoOf(facts.format)->label);
    case EntryFacts::Type::Image:
        return MessageTable::format(MessageId::BrowserFormatTgaFormat, static_cast<int>(facts.bitsPerPixel));
    case EntryFacts::Type::Broken:
        return korvix::msg(MessageId::BrowserFormatBroken);
    default:
        return {};
    }
}

std::string dimensionsText(const EntryFacts& facts)
{
    if (!facts.picture())
        return {};
    return MessageTable::format(MessageId::BrowserDimensionsFormat, static_cast<int>(facts.width),
                                static_cast<int>(facts.height));
}

std::string mapsText(const EntryFacts& facts)
{
    return facts.picture() ? std::to_string(facts.maps) : std::string();
}

std::string countText(const Counts& c)
{
    const korvix::NumberStyle style = numberStyle();
    const std::string listed = korvix::countText(c.listed, style);
    std::string text;
    if (c.filtered)
        text = c.onPage == 1 ? MessageTable::format(MessageId::BrowserCountOfOneFileFormat, listed.c_str())
                             : MessageTable::format(MessageId::BrowserCountOfFilesFormat, listed.c_str(),
                                                    korvix::countText(c.onPage, style).c_str());
    else
        text = c.listed == 1 ? std::string(korvix::msg(MessageId::BrowserCountOneFile))
                             : MessageTable::format(MessageId::BrowserCountFilesFormat, listed.c_str());
    if (c.selected > 0) {
        text += ", " + MessageTable::format(MessageId::BrowserCountSelectedFormat,
                                            korvix::countText(c.selected, style).c_str());
        text += ", " + korvix::byteText(c.selectedBytes, style);
    } else {
        text += ", " + korvix::byteText(c.listedBytes, style);
    }
    return text;
}

}  // namespace entrycolumns
