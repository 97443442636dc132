// A client of the shared library that sees nothing but the public header. It
// names every function the interface declares, so it links only when all of
// them are exported, and it throws and catches the library's exceptions across
// the library boundary. Exit status 0 when everything behaved.
#include "qorbm.h"

#include <cstdio>
#include <cstring>
#include <exception>

using namespace tarvos;

namespace {

int g_failures = 0;

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "public interface: %s\n", what);
        ++g_failures;
    }
}

template <typename Exception, typename Op>
void expectThrow(Op op, const char* what)
{
    try {
        op();
        check(false, what);
    } catch (const Exception&) {
    } catch (...) {
        check(false, what);
    }
}

void onEntry(int, int, const QORBEntry*) {}

// Every exported name, taken by address so the linker must resolve it.
template <typename T>
void keep(T member)
{
    static volatile T sink;
    sink = member;
    (void)sink;
}

void nameEverything()
{
    // String
    keep(static_cast<int (String::*)() const>(&String::getLength));
    keep(&String::isValidIndex);
    keep(&String::invalidate);
    keep(static_cast<char& (String::*)(int)>(&String::operator[]));
    keep(static_cast<char (String::*)(int) const>(&String::operator[]));
    keep(&String::operator const char*);
    keep(&String::pos);
    keep(&String::posStrict);
    keep(&String::subString);
    keep(&String::subStringAdapt);
    keep(&String::pop);
    keep(&String::popAdapt);
    keep(&String::append);
    keep(&String::insert);
    keep(&String::fillTo);
    keep(&String::insertWithFill);
    keep(&String::del);
    keep(&String::delAdapt);
    keep(&String::trimTo);
    keep(&String::trimLeadingBlanks);
    keep(&String::trimTrailingBlanks);
    keep(&String::convertToUpperCase);
    keep(&String::convertToLowerCase);
    keep(&String::toDouble);
    keep(&String::toLong);
    keep(&String::isNumeric);
    keep(&String::isDecimal);
    keep(&String::printf);
    keep(&String::print);
    keep(&String::read);
    keep(static_cast<String& (String::*)(const String&)>(&String::operator=));
    keep(static_cast<String& (String::*)(const char*)>(&String::operator=));
    keep(static_cast<String (*)(const String&, const String&)>(&operator+));
    keep(static_cast<bool (*)(const String&, const String&)>(&operator==));
    keep(static_cast<bool (*)(const String&, const String&)>(&operator!=));
    keep(static_cast<bool (*)(const String&, const String&)>(&operator<));
    keep(static_cast<bool (*)(const String&, const String&)>(&operator<=));
    keep(static_cast<bool (*)(const String&, const String&)>(&operator>));
    keep(static_cast<bool (*)(const String&, const String&)>(&operator>=));
    // GGroup
    keep(static_cast<int (GGroup::*)(const char*)>(&GGroup::open));
    keep(static_cast<int (GGroup::*)(const char*, bool)>(&GGroup::open));
    keep(&GGroup::close);
    keep(&GGroup::getOpenFailure);
    keep(&GGroup::valid);
    keep(&GGroup::operator!);
    keep(&GGroup::readOnly);
    keep(&GGroup::fileSize);
    keep(&GGroup::setCallBack);
    keep(&GGroup::travEntries);
    keep(&GGroup::getCurQORBHeader);
    keep(&GGroup::getCurFileComment);
    keep(&GGroup::getCurFileStatus);
    keep(&GGroup::getDataBlock);
    keep(&GGroup::writeDataBlock);
    keep(&GGroup::eopen);
    keep(&GGroup::operator[]);
    keep(&GGroup::version);
    keep(&GGroup::fileinfo);
    keep(&GGroup::filename);
    keep(&GGroup::nitems);
    keep(&GGroup::type);
    keep(static_cast<GGroup& (GGroup::*)(const GGroup&)>(&GGroup::operator=));
    keep(static_cast<bool (*)(const GGroup&, const GGroup&)>(&operator==));
    keep(static_cast<bool (*)(const GGroup&, const GGroup&)>(&operator!=));
    keep(&GGroupP::scanInfoBlock);
    // GData
    keep(&GData::size);
    keep(&GData::type);
    keep(&GData::name);
    keep(&GData::getData);
    keep(&GData::getDataUCP);
    keep(&GData::getDataCP);
    keep(&GData::getWriteableData);
    keep(&GData::getWriteableDataUCP);
    keep(&GData::getWriteableDataCP);
    keep(&GData::operator const unsigned char*);
    keep(&GData::operator const char*);
    keep(&GData::operator const void*);
    keep(&GData::operator[]);
    keep(&GData::fillExtBuf);
    keep(&GData::exportTo);
    keep(&GData::compareInfo);
    keep(&GData::compareData);
    keep(&GData::operator!);
    keep(&GData::blockValid);
    keep(&GData::infoValid);
    keep(static_cast<GData& (GData::*)(const GData&)>(&GData::operator=));
    keep(static_cast<bool (*)(const GData&, const GData&)>(&operator==));
    keep(static_cast<bool (*)(const GData&, const GData&)>(&operator!=));
    keep(static_cast<GDataP& (GDataP::*)(const GDataP&)>(&GDataP::operator=));
    // Library-wide
    keep(&getQORBMiniLibVersion);
    keep(&setMessageDisplay);
    keep(&friendlyTerminator);
}

}  // namespace

