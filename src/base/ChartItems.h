#pragma once
// The item list of a 2D chart: moves, line segments, marks and texts in chart coordinates,
// each in the drawing colour that was current when it was added. Plain C++ without any
// window code, so the geometry that fills a view can be computed and tested on its own.
//
// Storage is compact for speed: one flat array of items (point + kind + small payload) and
// a short list of colour runs instead of a colour per item. Clear() keeps the capacity, so
// a view that is rebuilt on every refresh allocates nothing once it has reached its size.
// The bounding box and the positions of the few marks and texts are kept as items are
// added, so neither needs another pass over hundreds of thousands of segments.
//
// Each item also carries a one-byte class tag (0 unless set), which owners use to select
// groups of items: tag them by area, move them, and give a class a colour of its own that
// overrides the colour runs for its items.
//
// Model outlines, hundreds of thousands of polygons, do not go through items: they are
// drawn from a point array (each model's points projected once into the view) and polygon
// index lists into it, in batches of one colour. A batch may reuse an index range another
// batch appended, so a sub-model placed many times keeps one list. Its points are kept
// once too, unprojected, and each place is a transform that projects them as they are
// drawn: projected points per place cost a few hundred megabytes with a couple of hundred
// places of a large sub-model. Outlines are drawn before the items' lines; they count in
// LineCount() and the bounding box like items.
#include <array>
#include <cmath>
#include <cstdint>
#include <algorithm>
#include <limits>
#include <string>
#include <vector>

enum class TChartItemKind : uint8_t {
    Move,  // starts a new polyline; a non-finite move or line also lands here as a pen lift
    Line,  // a segment from the previous point to this one
    Mark,  // Aux = mark code
    Text,  // Aux = index into Texts
    // Aux = mark code. A mark that is also a point of a line: a segment joins it to the
    // item before when that is a joined mark too. A series of them is a line with a mark
    // on every point at the cost of one item each (a frame timer holds millions).
    JoinedMark,
};

// Whether items of kind k are marks (drawn as one, found by NearestMark).
inline bool IsMarkKind(TChartItemKind k) { return k == TChartItemKind::Mark || k == TChartItemKind::JoinedMark; }

struct TChartItem {
    double X = 0, Y = 0;
    uint32_t Aux = 0;
    TChartItemKind Kind = TChartItemKind::Move;
    uint8_t Class = 0;  // fits in the padding: the item stays 24 bytes
};

// Items from First on are drawn in Color (0x00BBGGRR), up to the next run.
struct TChartColorRun {
    uint32_t Color = 0;
    uint32_t First = 0;
};

struct TChartText {
    std::string Text;  // UTF-8
    int Size = 8;  // in points
};

struct TChartBox {
    double MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;

    // Widened to hold (x, y); a NaN coordinate leaves its side as it is.
    void Take(double x, double y)
    {
        MinX = std::min(MinX, x);
        MaxX = std::max(MaxX, x);
        MinY = std::min(MinY, y);
        MaxY = std::max(MaxY, y);
    }
};

// Polygons of index range [First, End) of the outline indices, corners taken from the
// outline points from PointBase on, or from Placement's points when it is one, drawn in
// Color (0x00BBGGRR).
struct TChartOutlineBatch {
    static constexpr uint32_t NoPlacement = ~0u;
    uint32_t Color = 0;
    uint32_t PointBase = 0;
    uint32_t First = 0, End = 0;
    uint32_t Placement = NoPlacement;
};

// A block of SourceCount source points (see AddOutlineSource) put in place: the chart
// coordinates of source point s are
//   x = s.x * U[0] + s.y * U[1] + s.z * U[2] + U[3] + U[4], y likewise with V,
// summed from left to right (so a transform's row and a shift added after it give the same
// doubles as when the point is transformed first and then taken into the view).
struct TChartPlacement {
    uint32_t SourceBase = 0, SourceCount = 0;
    std::array<double, 5> U{}, V{};

    static double Coordinate(float x, float y, float z, const std::array<double, 5>& r)
    {
        return double(x) * r[0] + double(y) * r[1] + double(z) * r[2] + r[3] + r[4];
    }
};

// A range of chart coordinates: (X1, Y1) lower left, (X2, Y2) upper right.
struct TChartRange {
    double X1 = 0, Y1 = 0, X2 = 1, Y2 = 1;
};

