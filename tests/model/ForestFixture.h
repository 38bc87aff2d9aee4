#pragma once
// A forest from "name[=text][<parent]" words, in file order (nodes appended under their
// parents, not sorted); parents are named before their children. Component i is the
// i-th word. It hears its own changes.
#include "model/ComponentForest.h"
#include "model/P3dModel.h"

#include <QStringList>
#include <deque>

struct TForest : TForestListener {
    std::deque<TSelection> Components;
    QStringList Heard;  // what the listener was told
    TComponentForest Forest;
    explicit TForest(const QString& words)
    {
        std::vector<int> parent, order;
        for (const QString& word : words.split(' ', Qt::SkipEmptyParts)) {
            const QStringList link = word.split('<');
            const QStringList named = link[0].split('=');
            TSelection& s = Components.emplace_back();
            s.Name = named[0];
            s.DisplayName = named.value(1, named[0]);
            order.push_back(Forest.Add(&s));
            parent.push_back(link.size() > 1 ? Forest.Find(link[1]) : -1);
        }
        Forest.Rebuild(parent, order);
        Forest.AddListener(this);
    }
    int Node(const QString& name) const { return name.isEmpty() ? -1 : Forest.Find(name); }
    // Tree order, a dash per level, a star for hidden.
    QString Shape() const
    {
        QStringList out;
        for (const TComponentNode& n : Forest.Nodes())
            out << QString(n.Level, '-') + n.Component->Name + (n.Component->Hidden ? "*" : "");
        return out.join(' ');
    }
    void ForestAboutToChange(TForestChange c) override { Heard << QString("<%1").arg(int(c)); }
    void ForestChanged(TForestChange c) override { Heard << QString(">%1").arg(int(c)); }
    void ForestGone() override { Heard << "gone"; }
};
