#include "CliVolume.h"

#include "Cli.h"
#include "common/Text.h"

#include <cstring>

namespace cli {

using namespace korvix;

namespace {

std::string openError(int code)
{
    switch (code) {
    case tarvos::GGroup::G_ERR_OPEN:
        return "cannot open the file";
    case tarvos::GGroup::G_ERR_READ:
        return "not a QORB volume (too short, wrong signature or catalogue cut short)";
    case tarvos::GGroup::G_ERR_ALLOC:
        return "not enough memory for the catalogue";
    default:
        return "cannot open the volume (code " + std::to_string(code) + ")";
    }
}

}  // namespace

CliVolume::CliVolume(const std::string& path, bool readOnly)
    : m_strPath(path), m_pGroup(std::make_unique<tarvos::GGroup>())
{
    const int code = m_pGroup->open(path.c_str(), readOnly);
    if (code != tarvos::GGroup::G_OK)
        throw Failure("open", path, openError(code));
    m_pGroup->getCurQORBHeader(m_header);
    char comment[tarvos::QORB_COMMENT_SIZE + 1];
    m_pGroup->getCurFileComment(comment);
    m_strComment.assign(comment, strnlen(comment, tarvos::QORB_COMMENT_SIZE));
    if (!m_catalogue.walk(*m_pGroup, m_header.entryCount))
        throw Failure("open", path, openError(tarvos::GGroup::G_ERR_ALLOC));
}

std::string CliVolume::pathOf(int index) const
{
    return latin1ToUtf8(m_catalogue.pathOf(index));
}

int CliVolume::resolve(const std::string& spec) const
{
    const auto& records = m_catalogue.records();
    if (!spec.empty() && spec[0] == '#') {
        const std::string digits = spec.substr(1);
        if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos)
            throw Failure("entry", m_strPath, "bad entry index '" + spec + "'");
        const unsigned long long index = std::stoull(digits);
        if (index >= records.size() || !records[static_cast<std::size_t>(index)].reported)
            throw Failure("entry", m_strPath, "no entry with catalogue index " + digits);
        return static_cast<int>(index);
    }
    const auto latin1 = utf8ToLatin1(spec);
    if (!latin1)
        throw Failure("entry", m_strPath, "'" + spec + "' holds characters a volume name cannot hold");
    if (latin1->find_first_not_of('/') == std::string::npos)
        throw Failure("entry", m_strPath, "empty entry path");
    const auto found = m_catalogue.find(*latin1);
    if (!found)
        throw Failure("entry", m_strPath, "no entry '" + spec + "'");
    return *found;
}

void CliVolume::checkDataRange(int index) const
{
    const EntryRecord& r = record(index);
    if (r.isDirectory)
        throw Failure("extract", m_strPath, "'" + pathOf(index) + "' is a directory");
    const std::uint64_t end = std::uint64_t{r.offset} + r.size;
    if (end > m_pGroup->fileSize())
        throw Failure("extract", m_strPath,
                      "entry " + std::to_string(index) + ": data " + std::to_string(r.offset) + "+"
                          + std::to_string(r.size) + " exceeds volume length " + std::to_string(m_pGroup->fileSize()));
}

std::vector<std::uint8_t> CliVolume::readAll(int index, const std::string& stage, const std::string& where)
{
    checkDataRange(index);
    std::vector<std::uint8_t> bytes;
    if (!readEntryData(*m_pGroup, record(index), bytes))
        throw Failure(stage, where, "cannot read the entry");
    return bytes;
}

void CliVolume::readChunk(std::uint64_t offset, std::size_t size, unsigned char* buffer)
{
    if (!m_pGroup->getDataBlock(static_cast<unsigned long>(offset), size, buffer))
        throw Failure("read", m_strPath, "cannot read " + std::to_string(size) + " bytes at offset "
                                             + std::to_string(offset));
}

}  // namespace cli
