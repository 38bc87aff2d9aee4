#pragma once
// The benchmark's input files, made in memory by the test builders: an animation, a model
// whose named selections carry the same component names, and a linking file for it.
#include <QByteArray>

namespace BenchInputs {

// Component i's name. Later components get earlier names, so sorting the tree has work.
QByteArray ComponentName(int i, int count);

// count components x frames frames; every entry holds its own matrix.
QByteArray Animation(int components, int frames);

// count components x frames frames of rigid motions: every entry turns its component by
// an angle of its own about a tilted axis and moves it, so posing does real work and the
// picture keeps its size.
QByteArray PosedAnimation(int components, int frames);

// vertices points and polygons triangles and quads, split evenly over selections named
// components; each selection owns its share of points and polygons.
QByteArray Model(int vertices, int polygons, int selections);

// As Model, with quads only.
QByteArray QuadModel(int vertices, int quads, int selections);

// Links the selections of Model() into a tree of fan-out 3 (component 0 at the top) with
// a pivot each.
QByteArray Linking(int selections);

// count selections of one point each, named by ComponentName; no polygons.
QByteArray ManyComponents(int count);

// count selections named by ComponentName that all hold the same triangle: a model of
// many components in a few kilobytes per thousand.
QByteArray SharedComponents(int count);

// A main model of count triangles, the first proxies of them proxy selections that each
// name a sub-model file of their own ("proxy:part_NNNN.01"), none of which the benchmark
// writes; the others plain selections ("part_NNNN").
QByteArray MissingProxies(int count, int proxies);

// Links the selections of ManyComponents(count) into one chain (each under the one
// before), or, with flat set, names no parent for any of them.
QByteArray ChainLinking(int count, bool flat);

// A main model of count proxy triangles, each its own selection naming the sub-model file
// subName ("proxy:<subName>.<2 letters>").
QByteArray ProxyModel(int count, const QByteArray& subName);

// An animation without components: a header and frames 4-byte times, bytes long.
QByteArray EmptyFrames(qint64 bytes);

}  // namespace BenchInputs
