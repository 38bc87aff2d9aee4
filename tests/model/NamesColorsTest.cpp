#include "model/NamesColors.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
// Components from "Name" or "Name=DisplayName", coloured 1, 2, 3, ... in order.
struct TComponents {
    std::vector<std::unique_ptr<TSelection>> Owned;
    std::vector<TSelection*> Order;
    explicit TComponents(const QStringList& names)
    {
        for (const QString& n : names) {
            TSelection* s = Order.emplace_back(Owned.emplace_back(std::make_unique<TSelection>()).get());
            s->Name = n.section('=', 0, 0);
            s->DisplayName = n.section('=', -1);
            s->Color = uint32_t(Order.size());
        }
    }
    QStringList Shown() const
    {
        QStringList out;
        for (const TSelection* s : Order)
            out << s->DisplayName + '/' + QString::number(s->Color, 16);
        return out;
    }
};

TIniFile Ini(const QString& text)
{
    TIniFile ini;
    ini.SetText(text);
    return ini;
}
}  // namespace

class NamesColorsTest : public QObject {
    Q_OBJECT
private slots:
    void colorValue_data() { QVERIFY(AddTableRows("model/color-values.table")); }

    void colorValue()
    {
        QFETCH(QString, text); QFETCH(qint64, value);
        uint32_t color = 0xABCDEF;
        QCOMPARE(ParseColorValue(text, color), value >= 0);
        QCOMPARE(qint64(color), value >= 0 ? value : 0xABCDEF);  // untouched when invalid
    }

    void applyFromSections()
    {
        TComponents c({"Arm", "ARM", "leg=old shown name", "head", "F"});
        const TIniFile ini = Ini("[Other]\nhead=x\nleg=7\n[translation]\narm=Left arm\nHEAD=Head\n[More]\nleg=y\n"
                                 "[ColorDef]\narm=$0000FF\nhead=green\nleg=\nf=16711680\n");
        // Keys ignore case; a component without one shows its name again.
        QCOMPARE(ApplyTranslation(c.Order, ini), (std::vector<TSelection*>{c.Order[0], c.Order[1], c.Order[2], c.Order[3]}));
        QVERIFY(ApplyTranslation(c.Order, ini).empty());
        QCOMPARE(ApplyColors(c.Order, ini), (std::vector<TSelection*>{c.Order[0], c.Order[1], c.Order[4]}));
        QCOMPARE(c.Shown(), (QStringList{"Left arm/ff", "Left arm/ff", "leg/3", "Head/4", "F/ff0000"}));
    }

    // The index answers as a look-up in the file would: the first section of the name
    // and in it the first of keys that differ only in case; letters beyond ASCII too.
    void firstKeyAndSectionWin()
    {
        TComponents c({"arm", "Ärm", "leg", "tail"});
        const TIniFile ini = Ini("[Translation]\nARM=first\narm=second\närm=Umlaut\n; leg=comment\n=nokey\n"
                                 "[Translation]\nleg=second section\n[ColorDef]\nTAIL=0x10\ntail=0x20\n[colordef]\narm=5\n");
        ApplyTranslation(c.Order, ini);
        ApplyColors(c.Order, ini);
        QCOMPARE(c.Shown(), (QStringList{"first/1", "Umlaut/2", "leg/3", "tail/10"}));
    }

    void saveNames_data() { QVERIFY(AddTableRows("model/save-names.table")); }

    void saveNames()
    {
        QFETCH(QString, names); QFETCH(QString, before); QFETCH(QString, after);
        TComponents c(names.split(','));
        TIniFile ini = Ini(before);
        QCOMPARE(SaveNames(c.Order, ini), after != before);
        QCOMPARE(ini.Text(), after);
    }

    void saveColorsKeepsTheRest()
    {
        TComponents c({"a", "b", "c"});
        c.Order[0]->Color = 255;
        c.Order[1]->Color = 0xFF0000;
        c.Order[2]->Color = 0xFFFFFFFF;
        TIniFile ini = Ini("[ColorDef]\nB=$00FF00\nz=9\n[Other]\na=1\n");
        SaveColors(c.Order, ini);
        QCOMPARE(ini.Text(), QStringLiteral("[ColorDef]\nb=16711680\nz=9\na=255\nc=-1\n[Other]\na=1\n"));
        TComponents back({"a", "b", "c"});  // what is written reads back to the same colours
        ApplyColors(back.Order, ini);
        QCOMPARE(back.Shown(), c.Shown());
    }

    void files()
    {
        QTemporaryDir dir;
        TComponents c({"body=Body"});  // a missing file reads as empty: names come back, colours stay
        QVERIFY(LoadTranslationFile(c.Order, dir.filePath("none.tsl")).size() == 1 && LoadColorFile(c.Order, dir.filePath("none.clr")).empty());
        QCOMPARE(c.Shown(), QStringList{"body/1"});
        QString error;
        QVERIFY(!SaveColorsFile(c.Order, dir.filePath("no/such/folder.clr"), &error) && !error.isEmpty());
    }
};

TORVANE_TEST(NamesColorsTest)
#include "NamesColorsTest.moc"
