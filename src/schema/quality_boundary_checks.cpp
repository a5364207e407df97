#include "schema/quality_evaluators.h"

#include <algorithm>

// The checks over a parcel's markers and designation lines: their count,
// numbering and ring, their codes, and those left without a survey table.
namespace zarn::quality::internal {

namespace {

// A finding on every current survey row of a parcel.
void onParcel(Reader &reader, const QString &dwdm, const QString &zdbh, int check,
              const QString &detail, Out &out)
{
    for (const Row *r : reader.currentOf(dwdm, zdbh))
        out << keyed(*r, check, detail);
}

// Why a parcel's designation lines do not make one closed ring that walks
// its boundary once over every marker, or empty when they do. Parcels have a
// dozen points or so: plain searches beat hashing.
QString ringProblem(const Boundary &b)
{
    if (b.lines.empty()) return QStringLiteral("有界址点而没有界址线");
    std::vector<Marker> markers = b.markers;
    std::sort(markers.begin(), markers.end(),
              [](const Marker &x, const Marker &y) { return x.xh < y.xh; });
    const int n = int(markers.size());
    auto place = [&](const QString &p) {
        for (int i = 0; i < n; ++i)
            if (markers[std::size_t(i)].number == p) return i;
        return -1;
    };
    const std::size_t k = b.lines.size();
    std::vector<int> from(k), to(k);
    for (std::size_t i = 0; i < k; ++i) {
        from[i] = place(b.lines[i].start);
        to[i] = place(b.lines[i].end);
        if (from[i] < 0) return QStringLiteral("点 %1 不是本宗地的界址点").arg(b.lines[i].start);
        if (to[i] < 0) return QStringLiteral("点 %1 不是本宗地的界址点").arg(b.lines[i].end);
        for (std::size_t j = 0; j < i; ++j) {
            if (from[j] == from[i])
                return QStringLiteral("点 %1 是两条界址线的起点").arg(b.lines[i].start);
            if (to[j] == to[i])
                return QStringLiteral("点 %1 是两条界址线的终点").arg(b.lines[i].end);
        }
    }
    // Each line's end must start another line: then the lines make rings.
    std::vector<std::size_t> next(k, k);
    for (std::size_t i = 0; i < k; ++i) {
        for (std::size_t j = 0; j < k; ++j)
            if (from[j] == to[i]) next[i] = j;
        if (next[i] == k) return QStringLiteral("界址线在点 %1 断开，未闭合").arg(b.lines[i].end);
    }
    // One ring only, and it goes round the boundary once, in either direction.
    std::size_t at = 0, steps = 0;
    int forward = 0, backward = 0;
    do {
        const int d = (to[at] - from[at] + n) % n;
        forward += d;
        backward += (n - d) % n;
        at = next[at];
        ++steps;
    } while (at != 0 && steps <= k);
    if (steps != k) return QStringLiteral("界址线分成了不止一个环");
    if (k > 1 && forward != n && backward != n)
        return QStringLiteral("界址线没有沿界址点绕宗地一周");
    return {};
}

} // namespace

// JZDGS against the current markers, counted as the forms count them.
void markerCount(Reader &reader, int check, Out &out)
{
    for (const Row &r : reader.current()) {
        const int stated = r.values[0].toInt();
        const Boundary *b = reader.boundaryOf(r.dwdm, r.zdbh);
        const int found = b ? b->counted : 0;
        if (stated != found)
            out << keyed(r, check,
                         QStringLiteral("表上填%1个，界址标示表有%2个").arg(stated).arg(found));
    }
}

// Markers numbered 1..n, without a blank, a gap or a repeat.
void markerNumbering(Reader &reader, int check, Out &out)
{
    for (const Boundary &b : reader.boundaries()) {
        std::vector<int> xh;
        xh.reserve(b.markers.size());
        for (const Marker &m : b.markers)
            xh.push_back(m.xh);
        std::sort(xh.begin(), xh.end());
        bool right = true;
        for (std::size_t i = 0; i < xh.size() && right; ++i)
            right = xh[i] == int(i) + 1;
        if (!right) onParcel(reader, b.dwdm, b.zdbh, check, {}, out);
    }
}

// The lines close one ring round every marker.
void ring(Reader &reader, int check, Out &out)
{
    for (const Boundary &b : reader.boundaries()) {
        if (b.markers.empty()) continue;
        const QString problem = ringProblem(b);
        if (!problem.isEmpty()) onParcel(reader, b.dwdm, b.zdbh, check, problem, out);
    }
}

void markerCodes(Reader &reader, int check, Out &out)
{
    for (const Boundary &b : reader.boundaries())
        for (const QString &bad : b.badCodes)
            onParcel(reader, b.dwdm, b.zdbh, check, bad, out);
}

// Current markers and lines of a parcel without a current survey table, as
// the superseded ones' statements say them.
void boundaryAlone(Reader &reader, int check, Out &out)
{
    for (const Boundary &b : reader.boundaries()) {
        if (!reader.currentOf(b.dwdm, b.zdbh).isEmpty()) continue;
        const auto alone = [&](const char *table) {
            out << Finding{.dwdm = b.dwdm,
                           .zdbh = b.zdbh,
                           .dcbh = {},
                           .kind = -1,
                           .check = check,
                           .detail = QString::fromUtf8(table) + QStringLiteral("（变更日期空）")};
        };
        if (!b.markers.empty()) alone("界址标示表");
        if (!b.lines.empty()) alone("指界情况表");
    }
}

} // namespace zarn::quality::internal
