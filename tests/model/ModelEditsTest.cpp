// The model's edits as recorded changes: what an edit of some components changed, and
// each side put back exactly, the hierarchy included; two changes in a row as one.
#include "ForestFixture.h"
#include "model/ModelEdits.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QTest>

class ModelEditsTest : public QObject {
    Q_OBJECT
private slots:
    void recordAndBothSides_data() { QVERIFY(AddTableRows("model/model-edits.table")); }
    void recordAndBothSides()
    {
        QFETCH(QString, edit);
        QFETCH(QStringList, kindNames);
        QFETCH(QString, shape);
        QFETCH(QStringList, touched);
        const auto in = [&kindNames](const char* name, unsigned kind) { return kindNames.contains(name) ? kind : 0u; };
        const unsigned kinds = in("linking", EditLinking) | in("names", EditNames) | in("colors", EditColors) |
                               in("hidden", EditHidden);
        TForest m("a b<a c<a d");
        m.Forest.Sort();
        const QString shapeBefore = m.Shape();
        const TModelRecorder recorder(m.Forest, {});
        if (edit == "move" || edit == "link") {
            const bool link = edit == "link";
            m.Forest.Rebuild({-1, 0, link ? 0 : -1, link ? 1 : -1}, {0, 1, 2, 3});
            if (link)
                m.Components[3].Pivot[1] = 2.5f;
        } else if (edit == "name") {
            m.Components[1].DisplayName = "Zed";
        } else if (edit == "color") {
            m.Components[2].Color = 0xFF;
            m.Components[0].Hidden = true;
        }
        m.Forest.Sort();
        const TModelChange change = recorder.Finish();
        QCOMPARE(change.Kinds, kinds);
        QStringList names;  // only what changed is kept
        for (const TSelection* s : change.Components)
            names << s->Name;
        QCOMPARE(names, touched);
        QCOMPARE(ApplyModelChange(change, true, m.Forest), edit == "move" || edit == "link");
        QCOMPARE(m.Shape(), shapeBefore);
        QVERIFY(recorder.Finish().Empty());  // every field as it was
        ApplyModelChange(change, false, m.Forest);
        QCOMPARE(m.Shape(), shape);
        QCOMPARE(recorder.Finish().Kinds, kinds);
    }

    // A change appended to another keeps the first side of the one and the last side of
    // the other for a component both touched: three pivot moves undo to the first place.
    void appendedChangesAreOne()
    {
        TForest m("a b");
        TModelChange all;
        for (float x : {1.f, 2.f, 3.f}) {
            const TModelRecorder r(m.Forest, {m.Node("a")});
            m.Components[0].Pivot[0] = x;
            all.Append(r.Finish());
        }
        const TModelRecorder r(m.Forest, {m.Node("b")});
        m.Components[1].Color = 7;
        all.Append(r.Finish());
        QCOMPARE(std::pair(all.Components.size(), all.Kinds), std::pair(size_t(2), unsigned(EditLinking | EditColors)));
        ApplyModelChange(all, true, m.Forest);
        QCOMPARE(std::pair(m.Components[0].Pivot[0], m.Components[1].Color), std::pair(0.f, 0u));
        ApplyModelChange(all, false, m.Forest);
        QCOMPARE(std::pair(m.Components[0].Pivot[0], m.Components[1].Color), std::pair(3.f, 7u));
    }
};

TORVANE_TEST(ModelEditsTest)
#include "ModelEditsTest.moc"
