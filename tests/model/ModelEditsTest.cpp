// The model's edits as states: what a difference says changed, and each side put back
// exactly, the hierarchy included.
#include "model/ComponentForest.h"
#include "model/ModelEdits.h"
#include "model/P3dmodell.h"
#include "support/TestMain.h"

#include <QTest>
#include <array>

namespace {
// a with b and c below it, d at the top level.
struct Four {
    std::array<TSelection, 4> S;
    TComponentForest Forest;
    Four()
    {
        const char* names[] = {"a", "b", "c", "d"};
        for (size_t i = 0; i < S.size(); ++i) {
            S[i].Name = S[i].DisplayName = QString::fromLatin1(names[i]);
            Forest.Add(&S[i]);
        }
        Forest.Rebuild({-1, 0, 0, -1}, {0, 1, 2, 3});
        Forest.Sort();
    }
    QString Parent(int i) const
    {
        const int p = Forest.Parent(i);
        return p < 0 ? QString() : Forest.Component(p)->Name;
    }
    QString Shape() const  // every component with its parent, in tree order
    {
        QStringList out;
        for (int n : Forest.TreeIndices())
            out << Forest.Component(n)->Name + '<' + Parent(n);
        return out.join(' ');
    }
};
}  // namespace

class ModelEditsTest : public QObject {
    Q_OBJECT
private slots:
    void diffAndBothSides_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<unsigned>("kinds");
        QTest::addColumn<QString>("shape");  // after the edit
        QTest::newRow("nothing") << "" << 0u << "a< b<a c<a d<";
        QTest::newRow("c up to the top") << "move" << unsigned(EditLinking) << "a< b<a c< d<";
        QTest::newRow("d under b, its pivot moved") << "link" << unsigned(EditLinking) << "a< b<a d<b c<a";
        QTest::newRow("a display name, sorted by it") << "name" << unsigned(EditNames) << "a< c<a b<a d<";
        QTest::newRow("colour and hidden") << "color" << unsigned(EditColors | EditHidden) << "a< b<a c<a d<";
    }
    void diffAndBothSides()
    {
        QFETCH(QString, edit); QFETCH(unsigned, kinds); QFETCH(QString, shape);
        Four m;
        const TModelSnapshot before = SnapshotModel(m.Forest);
        const QString shapeBefore = m.Shape();
        if (edit == "move" || edit == "link") {
            const bool link = edit == "link";
            m.Forest.Rebuild({-1, 0, link ? 0 : -1, link ? 1 : -1}, {0, 1, 2, 3});
            m.Forest.Sort();
            if (link)
                m.S[3].Pivot[1] = 2.5f;
        } else if (edit == "name") {
            m.S[1].DisplayName = "Zed";
        } else if (edit == "color") {
            m.S[2].Color = 0xFF;
            m.S[0].Hidden = true;
        }
        m.Forest.Sort();
        QCOMPARE(m.Shape(), shape);
        const TModelSnapshot after = SnapshotModel(m.Forest);
        const TModelChange change = DiffModel(before, after);
        QCOMPARE(change.Kinds, kinds);
        QCOMPARE(change.Components.size(), size_t(edit == "color" ? 2 : edit.isEmpty() ? 0 : 1));
        QCOMPARE(ApplyModelChange(change, true, m.Forest), edit == "move" || edit == "link");
        QCOMPARE(m.Shape(), shapeBefore);
        QCOMPARE(DiffModel(before, SnapshotModel(m.Forest)).Kinds, 0u);
        ApplyModelChange(change, false, m.Forest);
        QCOMPARE(m.Shape(), shape);
        QCOMPARE(DiffModel(after, SnapshotModel(m.Forest)).Kinds, 0u);
    }
};

TORVANE_TEST(ModelEditsTest)
#include "ModelEditsTest.moc"
