#include "model/NamesColors.h"
#include "support/TestMain.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
struct TComponents {
    std::vector<std::unique_ptr<TSelection>> Owned;
    std::vector<TSelection*> Order;
    TSelection* Add(const QString& name, const QString& display = QString(), uint32_t color = 0x123456)
    {
        Owned.push_back(std::make_unique<TSelection>());
        TSelection* s = Owned.back().get();
        s->Name = name;
        s->DisplayName = display.isNull() ? name : display;
        s->Color = color;
        Order.push_back(s);
        return s;
    }
};

TIniFile IniFromText(const QString& text)
{
    TIniFile ini;
    ini.SetText(text);
    return ini;
}

QString ReadText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
}  // namespace

class NamesColorsTest : public QObject {
    Q_OBJECT
private slots:
    void colorValue_data();
    void colorValue();
    void translation();
    void colors();
    void saveNames_data();
    void saveNames();
    void saveColorsKeepsTheRest();
    void filesRoundTrip();
};

void NamesColorsTest::colorValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<uint>("value");
    QTest::newRow("decimal red") << "255" << true << 255u;
    QTest::newRow("decimal blue") << "16711680" << true << 0xFF0000u;
    QTest::newRow("dollar hex") << "$0000FF" << true << 255u;
    QTest::newRow("0x hex") << "0x0000FF" << true << 255u;
    QTest::newRow("0X lower-case digits") << "0X00ff00" << true << 0x00FF00u;
    QTest::newRow("spaces around") << " 42 " << true << 42u;
    QTest::newRow("zero") << "0" << true << 0u;
    QTest::newRow("negative") << "-1" << true << 0xFFFFFFFFu;
    QTest::newRow("largest hex") << "$FFFFFFFF" << true << 0xFFFFFFFFu;
    QTest::newRow("letters only") << "red" << false << 0u;
    QTest::newRow("hex letters without prefix") << "FF" << false << 0u;
    QTest::newRow("empty") << "" << false << 0u;
    QTest::newRow("prefix only") << "0x" << false << 0u;
    QTest::newRow("dollar only") << "$" << false << 0u;
    QTest::newRow("trailing junk") << "12abc" << false << 0u;
    QTest::newRow("signed hex") << "0x-5" << false << 0u;
    QTest::newRow("double prefix") << "$0x10" << false << 0u;
    QTest::newRow("too big") << "4294967296" << false << 0u;
    QTest::newRow("hex too long") << "$100000000" << false << 0u;
}

void NamesColorsTest::colorValue()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(uint, value);
    uint32_t color = 0xABCDEF;
    QCOMPARE(ParseColorValue(text, color), valid);
    QCOMPARE(color, valid ? value : 0xABCDEFu);
}

void NamesColorsTest::translation()
{
    TComponents c;
    TSelection* arm = c.Add("Arm");
    TSelection* armUpper = c.Add("ARM");
    TSelection* leg = c.Add("leg", "old shown name");
    TSelection* head = c.Add("head");
    const TIniFile ini = IniFromText(
        "[Other]\nhead=not this one\n[translation]\narm=Left arm\nHEAD=Head\n[More]\nleg=nor this\n");
    const std::vector<TSelection*> changed = ApplyTranslation(c.Order, ini);
    QCOMPARE(arm->DisplayName, QStringLiteral("Left arm"));
    QCOMPARE(armUpper->DisplayName, QStringLiteral("Left arm"));  // keys ignore case
    QCOMPARE(head->DisplayName, QStringLiteral("Head"));
    QCOMPARE(leg->DisplayName, QStringLiteral("leg"));  // no key: back to its name
    QCOMPARE(changed, (std::vector<TSelection*>{arm, armUpper, leg, head}));
    QVERIFY(ApplyTranslation(c.Order, ini).empty());
}

void NamesColorsTest::colors()
{
    TComponents c;
    TSelection* a = c.Add("a", {}, 1);
    TSelection* b = c.Add("b", {}, 2);
    TSelection* d = c.Add("d", {}, 3);
    TSelection* e = c.Add("e", {}, 4);
    TSelection* f = c.Add("F", {}, 5);
    const TIniFile ini = IniFromText("[ColorDef]\na=$0000FF\nb=green\nd=\nf=16711680\n[Other]\ne=7\n");
    const std::vector<TSelection*> changed = ApplyColors(c.Order, ini);
    QCOMPARE(a->Color, 0x0000FFu);
    QCOMPARE(b->Color, 2u);
    QCOMPARE(d->Color, 3u);
    QCOMPARE(e->Color, 4u);
    QCOMPARE(f->Color, 0xFF0000u);
    QCOMPARE(changed, (std::vector<TSelection*>{a, f}));
}

