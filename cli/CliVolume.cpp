#include "CliVolume.h"

#include "Cli.h"
#include "Language.h"
#include "common/Text.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace cli {

using namespace korvix;
using korvix::MessageId;

namespace {

std::string openError(int code, int error)
{
    switch (code) {
    case tarvos::GGroup::G_ERR_OPEN:
        return error ? format(MessageId::CliCannotOpenFileFormat, std::generic_category().message(error))
                     : std::string(tr(MessageId::CliCannotOpenFile));
    case tarvos::GGroup::G_ERR_READ:
        return tr(MessageId::CliNotAVolume);
    case tarvos::GGroup::G_ERR_ALLOC:
        return tr(MessageId::CliCatalogueMemory);
    default:
        return format(MessageId::CliCannotOpenVolumeFormat, code);
    }
}

}  // namespace

CliVolume::CliVolume(const std::string& path, bool readOnly, Records records)
    : m_strPath(path), m_pGroup(std::make_unique<tarvos::GGroup>())
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw Failure("open", path, tr(MessageId::CliIsDirectory));
    errno = 0;
    const int code = m_pGroup->open(path.c_str(), readOnly);
    const int error = errno;
    if (code != tarvos::GGroup::G_OK)
        throw Failure("open", path, openError(code, error));
    m_pGroup->getCurQORBHeader(m_header);
    char comment[tarvos::QORB_COMMENT_SIZE + 1];
    m_pGroup->getCurFileComment(comment);
    m_strComment.assign(comment, strnlen(comment, tarvos::QORB_COMMENT_SIZE));
    if (records == Records::Skip)
        return;
    if (!m_tree.walk(*m_pGroup, m_header.entryCount)
        || (records == Records::All && !m_catalogue.walk(*m_pGroup, m_header.entryCount)))
        throw Failure("open", path, openError(tarvos::GGroup::G_ERR_ALLOC, 0));
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

int CliVolume::resolve(const std::string& spec) const
{
    if (!spec.empty() && spec[0] == '#') {
        const std::string digits = spec.substr(1);
        if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos)
            throw Failure("entry", m_strPath, format(MessageId::CliBadEntryIndexFormat, spec));
        const unsigned long long index = std::stoull(digits);
        if (index >= m_tree.size() || !m_tree.reported(static_cast<int>(index)))
            throw Failure("entry", m_strPath, format(MessageId::CliNoEntryIndexFormat, digits));
        return static_cast<int>(index);
    }
    const auto latin1 = utf8ToLatin1(spec);
    if (!latin1)
        throw Failure("entry", m_strPath, format(MessageId::CliNameCharactersFormat, spec));
    if (latin1->find_first_not_of('/') == std::string::npos)
        throw Failure("entry", m_strPath, tr(MessageId::CliEmptyEntryPath));
    const auto found = findCataloguePath(m_tree, *latin1, [this](int i) { return name(i); });
    if (!found)
        throw Failure("entry", m_strPath, format(MessageId::CliNoEntryFormat, spec));
    return *found;
}

void CliVolume::checkDataRange(int index) const
{
    const EntryRecord r = record(index);
    if (r.isDirectory)
        throw Failure("extract", m_strPath, format(MessageId::CliEntryIsDirectoryFormat, pathOf(index)));
    const std::uint64_t end = std::uint64_t{r.offset} + r.size;
    if (end > m_pGroup->fileSize())
        throw Failure("extract", m_strPath,
                      format(MessageId::CliEntryBeyondVolumeFormat, index, r.offset, r.size,
                             static_cast<unsigned long long>(m_pGroup->fileSize())));
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
