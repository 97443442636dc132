#include "Thumbnailer.h"

#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"
#include "common/MessageTable.h"
#include "document/Thumbnail.h"

#include <qorbm.h>

#include <charconv>

using korvix::MessageId;
using korvix::MessageTable;
using korvix::msg;

namespace thumbnailer {

namespace {

constexpr const char* PROGRAM = "korvix-thumbnailer";

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int usageError(std::ostream& err, const std::string& detail)
{
    err << PROGRAM << ": " << detail << '\n' << msg(MessageId::ThumbUsage) << '\n';
    return exitUsage;
}

int failure(std::ostream& err, const std::string& file, const std::string& detail)
{
    err << PROGRAM << ": " << file << ": " << detail << '\n';
    return exitFailure;
}

// The table's text for a failed thumbnail, with the English detail after it
// where it adds something (a system reason, a size).
std::string describe(const thumbnail::Result& r)
{
    using thumbnail::Status;
    auto with = [&](MessageId id) {
        std::string text = msg(id);
        if (r.detail.empty())
            return text;
        if (!text.empty() && text.back() == '.')
            text.pop_back();
        return text + ": " + r.detail;
    };
    switch (r.status) {
    case Status::Ok: return {};
    case Status::OpenFailed: return with(MessageId::FileReadFailed);
    case Status::NotSupported: return msg(MessageId::ThumbNotSupported);
    case Status::TextureRejected:
        switch (r.textureStatus) {
        case TextureLoadStatus::NotTexture: return msg(MessageId::NotKtexFormat);
        case TextureLoadStatus::UnknownFormat: return msg(MessageId::TextureFormatNotSupported);
        case TextureLoadStatus::TooManyMaps: return with(MessageId::TextureLoadFailed);
        default: return with(MessageId::DecodeFailed);
        }
    case Status::ImageFailed: return with(MessageId::EntryTextureReadFailed);
    case Status::TooLarge: return with(MessageId::MapTooLarge);
    case Status::EmptyPicture: return msg(MessageId::ThumbEmptyPicture);
    case Status::VolumeRejected: return with(MessageId::FileReadFailed);
    case Status::NoTexture: return msg(MessageId::ThumbNoTexture);
    case Status::OutOfMemory: return msg(MessageId::OutOfMemory);
    }
    return {};
}

}  // namespace

std::optional<std::string> localPath(std::string_view input)
{
    constexpr std::string_view scheme = "file://";
    if (input.size() < scheme.size() || !std::equal(scheme.begin(), scheme.end(), input.begin(), [](char a, char b) {
            return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
        })) {
        // A plain path; any other scheme ("smb://...") is no local file.
        const auto colon = input.find("://");
        if (colon != std::string_view::npos && input.find('/') > colon)
            return std::nullopt;
        return std::string(input);
    }
    std::string_view rest = input.substr(scheme.size());
    const auto slash = rest.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    const std::string_view host = rest.substr(0, slash);
    if (!host.empty() && host != "localhost")
        return std::nullopt;
    rest = rest.substr(slash);
    std::string path;
    path.reserve(rest.size());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '?' || rest[i] == '#')
            return std::nullopt;
        if (rest[i] != '%') {
            path += rest[i];
            continue;
        }
        const int hi = i + 2 < rest.size() ? hexDigit(rest[i + 1]) : -1;
        const int lo = hi >= 0 ? hexDigit(rest[i + 2]) : -1;
        if (lo < 0 || (hi == 0 && lo == 0))
            return std::nullopt;
        path += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return path;
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::optional<int> size;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            out << msg(MessageId::ThumbUsage) << "\n\n" << msg(MessageId::ThumbHelp) << '\n';
            return exitSuccess;
        }
        if (a == "--version") {
            out << PROGRAM << ' ' << QORBM_VERSION_STRING << '\n';
            return exitSuccess;
        }
        if (a == "-s" || a == "--size") {
            if (++i == args.size())
                return usageError(err, MessageTable::format(MessageId::ThumbSizeInvalidFormat, thumbnail::MAX_SIZE));
            int value = 0;
            const std::string& v = args[i];
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
            if (ec != std::errc{} || end != v.data() + v.size() || value < 1 || value > thumbnail::MAX_SIZE)
                return usageError(err, MessageTable::format(MessageId::ThumbSizeInvalidFormat, thumbnail::MAX_SIZE));
            size = value;
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError(err, a);
        } else {
            files.push_back(a);
        }
    }
    if (!size || files.size() != 2) {
        err << msg(MessageId::ThumbUsage) << '\n';
        return exitUsage;
    }

    const std::string& input = files[0];
    const std::string& output = files[1];
    const std::optional<std::string> path = localPath(input);
    if (!path)
        return failure(err, input, msg(MessageId::ThumbOnlyLocalFiles));

    const thumbnail::Result r = thumbnail::ofFile(*path, *size);
    if (!r.ok())
        return failure(err, *path, describe(r));
    try {
        encodePng(output, r.picture);
    } catch (const CTextException& e) {
        return failure(err, output, msg(MessageId::ThumbWriteFailed) + (": " + e.message()));
    }
    return exitSuccess;
}

}  // namespace thumbnailer