void NamesColorsTest::saveNames_data()
{
    QTest::addColumn<QStringList>("names");     // Name=DisplayName per component
    QTest::addColumn<QString>("before");        // file text
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("changed");
    QTest::newRow("own name back removes the key")
        << QStringList{"arm=arm", "leg=Left leg"} << "[Translation]\narm=Right arm\n"
        << "[Translation]\nleg=Left leg\n" << true;
    QTest::newRow("nothing renamed writes nothing")
        << QStringList{"arm=arm", "leg=leg"} << "[Other]\nx=1\n" << "[Other]\nx=1\n" << false;
    QTest::newRow("deletes only existing keys, keeps other sections")
        << QStringList{"arm=arm", "leg=leg"} << "[Translation]\nLEG=Bein\nfoot=Fuss\n[Other]\nleg=1\n"
        << "[Translation]\nfoot=Fuss\n[Other]\nleg=1\n" << true;
    QTest::newRow("equality is case-sensitive")
        << QStringList{"arm=ARM"} << "" << "[Translation]\narm=ARM\n" << true;
    QTest::newRow("existing key updated where it stands")
        << QStringList{"arm=Left arm"} << "[Translation]\n; names\nArm=Old\nz=1\n"
        << "[Translation]\n; names\narm=Left arm\nz=1\n" << true;
    QTest::newRow("same value again is no change")
        << QStringList{"arm=Left arm"} << "[Translation]\narm=Left arm\n" << "[Translation]\narm=Left arm\n"
        << false;
    // Two names that differ only in case share a key, so the later one wins.
    QTest::newRow("shared key, later component wins")
        << QStringList{"Arm=Left arm", "ARM=ARM"} << "" << "[Translation]\n" << true;
}

void NamesColorsTest::saveNames()
{
    QFETCH(QStringList, names);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(bool, changed);
    TComponents c;
    for (const QString& pair : names)
        c.Add(pair.section('=', 0, 0), pair.section('=', 1));
    TIniFile ini = IniFromText(before);
    QCOMPARE(SaveNames(c.Order, ini), changed);
    QCOMPARE(ini.Text(), after);
}

void NamesColorsTest::saveColorsKeepsTheRest()
{
    TComponents c;
    c.Add("a", {}, 255);
    c.Add("b", {}, 0xFF0000);
    c.Add("c", {}, 0xFFFFFFFF);
    TIniFile ini = IniFromText("[ColorDef]\nB=$00FF00\nz=9\n[Other]\na=1\n");
    SaveColors(c.Order, ini);
    QCOMPARE(ini.Text(), QStringLiteral("[ColorDef]\nb=16711680\nz=9\na=255\nc=-1\n[Other]\na=1\n"));
    // What is written reads back to the same colours.
    TComponents back;
    back.Add("a");
    back.Add("b");
    back.Add("c");
    ApplyColors(back.Order, ini);
    for (size_t i = 0; i < 3; ++i)
        QCOMPARE(back.Order[i]->Color, c.Order[i]->Color);
}

void NamesColorsTest::filesRoundTrip()
{
    QTemporaryDir dir;
    const QString tsl = dir.filePath("walker.tsl");
    const QString clr = dir.filePath("walker.clr");
    TComponents c;
    c.Add("body", "Body", 0x00FF00);
    c.Add("leg", "leg", 0x0000FF);
    QString error;
    QVERIFY(SaveNamesFile(c.Order, tsl, &error));
    QVERIFY(SaveColorsFile(c.Order, clr, &error));
    QCOMPARE(ReadText(tsl), QStringLiteral("[Translation]\nbody=Body\n"));

    TComponents fresh;
    TSelection* body = fresh.Add("body");
    TSelection* leg = fresh.Add("leg", "shown");
    LoadTranslationFile(fresh.Order, tsl);
    LoadColorFile(fresh.Order, clr);
    QCOMPARE(body->DisplayName, QStringLiteral("Body"));
    QCOMPARE(leg->DisplayName, QStringLiteral("leg"));
    QCOMPARE(body->Color, 0x00FF00u);
    QCOMPARE(leg->Color, 0x0000FFu);

    // A missing file reads as empty: names come back, colours stay.
    body->Color = 7;
    QCOMPARE(LoadTranslationFile(fresh.Order, dir.filePath("none.tsl")).size(), size_t(1));
    QCOMPARE(body->DisplayName, QStringLiteral("body"));
    QVERIFY(LoadColorFile(fresh.Order, dir.filePath("none.clr")).empty());
    QCOMPARE(body->Color, 7u);

    QVERIFY(!SaveColorsFile(c.Order, dir.filePath("no/such/folder.clr"), &error));
    QVERIFY(!error.isEmpty());
}

TORVANE_TEST(NamesColorsTest)
#include "NamesColorsTest.moc"
