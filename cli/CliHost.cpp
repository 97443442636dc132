#include "CliHost.h"
#include "Language.h"

#include <ostream>

namespace cli {

MessageAnswer CliHost::messageBox(const std::string& text, const std::string&, MessageIcon, MessageButtons buttons)
{
    ++messagesShown;
    // Multi-line texts (the confirmation) keep their lines; one-liners read as errors.
    // Without --yes the question is the preview: it goes to standard output, and
    // the command ends successfully having written nothing.
    // The offer to rewrite the volume is the desktop program's; here it is a
    // refusal that names the command that writes an entry of any size.
    if (buttons == MessageButtons::RewriteCancel) {
        reportError(m_io, m_stage, m_file, format(korvix::MessageId::CliUpdateRefusedHintFormat, text.substr(0, text.find('\n'))));
        return MessageAnswer::Cancel;
    }
    if (text.find('\n') != std::string::npos && buttons != MessageButtons::Ok) {
        if (assumeYes) {
            if (!quiet)
                m_io.err << text;
        } else {
            m_io.out << text << tr(korvix::MessageId::CliNothingWritten) << '\n';
            previewOnly = true;
        }
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
    case MessageButtons::RewriteCancel:
        return MessageAnswer::Cancel;
    }
    return MessageAnswer::Ok;
}

bool CliHost::offerReopen(const std::string& text, const std::string&)
{
    // A command runs once: the refusal is its error, and nothing is opened again.
    ++messagesShown;
    reportError(m_io, m_stage, m_file, text);
    return false;
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
