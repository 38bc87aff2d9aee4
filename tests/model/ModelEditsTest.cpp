// The model's edits as states: what a difference says changed, and each side put back
// exactly, the hierarchy included.
#include "ForestFixture.h"
#include "model/ModelEdits.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QTest>

class ModelEditsTest : public QObject {
    Q_OBJECT
private slots:
    void diffAndBothSides_data() { QVERIFY(AddTableRows("model/model-edits.table")); }
    void diffAndBothSides()
    {
        QFETCH(QString, edit); QFETCH(QStringList, kindNames); QFETCH(QString, shape);
        const auto in = [&kindNames](const char* name, unsigned kind) { return kindNames.contains(name) ? kind : 0u; };
        const unsigned kinds = in("linking", EditLinking) | in("names", EditNames) | in("colors", EditColors) | in("hidden", EditHidden);
        TForest m("a b<a c<a d");
        m.Forest.Sort();
        const TModelSnapshot before = SnapshotModel(m.Forest);
        const QString shapeBefore = m.Shape();
        if (edit == "move" || edit == "link") {
            const bool link = edit == "link";
            m.Forest.Rebuild({-1, 0, link ? 0 : -1, link ? 1 : -1}, {0, 1, 2, 3});
            m.Forest.Sort();
            if (link)
                m.Components[3].Pivot[1] = 2.5f;
        } else if (edit == "name") {
            m.Components[1].DisplayName = "Zed";
        } else if (edit == "color") {
            m.Components[2].Color = 0xFF;
            m.Components[0].Hidden = true;
        }
        m.Forest.Sort();
        const TModelSnapshot after = SnapshotModel(m.Forest);
        const TModelChange change = DiffModel(before, after);
        QCOMPARE(change.Kinds, kinds);
        QCOMPARE(ApplyModelChange(change, true, m.Forest), edit == "move" || edit == "link");
        QCOMPARE(m.Shape(), shapeBefore);
        QCOMPARE(DiffModel(before, SnapshotModel(m.Forest)).Kinds, 0u);
        ApplyModelChange(change, false, m.Forest);
        QCOMPARE(m.Shape(), shape);
        QCOMPARE(DiffModel(after, SnapshotModel(m.Forest)).Kinds, 0u);
    }

    // A kind is unsaved while the components differ from its file in it: an edit undone
    // back to what the file holds leaves nothing to save, and a save moves what "back" is.
    void unsavedFollowsTheFiles()
    {
        TForest m("a b<a c");
        m.Forest.Sort();
        TModelFileStates files;
        files.Saved(TModelFileStates::FileKinds, SnapshotModel(m.Forest));
        const auto unsaved = [&] { return files.Unsaved(SnapshotModel(m.Forest)); };
        m.Components[1].Pivot[0] = 1;
        m.Components[2].DisplayName = "Bee";
        QCOMPARE(unsaved(), unsigned(EditLinking | EditNames));
        m.Components[1].Pivot[0] = 0;  // the pivot back where the file has it
        QCOMPARE(unsaved(), unsigned(EditNames));
        files.Saved(EditNames, SnapshotModel(m.Forest));
        QCOMPARE(unsaved(), 0u);
    }
};

TORVANE_TEST(ModelEditsTest)
#include "ModelEditsTest.moc"
