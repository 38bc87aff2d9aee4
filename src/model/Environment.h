#pragma once
// The environment model: a second model shown around the edited one, shifted so that the
// right-angle corner of one of its proxies sits at the edited model's origin. It is only
// drawn; none of its selections becomes a component.
#include "model/P3dModel.h"
#include "platform/Progress.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace EnvironmentText {
inline const char* const NoMainModel = "Load Main-P3d file first!";
inline const char* const NoProxies = "Enviromentmodell has no proxys to replace!";
inline const char* const NoOffset = "Offset from enviroment model not found!";
}  // namespace EnvironmentText

// The environment in the list, or null.
TP3dModell* FindEnvironment(const TModelList& models);
// Removes (and frees) the first environment of the list with the sub-models of its
// proxies; false when there is none.
bool RemoveEnvironment(TModelList& models);

// The selections whose name contains "proxy:" (case-sensitive), in file order.
std::vector<TSelection*> EnvironmentProxies(const TP3dModell& env);

struct TEnvironmentPlacement {
    bool Found = false;  // the offset was found and applied
    int PolygonIndex = -1;  // the proxy's triangle, -1 when the proxy holds no polygon
    TVec3 Offset;  // the right-angle corner taken off every point
};

// Places the environment for the chosen proxy: its first member polygon (in polygon order)
// is hidden and its corners 0, 1, 2 become proxy corners; when the three corners have a
// right angle, every display point becomes the stored point minus that corner. Otherwise
// (no member polygon, no right angle, corners naming no point) the display points stay
// as they are and Found is false: the caller shows EnvironmentText::NoOffset.
TEnvironmentPlacement PlaceEnvironment(TP3dModell& env, const TSelection& proxy);

// The sub-models of the environment's proxies but the one the edited model replaces,
// appended to models, marked as environment and shifted by offset as the environment is
// shown. Proxies whose file cannot be read are left out silently. False when progress was
// cancelled (what was appended stays).
bool LoadEnvironmentProxies(TModelList& models, TP3dModell& env, const TSelection* replaced, const TVec3& offset,
                            TProgress* progress = nullptr);

// What a load of an environment came to.
enum class TEnvironmentLoad { Loaded, NoMainModel, NoProxies, NotChosen, NoOffset, Cancelled };

// "Load Environment P3d..." after its file dialog: the file is read, its proxy selections
// are offered to choose (an index into the names, or -1), the environment is placed on the
// chosen one with its other proxies' sub-models, and then takes the place of the one
// shown so far (removedOld tells). The file and the sub-models are read apart from what is
// shown, through run (before and after the question), so that Cancelled changes nothing.
// Each text the editor shows goes to message. Without a main model (hasMainModel false)
// nothing is loaded. NoProxies and NotChosen leave no environment; NoOffset leaves it
// unshifted.
TEnvironmentLoad LoadEnvironmentModel(TModelList& models, bool hasMainModel, const QString& path,
                                      const std::function<int(const QStringList&)>& choose,
                                      const std::function<void(const QString&)>& message, bool* removedOld = nullptr,
                                      const TLongRun& run = RunInPlace);