class TChartItems {
public:
    // Removes every item; the drawing colour stays as it is and the memory is kept.
    void Clear()
    {
        BoxDirty_ = false;
        Items_.clear();
        Runs_.clear();
        Texts_.clear();
        Decorations_.clear();
        LineCount_ = 0;
        PenDown_ = false;
        HasBox_ = false;
        OutPoints_.clear();
        OutIndex_.clear();
        OutBatches_.clear();
        OutSource_.clear();
        Placements_.clear();
        HasOutBox_ = false;
    }

    // Room for items, of which decorations are marks or texts.
    void Reserve(size_t items, size_t decorations = 0)
    {
        Items_.reserve(items);
        Decorations_.reserve(decorations);
    }

    // Bytes held for the items and their side lists (capacity, not only what is used).
    size_t MemoryBytes() const
    {
        size_t texts = 0;
        for (const TChartText& t : Texts_)
            texts += sizeof t + t.Text.capacity();
        return Items_.capacity() * sizeof(TChartItem) + Runs_.capacity() * sizeof(TChartColorRun) +
               Decorations_.capacity() * sizeof(uint32_t) + texts;
    }

    // The colour of the items added from now on (0x00BBGGRR).
    void SetColor(uint32_t color) { Color_ = color & 0x00FFFFFFu; }
    uint32_t Color() const { return Color_; }

    void MoveTo(double x, double y)
    {
        if (!Finite(x, y)) {
            PenLift();
            return;
        }
        AddPoint(x, y, TChartItemKind::Move, 0);
        PenDown_ = true;
    }

    // A line from the last point. Without a valid last point (nothing drawn yet, or a
    // non-finite point just before) it only moves there, so no stray segment appears.
    void LineTo(double x, double y)
    {
        if (!Finite(x, y)) {
            PenLift();
            return;
        }
        if (!PenDown_) {
            MoveTo(x, y);
            return;
        }
        AddPoint(x, y, TChartItemKind::Line, 0);
        ++LineCount_;
    }

    // A mark at a point; a non-finite point is dropped. The pen position is not changed.
    void Mark(double x, double y, int code)
    {
        if (!Finite(x, y))
            return;
        Decorations_.push_back(static_cast<uint32_t>(Items_.size()));
        AddPoint(x, y, TChartItemKind::Mark, static_cast<uint32_t>(code));
    }

    // A mark joined by a segment to the joined mark added just before it, if any. A
    // non-finite point is kept as an item, so the series keeps one item per point, but it
    // is neither drawn nor joined and breaks the line.
    void JoinedMark(double x, double y, int code)
    {
        const bool joins = !Items_.empty() && Items_.back().Kind == TChartItemKind::JoinedMark &&
                           Finite(Items_.back().X, Items_.back().Y) && Finite(x, y);
        Decorations_.push_back(static_cast<uint32_t>(Items_.size()));
        if (Finite(x, y)) {
            AddPoint(x, y, TChartItemKind::JoinedMark, static_cast<uint32_t>(code));
        } else {
            StartRun();
            Items_.push_back({x, y, static_cast<uint32_t>(code), TChartItemKind::JoinedMark});
        }
        if (joins)
            ++LineCount_;
    }

    void Text(double x, double y, const std::string& text, int size)
    {
        if (!Finite(x, y))
            return;
        Texts_.push_back({text, size});
        Decorations_.push_back(static_cast<uint32_t>(Items_.size()));
        AddPoint(x, y, TChartItemKind::Text, static_cast<uint32_t>(Texts_.size() - 1));
    }

    // A polyline of n points given as x0, y0, x1, y1, ...: the same items as a MoveTo and
    // n - 1 LineTo calls. Outlines of whole models come through here, so the usual case
    // (every point finite) appends in one go without the per-point checks.
    void Polyline(const double* xy, int n)
    {
        if (n <= 0)
            return;
        // x * 0 is 0 for every finite x and NaN otherwise: one test for all points, no branch
        // per coordinate.
        double zero = 0;
        for (int i = 0; i < 2 * n; ++i)
            zero += xy[i] * 0.0;
        if (!(zero == 0)) {
            MoveTo(xy[0], xy[1]);
            for (int i = 1; i < n; ++i)
                LineTo(xy[2 * i], xy[2 * i + 1]);
            return;
        }
        StartRun();
        if (!HasBox_)
            Box_ = {xy[0], xy[1], xy[0], xy[1]};
        for (int i = 0; i < n; ++i) {
            const double x = xy[2 * i], y = xy[2 * i + 1];
            Items_.push_back({x, y, 0, i == 0 ? TChartItemKind::Move : TChartItemKind::Line});
            Box_.Take(x, y);
        }
        HasBox_ = true;
        LineCount_ += n - 1;
        PenDown_ = true;
    }