int main()
{
    nameEverything();

    // Every constructor and the static members, used once.
    const String empty;
    const String text("abc");
    const String one('x');
    const String copy(text);
    check(String(7, "%d") == String("7") && String(7L, "%ld") == String("7"), "number strings");
    check(String(0.5f, "%.1f") == String("0.5") && String(0.5, "%.1f") == String("0.5"), "floating strings");
    check(static_cast<const char*>(empty) == &String::emptyBuf, "empty strings share emptyBuf");
    check(text.pos(String("z")) == String::notFound, "notFound");
    check(!(one == copy) && copy == text && text.getLength() == 3, "String basics");

    // Exceptions thrown inside the library are caught here by their types.
    expectThrow<String::AccessParams>([&] { (void)text.subString(3, 1); }, "String::AccessParams");
    expectThrow<String::IndexParam>([&] { (void)text[3]; }, "String::IndexParam");
    expectThrow<String::Param>([&] { (void)text[3]; }, "String::Param");
    expectThrow<String::NotFound>([&] { (void)text.posStrict(String("q")); }, "String::NotFound");
    expectThrow<String::InvalidParam>([&] { String s(static_cast<const char*>(nullptr)); }, "String::InvalidParam");
    expectThrow<String::Invalid>([] { String s; s.invalidate(); (void)s.getLength(); }, "String::Invalid");
    expectThrow<String::Internal>([] { throw String::Internal(); }, "String::Internal");
    expectThrow<String::Alloc>([] { throw String::Alloc(1); }, "String::Alloc");

    const unsigned char bytes[3] = {1, 2, 3};
    GData block(3, String("b"), GData::G_T_ANIM, bytes);
    const GData full(block, true);
    GData info(block);
    info = full;
    check(full == block && !(full != block) && info.blockValid(), "GData copies");
    GData* heap = new GData(full, true);
    check((*heap)[2] == 3, "GData on its own heap");
    delete heap;
    expectThrow<GData::IndexParam>([&] { (void)full[3]; }, "GData::IndexParam");
    expectThrow<GData::AccessParams>([&] { unsigned char b[4]; full.fillExtBuf(b, 4, 0); }, "GData::AccessParams");
    expectThrow<GData::InvalidParam>([&] { GData g(3, String("0"), 0, bytes); }, "GData::InvalidParam");
    expectThrow<GData::Invalid>([] { GData g; (void)g.size(); }, "GData::Invalid");
    expectThrow<GData::Param>([&] { (void)full[-1]; }, "GData::Param");
    expectThrow<GData::Alloc>([] { throw GData::Alloc(1); }, "GData::Alloc");
    GDataP state;
    GDataP stateCopy(state);
    state = stateCopy;

    GGroup group;
    group.setCallBack(onEntry);
    expectThrow<GGroup::FileOpen>([&] { group.eopen(String("/nonexistent/volume.qrb")); }, "GGroup::FileOpen");
    expectThrow<GError>([] { GGroup g(String("/nonexistent/volume.qrb")); }, "GGroup(const String&)");
    expectThrow<GGroup::Invalid>([&] { (void)group.nitems(); }, "GGroup::Invalid");
    expectThrow<GGroup::InvalidParam>([&] { (void)(group == group); }, "GGroup::InvalidParam");
    GGroup groupCopy(group);
    groupCopy = group;
    check(group[0] == nullptr && !groupCopy.valid(), "GGroup copies");
    expectThrow<GGroup::File>([] { throw GGroup::FileRead(); }, "GGroup::File");
    expectThrow<GGroup::FilePartRead>([] { throw GGroup::FilePartRead(1, 2); }, "GGroup::FilePartRead");
    expectThrow<GGroup::Alloc>([] { throw GGroup::Alloc(1); }, "GGroup::Alloc");
    expectThrow<GGroup::Param>([] { throw GGroup::InvalidParam(); }, "GGroup::Param");

    unsigned char record[80];
    std::memset(record, ' ', sizeof record);
    std::memcpy(record, "entry", 5);
    String name;
    int offset = 0;
    int size = 0;
    check(GGroupP::scanInfoBlock(record, name, offset, size) && name == String("entry"), "scanInfoBlock");

    int major = 0;
    int minor = 0;
    getQORBMiniLibVersion(major, minor);
    check(major == 1 && minor == 0, "version 1.0");
    check(setMessageDisplay(nullptr) != nullptr, "a default display is installed");
    check(std::get_terminate() != nullptr, "terminate handler");

    if (g_failures == 0)
        std::puts("public interface complete");
    return g_failures == 0 ? 0 : 1;
}
