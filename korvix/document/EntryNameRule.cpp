#include "document/EntryNameRule.h"

#include "common/Text.h"

#include <cstdio>

using korvix::MessageId;
using Refusal = EntryNameRule::Refusal;

bool EntryNameRule::isSafeFileName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    for (const char c : name)
        if (c == '/' || c == '\\' || c == ':' || c == '\0')
            return false;
    // Device names stay devices on some systems whatever the extension.
    std::string stem = korvix::foldLatin1(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    static constexpr std::string_view devices[] = {"con", "prn", "aux", "nul"};
    for (const auto d : devices)
        if (stem == d)
            return false;
    if (stem.size() == 4 && (stem.rfind("com", 0) == 0 || stem.rfind("lpt", 0) == 0) && stem[3] >= '0'
        && stem[3] <= '9')
        return false;
    return true;
}

Refusal EntryNameRule::check(std::string_view name)
{
    if (name.empty())
        return Refusal::Empty;
    if (name.size() > MAX_LENGTH)
        return Refusal::TooLong;
    if (name.back() == ' ')
        return Refusal::TrailingBlank;
    if (name.find_first_of("/\\") != std::string_view::npos)
        return Refusal::Separator;
    if (name == "." || name == "..")
        return Refusal::DotName;
    if (!isSafeFileName(name))
        return Refusal::NotExtractable;
    return Refusal::None;
}

EntryNameRule::Verdict EntryNameRule::checkUtf8(std::string_view utf8)
{
    Verdict v;
    const auto latin1 = korvix::utf8ToLatin1(utf8);
    if (!latin1) {
        v.refusal = Refusal::Characters;
        return v;
    }
    v.latin1 = *latin1;
    v.refusal = check(v.latin1);
    return v;
}

EntryNameRule::Verdict EntryNameRule::checkRename(const EntryCatalogue& catalogue, int index, std::string_view utf8)
{
    Verdict v = checkUtf8(utf8);
    if (!v.ok())
        return v;
    const auto& records = catalogue.records();
    for (const int sibling : catalogue.childrenOf(catalogue.reportedParent(index))) {
        if (sibling != index && sameName(records[static_cast<std::size_t>(sibling)].name.view(), v.latin1)) {
            v.refusal = Refusal::Taken;
            v.sibling = sibling;
            break;
        }
    }
    return v;
}

bool EntryNameRule::sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && korvix::foldLatin1(a) == korvix::foldLatin1(b);
}

MessageId EntryNameRule::message(Refusal refusal)
{
    switch (refusal) {
    case Refusal::TrailingBlank: return MessageId::NameEndsWithBlank;
    case Refusal::Separator: return MessageId::NameHasSeparator;
    case Refusal::DotName: return MessageId::NameIsDot;
    case Refusal::NotExtractable: return MessageId::NameNotExtractable;
    case Refusal::Taken: return MessageId::NameTakenFormat;
    case Refusal::None:
    case Refusal::Characters:
    case Refusal::Empty:
    case Refusal::TooLong:
        break;
    }
    return MessageId::EntryNameInvalid;
}

std::string EntryNameRule::describe(Refusal refusal, std::string_view takenBy, korvix::Language language)
{
    if (refusal == Refusal::None)
        return {};
    const char* text = korvix::MessageTable::text(message(refusal), language);
    if (refusal != Refusal::Taken)
        return text;
    const std::string name(takenBy);
    const int n = std::snprintf(nullptr, 0, text, name.c_str());
    if (n <= 0)
        return text;
    std::string out(static_cast<std::size_t>(n), '\0');
    std::snprintf(out.data(), out.size() + 1, text, name.c_str());
    return out;
}

std::string EntryNameRule::describe(const Verdict& verdict, const EntryCatalogue& catalogue)
{
    std::string sibling;
    if (verdict.refusal == Refusal::Taken && verdict.sibling >= 0
        && static_cast<std::size_t>(verdict.sibling) < catalogue.records().size())
        sibling = korvix::latin1ToUtf8(catalogue.records()[static_cast<std::size_t>(verdict.sibling)].name.view());
    return describe(verdict.refusal, sibling, korvix::MessageTable::language());
}