    // ---- Outlines

    // Marks the first corner of a polygon in the outline indices.
    static constexpr uint32_t OutlineStart = 0x80000000u;

    // Appends n outline points (x, y each) for the caller to fill; returns the index of the
    // first. Their values are read when a batch that uses them is added.
    uint32_t AddOutlinePoints(size_t n, double** xy)
    {
        const size_t first = OutPoints_.size() / 2;
        OutPoints_.resize(OutPoints_.size() + 2 * n);
        *xy = OutPoints_.data() + 2 * first;
        return static_cast<uint32_t>(first);
    }
    // Appends a polygon of n corners, indices relative to a batch's point base.
    void AddOutlinePolygon(const uint32_t* corners, uint32_t n)
    {
        if (n == 0)
            return;
        OutIndex_.push_back(corners[0] | OutlineStart);
        OutIndex_.insert(OutIndex_.end(), corners + 1, corners + n);
    }
    // Appends indices as another list holds them (first corners marked).
    void AddOutlineIndices(const uint32_t* indices, size_t n) { OutIndex_.insert(OutIndex_.end(), indices, indices + n); }
    uint32_t OutlineIndexCount() const { return static_cast<uint32_t>(OutIndex_.size()); }
    void ReserveOutlines(size_t points, size_t indices)
    {
        OutPoints_.reserve(OutPoints_.size() + 2 * points);
        OutIndex_.reserve(OutIndex_.size() + indices);
    }

    // Appends a block of n source points for the caller to fill: n x, then n y, then n z
    // (one coordinate after the other, so that placing them is a plain loop the compiler
    // turns into vector code). Returns the block's base for a placement.
    uint32_t AddOutlineSource(size_t n, float** xyz)
    {
        const size_t first = OutSource_.size();
        OutSource_.resize(OutSource_.size() + 3 * n);
        *xyz = OutSource_.data() + first;
        return static_cast<uint32_t>(first);
    }
    // Returns the placement's number for AddPlacedOutlineBatch. Its source points must exist.
    uint32_t AddOutlinePlacement(const TChartPlacement& p)
    {
        Placements_.push_back(p);
        return static_cast<uint32_t>(Placements_.size() - 1);
    }
    // AddOutlineBatch with the corners taken from a placement's points: indices must lie
    // within its source count.
    void AddPlacedOutlineBatch(uint32_t placement, uint32_t first, uint32_t end)
    {
        AddBatch(TChartOutlineBatch::NoPlacement, first, end, nullptr, placement);
    }
    const std::vector<TChartPlacement>& OutlinePlacements() const { return Placements_; }
    // The chart coordinates of a placement's points (x, y each), SourceCount of them.
    void PlacedPoints(uint32_t placement, double* xy) const
    {
        const TChartPlacement& pl = Placements_[placement];
        const size_t n = pl.SourceCount;
        const float* x = OutSource_.data() + pl.SourceBase;
        const float* y = x + n;
        const float* z = y + n;
        for (size_t i = 0; i < n; ++i) {
            xy[2 * i] = TChartPlacement::Coordinate(x[i], y[i], z[i], pl.U);
            xy[2 * i + 1] = TChartPlacement::Coordinate(x[i], y[i], z[i], pl.V);
        }
    }
    // The batch's points: the outline points from its base on, or its placement's points
    // worked out into scratch.
    const double* BatchPoints(const TChartOutlineBatch& b, std::vector<double>& scratch) const
    {
        if (b.Placement == TChartOutlineBatch::NoPlacement)
            return OutPoints_.data() + 2 * size_t(b.PointBase);
        scratch.resize(2 * size_t(Placements_[b.Placement].SourceCount));
        PlacedPoints(b.Placement, scratch.data());
        return scratch.data();
    }

    // Draws the polygons of indices [first, end) with corners from the points at pointBase
    // on, in the drawing colour: an open polyline each, a segment wherever two neighbouring
    // corners are finite, as Polyline draws it. Indices must lie within the points.
    void AddOutlineBatch(uint32_t pointBase, uint32_t first, uint32_t end) { AddBatch(pointBase, first, end, nullptr); }
    // The same when the caller knows that every corner of the batch is finite and their
    // box (taken in corner order): the pass over the corners is saved.
    void AddOutlineBatch(uint32_t pointBase, uint32_t first, uint32_t end, const TChartBox& finiteBox)
    {
        AddBatch(pointBase, first, end, &finiteBox);
    }

