#include "CliHost.h"

#include <ostream>

namespace cli {

MessageAnswer CliHost::messageBox(const std::string& text, const std::string&, MessageIcon, MessageButtons buttons)
{
    ++messagesShown;
    // Multi-line texts (the confirmation) keep their lines; one-liners read as errors.
    if (text.find('\n') != std::string::npos && buttons != MessageButtons::Ok) {
        m_io.err << text;
        if (!assumeYes)
            reportError(m_io, m_stage, m_file, "not confirmed; add --yes to go ahead");
    } else {
        reportError(m_io, m_stage, m_file, text);
    }
    switch (buttons) {
    case MessageButtons::Ok:
        return MessageAnswer::Ok;
    case MessageButtons::OkCancel:
        return assumeYes ? MessageAnswer::Ok : MessageAnswer::Cancel;
    case MessageButtons::YesNo:
        return assumeYes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    return MessageAnswer::Ok;
}

std::optional<std::string> CliHost::chooseOpenFile(const std::vector<FileFilter>&, const std::string&)
{
    if (openFiles.empty())
        return std::nullopt;
    std::string path = openFiles.front();
    openFiles.pop_front();
    return path;
}

}  // namespace cli
