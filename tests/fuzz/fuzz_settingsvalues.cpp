// The store spells values as QSettings does, so either reads what the other wrote. Two
// readings of the input check it against QSettings itself: as the text of a value line,
// which the store and QSettings must read alike, and as a string (its bytes taken as UTF-16
// units, halves of surrogate pairs and all) that the store writes, as a new value and in
// place of an old one, and both must read back as it was. Inifile.h lists where the two
// knowingly part; those inputs are left out here.

#include "Inifile.h"
#include "Settingstext.h"

#include <QByteArray>
#include <QDataStream>
#include <QDebug>
#include <QIODevice>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Of one type, and equal or streaming to the same bytes: QVariant's == can't compare every
// type a @Variant(...) may hold, nor a NaN with itself, and a stream tells a null string
// from an empty one, which no reader does.
bool same(const QVariant& one, const QVariant& other)
{
    const auto streamed = [](const QVariant& value) {
        QByteArray bytes;
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream << value;
        return bytes;
    };
    return one.metaType() == other.metaType() && (one == other || streamed(one) == streamed(other));
}

// The store's and QSettings' reading of a file agree on every value, and with expected
// where one is given.
void compare(const QByteArray& file, const QVariantMap& expected = {})
{
    IniFile ours;
    if (!ours.parse(file) && expected.isEmpty())
        return; // a control character, a known difference; in what the store wrote, a fault
    QVariantMap theirs;
    parseSettingsText(file, theirs);
    const QVariantMap mine = ours.values();
    const QVariantMap wanted = expected.isEmpty() ? theirs : expected;
    bool agree = mine.keys() == theirs.keys() && mine.keys() == wanted.keys();
    for (auto it = mine.cbegin(); agree && it != mine.cend(); ++it)
        agree = same(*it, theirs.value(it.key())) && same(*it, wanted.value(it.key()));
    if (agree)
        return;
    qWarning() << "file" << file << "reads here as" << mine << "and to QSettings as" << theirs;
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // Read: the file's last line, with nothing after it. QSettings carries a value with an
    // open quote or a final backslash on into the next line, a known difference.
    if (!input.contains('\n') && !input.contains('\r'))
        compare("[General]\nk=" + input);

    // Written: the same text, as a new value beside an old one, in place of that one and,
    // where it can be one, as a name.
    const QString text(reinterpret_cast<const QChar*>(data), static_cast<qsizetype>(size / 2));
    QVariantMap expected{{QStringLiteral("new"), text}, {QStringLiteral("old"), text}};
    if (!text.isEmpty() && !text.contains(QLatin1Char('/')))
        expected.insert(text, text);
    IniFile file;
    file.parse("[General]\nold=1\n");
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        file.setValue(it.key(), text);
    compare(file.bytes(), expected);
    return 0;
}