    // The batches from index first on are drawn before the others (what is drawn under a
    // picture after its range was fitted to it).
    void DrawOutlinesFirst(size_t first)
    {
        if (first < OutBatches_.size())
            std::rotate(OutBatches_.begin(), OutBatches_.begin() + std::ptrdiff_t(first), OutBatches_.end());
    }

    const std::vector<double>& OutlinePoints() const { return OutPoints_; }
    const std::vector<uint32_t>& OutlineIndex() const { return OutIndex_; }
    const std::vector<TChartOutlineBatch>& OutlineBatches() const { return OutBatches_; }

    // Calls f(x0, y0, x1, y1, colour) for every line segment in drawing order (outlines
    // first, then the items' lines), in chart coordinates; the colour is the run's or
    // batch's, class colours aside.
    template <class F>
    void ForEachSegment(F&& f) const
    {
        std::vector<double> placed;
        for (const TChartOutlineBatch& b : OutBatches_) {
            const double* p = BatchPoints(b, placed);
            bool prevOk = false;
            double px = 0, py = 0;
            for (uint32_t i = b.First; i < b.End; ++i) {
                const uint32_t k = OutIndex_[i];
                const double x = p[2 * size_t(k & ~OutlineStart)], y = p[2 * size_t(k & ~OutlineStart) + 1];
                const bool ok = Finite(x, y);
                if (ok && prevOk && !(k & OutlineStart))
                    f(px, py, x, y, b.Color);
                prevOk = ok;
                px = x;
                py = y;
            }
        }
        bool havePrev = false;
        double px = 0, py = 0;
        for (size_t r = 0; r < Runs_.size(); ++r) {
            const size_t end = r + 1 < Runs_.size() ? Runs_[r + 1].First : Items_.size();
            for (size_t i = Runs_[r].First; i < end; ++i) {
                const TChartItem& it = Items_[i];
                if (it.Kind != TChartItemKind::Move && it.Kind != TChartItemKind::Line)
                    continue;
                const bool ok = Finite(it.X, it.Y);
                if (it.Kind == TChartItemKind::Line && ok && havePrev)
                    f(px, py, it.X, it.Y, Runs_[r].Color);
                havePrev = ok;
                px = it.X;
                py = it.Y;
            }
        }
    }

    // The bytes the list holds (capacities), for measuring what a view keeps.
    size_t HeldBytes() const
    {
        return Items_.capacity() * sizeof(TChartItem) + Runs_.capacity() * sizeof(TChartColorRun) +
               Decorations_.capacity() * sizeof(uint32_t) + Texts_.capacity() * sizeof(TChartText) +
               OutPoints_.capacity() * sizeof(double) + OutIndex_.capacity() * sizeof(uint32_t) +
               OutBatches_.capacity() * sizeof(TChartOutlineBatch) + OutSource_.capacity() * sizeof(float) +
               Placements_.capacity() * sizeof(TChartPlacement) + Scratch_.capacity() * sizeof(double);
    }

    // The number of line segments.
    int LineCount() const { return LineCount_; }
    bool IsEmpty() const { return Items_.empty() && OutBatches_.empty(); }
    const std::vector<TChartItem>& Items() const { return Items_; }
    const std::vector<TChartColorRun>& Runs() const { return Runs_; }
    const std::vector<TChartText>& Texts() const { return Texts_; }
    // Indices of the mark and text items, ascending.
    const std::vector<uint32_t>& Decorations() const { return Decorations_; }

    // Lowest and highest x and y over all items (pen lifts excluded). False when there is
    // no item with a position.
    bool BoundingBox(TChartBox& box) const
    {
        if (BoxDirty_)
            RecomputeBox();
        if (HasBox_ && HasOutBox_)
            // Ties keep the outlines' value (a zero's sign), as if the items came after them.
            box = {std::min(OutBox_.MinX, Box_.MinX), std::min(OutBox_.MinY, Box_.MinY), std::max(OutBox_.MaxX, Box_.MaxX),
                   std::max(OutBox_.MaxY, Box_.MaxY)};
        else if (HasBox_ || HasOutBox_)
            box = HasBox_ ? Box_ : OutBox_;
        return HasBox_ || HasOutBox_;
    }

    // ---- Editing items in place

