#include "FailureContext.h"

#include "qorbm.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace tarvos {

namespace {

// Constant-initialised, so it holds "unknown failure" from the moment the
// library is loaded, before any static constructor runs.
FailureContext g_context = {OP_GDATA_DEFAULT, REASON_UNKNOWN, {0, 0, 0}};

constexpr const char* OPERATION_TEXTS[] = {
    "GData::GData()",
    "GData::GData( const GData&, bool )",
    "GData::GData( int , const String& , int , const void* )",
    "GData::operator[] ( int )",
    "GData::operator = ( const GData& )",
    "GData::operator == ( const GData&, const GData& )",
    "GData::operator != ( const GData&, const GData& )",
    "GData::operator const unsigned char*()",
    "GData::operator const char*()",
    "GData::operator const void*()",
    "GData::size()",
    "GData::type()",
    "GData::name()",
    "GData::getData()",
    "GData::getDataUCP()",
    "GData::getDataCP()",
    "GData::getWriteableData()",
    "GData::getWriteableDataUCP()",
    "GData::getWriteableDataCP()",
    "GData::compareInfo( const GData& )",
    "GData::compareData( const GData& )",
    "GData::fillExtBuf ( void* , int , int )",
    "GData::export( const String& )",
    "GGroup::GGroup( const GGroup& )",
    "GGroup::GGroup( const String& )",
    "GGroup::operator= ( const GGroup& gg )",
    "GGroup::GData* operator[] ( int )",
    "GGroup::String& version()",
    "GGroup::fileinfo()",
    "GGroup::filename()",
    "GGroup::nitems()",
    "GGroup::type()",
    "GGroup::eopen(  const String& )",
    "GGroup::getData( GData&, int, bool )",
    "GGroup::getData( GData&, const String&, bool )",
    "GGroup::writeBack( const GData& )",
    "GGroup::operator == ( const GGroup&, const GGroup& )",
    "GGroup::operator != ( const GGroup&, const GGroup& )",
};
static_assert(std::size(OPERATION_TEXTS) == OP_GGROUP_NOT_EQUAL + 1);

constexpr const char* REASON_TEXTS[] = {
    "---",
    "Fehler in indirekt aufgerufener Funktion.",
    "Unbekannter Fehler.",
    "Fehler beim Öffnen der QORB-Datei.",
    "Fehler beim Lesen der QORB-Datei.",
    "Datei konnte nur teilweise gelesen werden",
    "Fehler beim Schreiben der QORB-Datei",
    "Fehler bei Positionierung in QORB-Datei.",
    "Speicheranforderung fehlgeschlagen.",
    "Parameterfehler.",
    "Indexparameter nicht im gültigen Bereich.",
    "Offset- und/oder Größenparameter nicht im gültigen Bereich.",
    "Das Objekt ist ungültig (z.B. nicht korrekt initialisiert).",
    "Datenblock mit angegeben Eigenschaften nicht gefunden.",
};
static_assert(std::size(REASON_TEXTS) == REASON_NOT_FOUND + 1);

constexpr const char* RULE = "_________________________________________________";  // 49

void writeToStandardError(const char* caption, const char* text)
{
    std::fprintf(stderr, "%s\n\n%s\n", caption, text);
    std::fflush(stderr);
}

std::atomic<MessageDisplay> g_display{writeToStandardError};

std::string number(int value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%d", value);
    return buffer;
}

}  // namespace

void recordFailure(int operation, int reason, std::initializer_list<int> values)
{
    g_context.operation = operation;
    g_context.reason = reason;
    int slot = 0;
    for (int v : values) {
        if (slot < 3)
            g_context.values[slot++] = v;
    }
}

void recordOperation(int operation)
{
    g_context.operation = operation;
}

const FailureContext& failureContext()
{
    return g_context;
}

std::string failureMessage()
{
    const FailureContext& c = g_context;
    const bool knownOperation = c.operation >= 0 && c.operation <= OP_GGROUP_NOT_EQUAL;
    const bool knownReason = c.reason >= REASON_INDIRECT && c.reason <= REASON_NOT_FOUND;

    std::string report = knownOperation ? OPERATION_TEXTS[c.operation] : "Unbekannt";
    report += "\n\n";
    report += knownReason ? REASON_TEXTS[c.reason] : "Unbekannter Fehler";
    report += "\n\n";
    switch (c.reason) {
    case REASON_ALLOC:
        report += "Angefordert: " + number(c.values[0]) + " Bytes";
        break;
    case REASON_FILE_PART_READ:
        report += "Eingelesen: " + number(c.values[0]) + " Blöcke\n" + "Vorhanden: " + number(c.values[1]) + " Blöcke";
        break;
    case REASON_INDEX:
        report += "Index: " + number(c.values[0]) + "\nGültiger Index: " + "0 .. " + number(c.values[1]);
        break;
    case REASON_RANGE:
        report += "Offset: " + number(c.values[0]) + "\nLänge: " + number(c.values[1]) + "\nBuffergröße: "
                  + number(c.values[2]) + " Bytes";
        break;
    default:
        break;
    }
    report += "\n";
    report += RULE;

    std::string message = "Eine vom Aufrufer nicht behandelte Exception ist aufgetreten.\n\n";
    message += RULE;
    message += "\n\nqorb\n\n";
    message += report;
    return message;
}

MessageDisplay setMessageDisplay(MessageDisplay display)
{
    return g_display.exchange(display ? display : writeToStandardError);
}

void friendlyTerminator()
{
    // Build the text before showing anything: the handler runs once, at the end.
    std::string message;
    try {
        message = failureMessage();
    } catch (...) {
        message = "Eine vom Aufrufer nicht behandelte Exception ist aufgetreten.";
    }
    try {
        g_display.load()("QORB MiniLib", message.c_str());
    } catch (...) {
        // A display that throws must not send the process back into terminate.
    }
    // An exception nobody handled is a failure; the exit status says so. Static
    // destructors are skipped: the process is in an unknown state.
    std::fflush(nullptr);
    std::_Exit(EXIT_FAILURE);
}

}  // namespace tarvos
