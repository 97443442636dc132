#include "CliVolume.h"

#include "Cli.h"
#include "Language.h"
#include "common/Text.h"
#include "document/VolumeFailure.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace cli {

using namespace korvix;
using korvix::MessageId;

namespace {

// The volume's own reason why it did not open, after what it means here.
std::string openError(const tarvos::GGroup& group, int code)
{
    const std::string cause = volumeOpenFailure(group, code, tableLanguage());
    int error = 0;
    const bool system = group.getOpenFailure(error) == tarvos::GGroup::G_OPEN_SYSTEM;
    switch (code) {
    case tarvos::GGroup::G_ERR_OPEN:
        return format(MessageId::CliCannotOpenFileFormat, cause);
    case tarvos::GGroup::G_ERR_READ:
        return format(system ? MessageId::CliCannotReadFileFormat : MessageId::CliNotAVolumeFormat, cause);
    default:
        return cause;
    }
}

}  // namespace

CliVolume::CliVolume(const std::string& path, bool readOnly, Records records)
    : m_strPath(path), m_pGroup(std::make_unique<tarvos::GGroup>())
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw Failure("open", path, tr(MessageId::CliIsDirectory));
    const int code = m_pGroup->open(path.c_str(), readOnly);
    if (code != tarvos::GGroup::G_OK)
        throw Failure("open", path, openError(*m_pGroup, code));
    m_pGroup->getCurQORBHeader(m_header);
    char comment[tarvos::QORB_COMMENT_SIZE + 1];
    m_pGroup->getCurFileComment(comment);
    m_strComment.assign(comment, strnlen(comment, tarvos::QORB_COMMENT_SIZE));
    if (records == Records::Skip)
        return;
    if (!m_tree.walk(*m_pGroup, m_header.entryCount)
        || (records == Records::All && !m_catalogue.walk(*m_pGroup, m_header.entryCount)))
        throw Failure("open", path, tr(MessageId::VolumeCatalogueMemory));
}

EntryRecord CliVolume::record(int index) const
{
    EntryRecord r;
    tarvos::QORBEntry e{};
    if (!m_pGroup->getCatalogueEntry(index, e))
        return r;
    r.name = EntryCatalogue::nameOf(e);
    r.offset = e.offset;
    r.size = e.size;
    r.isDirectory = e.flags & tarvos::QORB_FLAG_DIRECTORY;
    r.parent = m_tree.parent(index);
    if (!r.isDirectory && r.parent == PARENT_TOP_LEVEL)
        r.parent = PARENT_TOP_LEVEL_FILE;
    r.reported = m_tree.reported(index);
    r.damaged = r.reported && !r.isDirectory && std::uint64_t{r.offset} + r.size > m_pGroup->fileSize();
    return r;
}

std::string CliVolume::name(int index) const
{
    return std::string(record(index).name.view());
}

std::string CliVolume::pathOf(int index) const
{
    return latin1ToUtf8(cataloguePath(m_tree, index, [this](int i) { return name(i); }));
}

namespace {

// "#<catalogue index>" or a path from the root, in the walk's shape `tree`
// whose entries `nameOf` names (ISO-8859-1).
template <typename NameOf>
int resolveIn(const CatalogueTree& tree, NameOf&& nameOf, const std::string& path, const std::string& spec)
{
    if (!spec.empty() && spec[0] == '#') {
        const std::string digits = spec.substr(1);
        if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos)
            throw Failure("entry", path, format(MessageId::CliBadEntryIndexFormat, spec));
        const unsigned long long index = std::stoull(digits);
        if (index >= tree.size() || !tree.reported(static_cast<int>(index)))
            throw Failure("entry", path, format(MessageId::CliNoEntryIndexFormat, digits));
        return static_cast<int>(index);
    }
    const auto latin1 = utf8ToLatin1(spec);
    if (!latin1)
        throw Failure("entry", path, format(MessageId::CliNameCharactersFormat, spec));
    if (latin1->find_first_not_of('/') == std::string::npos)
        throw Failure("entry", path, tr(MessageId::CliEmptyEntryPath));
    const auto found = findCataloguePath(tree, *latin1, nameOf);
    if (!found)
        throw Failure("entry", path, format(MessageId::CliNoEntryFormat, spec));
    return *found;
}

}  // namespace

int resolveEntry(const EntryCatalogue& catalogue, const std::string& path, const std::string& spec)
{
    const auto& records = catalogue.records();
    return resolveIn(
        catalogue.tree(), [&](int i) { return std::string(records[static_cast<std::size_t>(i)].name.view()); }, path,
        spec);
}

int CliVolume::resolve(const std::string& spec) const
{
    return resolveIn(m_tree, [this](int i) { return name(i); }, m_strPath, spec);
}

void CliVolume::checkDataRange(int index) const
{
    const EntryRecord r = record(index);
    if (r.isDirectory)
        throw Failure("extract", m_strPath, format(MessageId::CliEntryIsDirectoryFormat, pathOf(index)));
    if (r.damaged)
        throw Failure("extract", m_strPath,
                      format(MessageId::CliEntryBeyondVolumeFormat, index,
                             entryRangeFailure(r, m_pGroup->fileSize(), tableLanguage())));
}

std::vector<std::uint8_t> CliVolume::readAll(int index, const std::string& stage, const std::string& where)
{
    checkDataRange(index);
    std::vector<std::uint8_t> bytes;
    if (!readEntryData(*m_pGroup, record(index), bytes))
        throw Failure(stage, where, tr(MessageId::CliCannotReadEntry));
    return bytes;
}

void CliVolume::readChunk(std::uint64_t offset, std::size_t size, unsigned char* buffer)
{
    if (!m_pGroup->getDataBlock(static_cast<unsigned long>(offset), size, buffer))
        throw Failure("read", m_strPath, format(MessageId::CliCannotReadBytesFormat, static_cast<unsigned long long>(size),
                                                static_cast<unsigned long long>(offset)));
}

}  // namespace cli