    // Removes the last item (a mark or text with its decoration entry; a colour run that
    // started there goes too). The pen stays down when a point remains to draw from.
    void RemoveLast()
    {
        if (Items_.empty())
            return;
        const TChartItem last = Items_.back();
        Items_.pop_back();
        if (last.Kind == TChartItemKind::Line)
            --LineCount_;
        if (last.Kind == TChartItemKind::JoinedMark && !Items_.empty() && Items_.back().Kind == TChartItemKind::JoinedMark &&
            Finite(last.X, last.Y) && Finite(Items_.back().X, Items_.back().Y))
            --LineCount_;
        if ((IsMarkKind(last.Kind) || last.Kind == TChartItemKind::Text) && !Decorations_.empty())
            Decorations_.pop_back();
        if (last.Kind == TChartItemKind::Text && !Texts_.empty())
            Texts_.pop_back();
        if (!Runs_.empty() && Runs_.back().First >= Items_.size())
            Runs_.pop_back();
        PenDown_ = false;
        for (size_t i = Items_.size(); i-- > 0;) {
            const TChartItem& it = Items_[i];
            if (it.Kind == TChartItemKind::Move || it.Kind == TChartItemKind::Line) {
                PenDown_ = Finite(it.X, it.Y);
                break;
            }
        }
        BoxDirty_ = true;
    }

    void SetY(size_t i, double y)
    {
        if (i < Items_.size() && std::isfinite(Items_[i].Y) && std::isfinite(y)) {
            Items_[i].Y = y;
            BoxDirty_ = true;
        }
    }

    // Tags every item with cls.
    void MarkAll(uint8_t cls)
    {
        for (TChartItem& it : Items_)
            it.Class = cls;
    }

    void SetClass(size_t i, uint8_t cls)
    {
        if (i < Items_.size())
            Items_[i].Class = cls;
    }

    // Tags the items from index `from` on whose point lies in the rectangle spanned by the
    // two corners (edges included); returns how many.
    int MarkInRect(double x1, double y1, double x2, double y2, uint8_t cls, size_t from = 0)
    {
        if (x2 < x1)
            std::swap(x1, x2);
        if (y2 < y1)
            std::swap(y1, y2);
        int n = 0;
        for (size_t i = from; i < Items_.size(); ++i) {
            TChartItem& it = Items_[i];
            if (it.X >= x1 && it.X <= x2 && it.Y >= y1 && it.Y <= y2) {
                it.Class = cls;
                ++n;
            }
        }
        return n;
    }

    // Moves every item of class cls up by dy (pen lifts stay where they are).
    void ShiftClassY(uint8_t cls, double dy)
    {
        if (!std::isfinite(dy))
            return;
        for (TChartItem& it : Items_) {
            if (it.Class == cls && std::isfinite(it.Y))
                it.Y += dy;
        }
        BoxDirty_ = true;
    }

    // Items of class cls are drawn in color (0x00BBGGRR) from now on, whatever run they
    // are in, also those tagged later; ClearClassColors goes back to the runs alone.
    void SetClassColor(uint8_t cls, uint32_t color)
    {
        ClassColors_[cls] = (color & 0x00FFFFFFu) | kClassColorSet;
        HasClassColors_ = true;
    }
    void ClearClassColors()
    {
        ClassColors_.fill(0);
        HasClassColors_ = false;
    }
    bool HasClassColors() const { return HasClassColors_; }
    // The colour of an item of class cls that is in a run of colour runColor.
    uint32_t ColorOf(uint8_t cls, uint32_t runColor) const
    {
        const uint32_t c = ClassColors_[cls];
        return (c & kClassColorSet) ? (c & 0x00FFFFFFu) : runColor;
    }

    static bool Finite(double x, double y) { return std::isfinite(x) && std::isfinite(y); }

private:
    static constexpr uint32_t kClassColorSet = 0x01000000u;

    void RecomputeBox() const
    {
        HasBox_ = false;
        for (const TChartItem& it : Items_) {
            if (!Finite(it.X, it.Y))
                continue;
            if (!HasBox_) {
                Box_ = {it.X, it.Y, it.X, it.Y};
                HasBox_ = true;
                continue;
            }
            Box_.MinX = std::min(Box_.MinX, it.X);
            Box_.MaxX = std::max(Box_.MaxX, it.X);
            Box_.MinY = std::min(Box_.MinY, it.Y);
            Box_.MaxY = std::max(Box_.MaxY, it.Y);
        }
        BoxDirty_ = false;
    }

