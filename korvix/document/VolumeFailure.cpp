#include "document/VolumeFailure.h"

#include <cstdio>
#include <system_error>

using korvix::MessageId;
using korvix::MessageTable;

std::string volumeOpenFailure(const tarvos::GGroup& volume, int code, korvix::Language language)
{
    using tarvos::GGroup;
    int error = 0;
    switch (volume.getOpenFailure(error)) {
    case GGroup::G_OPEN_SYSTEM: return std::generic_category().message(error);
    case GGroup::G_OPEN_NOT_REGULAR: return MessageTable::text(MessageId::NotRegularFile, language);
    case GGroup::G_OPEN_TOO_SHORT: return MessageTable::text(MessageId::VolumeTooShort, language);
    case GGroup::G_OPEN_NO_SIGNATURE: return MessageTable::text(MessageId::VolumeNoSignature, language);
    case GGroup::G_OPEN_CATALOGUE_SHORT: return MessageTable::text(MessageId::VolumeCatalogueCut, language);
    case GGroup::G_OPEN_NO_MEMORY: return MessageTable::text(MessageId::VolumeCatalogueMemory, language);
    default: break;
    }
    char text[128];
    std::snprintf(text, sizeof text, MessageTable::text(MessageId::VolumeOpenCodeFormat, language), code);
    return text;
}

std::string entryRangeFailure(const EntryRecord& record, std::uint64_t volumeLength, korvix::Language language)
{
    char text[256];
    std::snprintf(text, sizeof text, MessageTable::text(MessageId::EntryBeyondVolumeFormat, language), record.offset,
                  record.size, static_cast<unsigned long long>(volumeLength));
    return text;
}
