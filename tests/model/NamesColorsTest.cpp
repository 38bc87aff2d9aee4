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
    // The order, read only, as the files are saved from it.
    std::vector<const TSelection*> ReadOnly() const { return {Order.begin(), Order.end()}; }
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
        QFETCH(QString, text);
        QFETCH(qint64, value);
        uint32_t color = 0xABCDEF;
        QCOMPARE(ParseColorValue(text, color), value >= 0);
        QCOMPARE(qint64(color), value >= 0 ? value : 0xABCDEF);  // untouched when invalid
    }

    void applyFromFiles_data() { QVERIFY(AddTableRows("model/names-colors.table")); }
    void applyFromFiles()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, shown);
        QFETCH(QString, file);
        TComponents c(names);
        const TIniFile ini = Ini(file);
        ApplyTranslation(c.Order, ini);
        ApplyColors(c.Order, ini);
        QCOMPARE(c.Shown(), shown);
    }

    void saveNames_data() { QVERIFY(AddTableRows("model/save-names.table")); }

    void saveNames()
    {
        QFETCH(QString, names);
        QFETCH(QString, before);
        QFETCH(QString, after);
        TComponents c(names.split(','));
        TIniFile ini = Ini(before);
        QCOMPARE(SaveNames(c.ReadOnly(), ini), after != before);
        QCOMPARE(ini.Text(), after);
    }

    void saveColorsKeepsTheRest()
    {
        TComponents c({"a", "b", "c"});
        c.Order[0]->Color = 255;
        c.Order[1]->Color = 0xFF0000;
        c.Order[2]->Color = 0xFFFFFFFF;
        TIniFile ini = Ini("[ColorDef]\nB=$00FF00\nz=9\n[Other]\na=1\n");
        SaveColors(c.ReadOnly(), ini);
        QCOMPARE(ini.Text(), QStringLiteral("[ColorDef]\nb=16711680\nz=9\na=255\nc=-1\n[Other]\na=1\n"));
    }

    void files()
    {
        QTemporaryDir dir;
        TComponents c({"body=Body"});  // a missing file reads as empty: names come back, colours stay
        LoadTranslationFile(c.Order, dir.filePath("none.tsl"));
        LoadColorFile(c.Order, dir.filePath("none.clr"));
        QCOMPARE(c.Shown(), QStringList{"body/1"});
        QString error;
        QVERIFY(!SaveColorsFile(c.ReadOnly(), dir.filePath("no/such/folder.clr"), &error) && !error.isEmpty());
    }
};

TORVANE_TEST(NamesColorsTest)
#include "NamesColorsTest.moc"