    void PenLift()
    {
        if (PenDown_) {
            constexpr double nan = std::numeric_limits<double>::quiet_NaN();
            StartRun();
            Items_.push_back({nan, nan, 0, TChartItemKind::Move});
        }
        PenDown_ = false;
    }

    void AddBatch(uint32_t pointBase, uint32_t first, uint32_t end, const TChartBox* finiteBox,
                  uint32_t placement = TChartOutlineBatch::NoPlacement)
    {
        if (first >= end)
            return;
        const double* p = BatchPoints({0, pointBase, first, end, placement}, Scratch_);
        constexpr double inf = std::numeric_limits<double>::infinity();
        TChartBox box = HasOutBox_ ? OutBox_ : TChartBox{inf, inf, -inf, -inf};
        int lines = 0;
        // Usually every corner is finite: then the box is a plain min and max, and every
        // corner but a polygon's first ends a segment. x * 0 is 0 only for finite x.
        double zero = 0;
        uint32_t starts = 0;
        TChartBox finite = box;
        if (finiteBox) {
            for (uint32_t i = first; i < end; ++i)
                starts += OutIndex_[i] >> 31;
            finite.MinX = std::min(finite.MinX, finiteBox->MinX);
            finite.MaxX = std::max(finite.MaxX, finiteBox->MaxX);
            finite.MinY = std::min(finite.MinY, finiteBox->MinY);
            finite.MaxY = std::max(finite.MaxY, finiteBox->MaxY);
        } else {
            for (uint32_t i = first; i < end; ++i) {
                const uint32_t k = OutIndex_[i];
                const double x = p[2 * size_t(k & ~OutlineStart)], y = p[2 * size_t(k & ~OutlineStart) + 1];
                zero += x * 0.0 + y * 0.0;
                starts += k >> 31;
                finite.Take(x, y);
            }
        }
        const bool allFinite = zero == 0;
        if (allFinite) {
            box = finite;
            lines = static_cast<int>(end - first - starts);
        }
        bool prevOk = false;
        for (uint32_t i = allFinite ? end : first; i < end; ++i) {
            const uint32_t k = OutIndex_[i];
            const double x = p[2 * size_t(k & ~OutlineStart)], y = p[2 * size_t(k & ~OutlineStart) + 1];
            const bool ok = Finite(x, y);
            if (ok) {
                box.Take(x, y);
                lines += prevOk && !(k & OutlineStart);
            }
            prevOk = ok;
        }
        if (box.MinX <= box.MaxX) {
            OutBox_ = box;
            HasOutBox_ = true;
        }
        LineCount_ += lines;
        if (!OutBatches_.empty()) {
            TChartOutlineBatch& last = OutBatches_.back();
            if (last.Color == Color_ && last.PointBase == pointBase && last.Placement == placement && last.End == first) {
                last.End = end;
                return;
            }
        }
        OutBatches_.push_back({Color_, pointBase, first, end, placement});
    }

    // Opens a colour run if the drawing colour changed since the last item.
    void StartRun()
    {
        if (Runs_.empty() || Runs_.back().Color != Color_)
            Runs_.push_back({Color_, static_cast<uint32_t>(Items_.size())});
    }

    // An item at a finite position, which the bounding box takes in.
    void AddPoint(double x, double y, TChartItemKind kind, uint32_t aux)
    {
        StartRun();
        Items_.push_back({x, y, aux, kind});
        if (BoxDirty_)
            return;  // taken in when the box is next asked for
        if (!HasBox_) {
            Box_ = {x, y, x, y};
            HasBox_ = true;
            return;
        }
        Box_.Take(x, y);
    }

    std::vector<TChartItem> Items_;
    std::vector<TChartColorRun> Runs_;
    std::vector<TChartText> Texts_;
    std::vector<uint32_t> Decorations_;
    mutable TChartBox Box_;
    mutable bool HasBox_ = false;
    mutable bool BoxDirty_ = false;
    std::vector<double> OutPoints_;  // x, y per point
    std::vector<uint32_t> OutIndex_;
    std::vector<TChartOutlineBatch> OutBatches_;
    std::vector<float> OutSource_;  // blocks of source points, x, y and z one after the other
    std::vector<TChartPlacement> Placements_;
    std::vector<double> Scratch_;  // a placement's points while its batch is added
    TChartBox OutBox_;
    bool HasOutBox_ = false;
    std::array<uint32_t, 256> ClassColors_{};
    bool HasClassColors_ = false;
    uint32_t Color_ = 0x00C0C0C0u;
    int LineCount_ = 0;
    bool PenDown_ = false;
};
