// The key as an administrator or another tool leaves it: any kind of value, names in capitals.
#include "Settings.h"
#include "Tempsettings.h"

#include <QScopeGuard>
#include <QtTest>

#include <windows.h>

#include <sddl.h>

using namespace Qt::StringLiterals;

namespace {

bool setAccess(HKEY key, const QString& sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            reinterpret_cast<const wchar_t*>(sddl.utf16()), SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    const bool set = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == 0;
    LocalFree(descriptor);
    return set;
}

} // namespace

class TestRegistryStore final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aValueAsItIsFound_data()
    {
        // What the program reads as "höhe"; -1: unreadable.
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("access");
        QTest::addColumn<int>("read");
        const QByteArray seven("\7\0\0\0", 4);
        const QByteArray text(reinterpret_cast<const char*>(u"150"), 8);
        const QString none;
        QTest::newRow("number as text") << REG_SZ << text << none << 150;
        QTest::newRow("text without its end") << REG_EXPAND_SZ << text.left(6) << none << 150;
        QTest::newRow("64-bit") << REG_QWORD << seven + QByteArray(4, 0) << none << 7;
        QTest::newRow("short number") << REG_DWORD << seven.left(2) << none << -1;
        QTest::newRow("big-endian") << REG_DWORD_BIG_ENDIAN << seven << none << -1;
        QTest::newRow("binary") << REG_BINARY << text << none << -1;
        QTest::newRow("list") << REG_MULTI_SZ << text << none << -1;
        QTest::newRow("no kind") << REG_NONE << text << none << -1;
        QTest::newRow("read-only") << REG_DWORD << seven << u"D:(A;;KR;;;WD)"_s << 7;
        QTest::newRow("values only") << REG_DWORD << seven << u"D:(A;;0x1;;;WD)"_s << 7;
        QTest::newRow("no access") << REG_DWORD << seven << u"D:"_s << -1;
        QTest::newRow("reading denied")
            << REG_DWORD << seven << u"D:(D;;KR;;;WD)(A;;KA;;;WD)"_s << -1;
    }

    void aValueAsItIsFound()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, data);
        QFETCH(QString, access);
        QFETCH(int, read);
        TempSettings temp;
        HKEY key = nullptr;
        QCOMPARE(RegCreateKeyExW(HKEY_CURRENT_USER,
                                 temp.storePath().section(u'\\', 1).toStdWString().c_str(), 0,
                                 nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                 0);
        // This handle keeps its rights whatever the key's list says: it unlocks it for removal.
        const auto unlock = qScopeGuard([key] {
            setAccess(key, u"D:(A;;KA;;;WD)"_s);
            RegCloseKey(key);
        });
        QCOMPARE(RegSetValueExW(key, L"HÖHE", 0, DWORD(kind),
                                reinterpret_cast<const BYTE*>(data.constData()),
                                DWORD(data.size())),
                 0);
        QVERIFY(access.isEmpty() || setAccess(key, access));
        SettingsKey settings;
        OpenSettings(settings, u"QXBrindora"_s);
        QCOMPARE(ReadSettingInt(settings, u"höhe"_s, -1), read);
        QCOMPARE(IntSettingUnreadable(settings, u"höhe"_s), read == -1);
    }
};

QTEST_GUILESS_MAIN(TestRegistryStore)
#include "tst_registrystore.moc"
