#include "kv/audit/stages.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace kv::audit {
namespace {

// Which object of an exposure counts: a dose report's event, then a scan's
// projections, its volume, one of its projections.
int weight(ObjectKind k) {
    switch (k) {
    case ObjectKind::DoseEvent:
        return 0;
    case ObjectKind::Image:
    case ObjectKind::Projections:
        return 1;
    case ObjectKind::Volume:
        return 2;
    case ObjectKind::Projection:
        return 3;
    }
    return 3;
}

// Two exposure values differ when both objects give them for the same
// thing (the scope) and they are more than a header's rounding apart.
bool agree(const std::optional<double>& a, DoseScope sa, const std::optional<double>& b, DoseScope sb) {
    if (!a || !b || sa != sb) return true;
    return std::fabs(*a - *b) <= 0.01 * std::max(std::fabs(*a), std::fabs(*b));
}

bool valuesAgree(const Exposure& a, const Exposure& b) {
    // One projection's values are not the exposure's: nothing to compare.
    if (a.kind == ObjectKind::Projection || b.kind == ObjectKind::Projection) return true;
    return agree(a.entranceDoseMgy, a.scope.entrance, b.entranceDoseMgy, b.scope.entrance) &&
           agree(a.mas, a.scope.mas, b.mas, b.scope.mas) &&
           agree(a.organDoseMgy, a.scope.organ, b.organDoseMgy, b.scope.organ);
}

bool sameNumber(const std::optional<double>& a, const std::optional<double>& b) {
    if (!a || !b) return !a && !b;
    return std::fabs(*a - *b) <= 1e-9 * std::max(1.0, std::fabs(*a));
}

bool sameTime(const std::optional<double>& a, const std::optional<double>& b) {
    if (!a || !b) return !a && !b;
    return std::fabs(*a - *b) < 5e-4; // the same to the millisecond, whatever the form it was written in
}

bool otherPresentation(const Exposure& a, const Exposure& b) {
    const bool intents =
        (a.presentationIntent == "FOR PROCESSING" && b.presentationIntent == "FOR PRESENTATION") ||
        (a.presentationIntent == "FOR PRESENTATION" && b.presentationIntent == "FOR PROCESSING");
    // Two irradiation events are two exposures, however alike.
    const bool otherEvents = !a.eventUid.empty() && !b.eventUid.empty() && a.eventUid != b.eventUid;
    return intents && !otherEvents && a.kind == b.kind && a.modality == b.modality &&
           a.studyUid == b.studyUid && a.serial == b.serial && a.acquisitionDate == b.acquisitionDate &&
           sameTime(a.acquisitionSeconds, b.acquisitionSeconds) && a.laterality == b.laterality &&
           a.view == b.view && sameNumber(a.kvp, b.kvp) && sameNumber(a.mas, b.mas) &&
           sameNumber(a.thicknessMm, b.thicknessMm);
}

// Objects of one scan that name no common event: one series, or the same
// breast and view within half a minute.
constexpr double kScanSeconds = 30;

bool sameScan(const Exposure& a, const Exposure& b) {
    if (a.modality != Modality::Tomosynthesis || b.modality != Modality::Tomosynthesis) return false;
    if (!a.eventUid.empty() && !b.eventUid.empty() && a.eventUid != b.eventUid) return false;
    if (a.studyUid != b.studyUid || a.serial != b.serial || a.laterality != b.laterality ||
        a.view != b.view || a.acquisitionDate != b.acquisitionDate)
        return false;
    if (!a.seriesUid.empty() && a.seriesUid == b.seriesUid) return true;
    return a.acquisitionSeconds && b.acquisitionSeconds &&
           std::fabs(*a.acquisitionSeconds - *b.acquisitionSeconds) <= kScanSeconds;
}

struct Member {
    size_t object;
    std::optional<SameAs> rule; // how it joined; none for the first
    size_t matched = 0;         // the object it was found the same as
};

struct Group {
    std::vector<Member> members;
};

template <class T> void fill(std::optional<T>& into, const std::optional<T>& from) {
    if (!into && from) into = from;
}

void fill(std::string& into, const std::string& from) {
    if (into.empty()) into = from;
}

// The counted object's values, with what it lacks from the others (the heaviest first).
Exposure merged(const std::vector<Object>& objects, const std::vector<size_t>& order) {
    Exposure x = objects[order[0]].x;
    for (size_t k = 1; k < order.size(); ++k) {
        const Exposure& o = objects[order[k]].x;
        if (!x.mas && o.mas) x.mas = o.mas, x.scope.mas = o.scope.mas;
        if (!x.entranceDoseMgy && o.entranceDoseMgy)
            x.entranceDoseMgy = o.entranceDoseMgy, x.scope.entrance = o.scope.entrance;
        if (!x.organDoseMgy && o.organDoseMgy) x.organDoseMgy = o.organDoseMgy, x.scope.organ = o.scope.organ;
        fill(x.hvlMmAl, o.hvlMmAl);
        fill(x.sourceToDetectorMm, o.sourceToDetectorMm);
        fill(x.sourceToPatientMm, o.sourceToPatientMm);
        fill(x.compressionForceN, o.compressionForceN);
        fill(x.ageYears, o.ageYears);
        fill(x.acquisitionSeconds, o.acquisitionSeconds);
        fill(x.view, o.view);
        fill(x.laterality, o.laterality);
        fill(x.acquisitionDate, o.acquisitionDate);
        fill(x.eventUid, o.eventUid);
        if (x.scan && o.scan) {
            if (x.scan->projections <= 1 && o.scan->projections > 1)
                x.scan->projections = o.scan->projections;
            if ((!x.scan->startDeg || x.scan->projections <= 1) && o.scan->startDeg && o.scan->endDeg &&
                *o.scan->startDeg != *o.scan->endDeg)
                x.scan->startDeg = o.scan->startDeg, x.scan->endDeg = o.scan->endDeg;
            if (x.scan->loading.empty()) x.scan->loading = o.scan->loading;
        }
    }
    // A scan known only by its projection files: as many projections as files, from the first angle to the
    // last.
    std::vector<const Exposure*> frames;
    for (size_t i : order)
        if (objects[i].x.kind == ObjectKind::Projection) frames.push_back(&objects[i].x);
    if (x.scan && frames.size() > 1) {
        std::stable_sort(frames.begin(), frames.end(), [](const Exposure* a, const Exposure* b) {
            return a->acquisitionSeconds && b->acquisitionSeconds &&
                   *a->acquisitionSeconds < *b->acquisitionSeconds;
        });
        if (x.scan->projections <= 1) {
            x.scan->projections = static_cast<int>(frames.size());
            if (frames.front()->scan && frames.back()->scan && frames.front()->scan->startDeg &&
                frames.back()->scan->startDeg)
                x.scan->startDeg = frames.front()->scan->startDeg,
                x.scan->endDeg = frames.back()->scan->startDeg;
        }
        auto sum = [&](auto value) -> std::optional<double> {
            double s = 0;
            for (const Exposure* f : frames) {
                const std::optional<double> v = value(*f);
                if (!v) return std::nullopt;
                s += *v;
            }
            return s;
        };
        x.scan->entranceSum = sum([](const Exposure& f) { return f.entranceDoseMgy; });
        x.scan->masSum = sum([](const Exposure& f) { return f.mas; });
        x.scan->organSum = sum([](const Exposure& f) { return f.organDoseMgy; });
    }
    return x;
}

// "image", "rdsr_event+projections+volume", "projection x9".
std::string objectsLabel(const std::vector<Object>& objects, const std::vector<size_t>& order,
                         const std::vector<size_t>& copies) {
    std::vector<std::pair<ObjectKind, int>> kinds;
    for (size_t i : order) {
        if (std::find(copies.begin(), copies.end(), i) != copies.end())
            continue; // a copy is no object of its own
        const ObjectKind k = objects[i].x.kind;
        auto it = std::find_if(kinds.begin(), kinds.end(), [&](const auto& p) { return p.first == k; });
        if (it == kinds.end())
            kinds.push_back({k, 1});
        else
            ++it->second;
    }
    std::string s;
    for (const auto& [k, n] : kinds) {
        s += (s.empty() ? "" : "+") + std::string(objectKindName(k));
        if (n > 1) s += " x" + std::to_string(n);
    }
    return s;
}

std::string instanceKey(const Exposure& x) {
    return x.instanceUid.empty() ? std::string() : x.instanceUid + "#" + std::to_string(x.event);
}

} // namespace

const char* sameAsName(SameAs r) {
    switch (r) {
    case SameAs::Instance:
        return "same_instance";
    case SameAs::Event:
        return "same_event";
    case SameAs::OtherPresentation:
        return "other_presentation";
    case SameAs::Scan:
        return "same_scan";
    }
    return "same_instance";
}

Readings countOnce(std::vector<Object> objects, std::vector<Skipped> skipped, size_t files) {
    std::vector<Group> groups;
    std::map<std::string, std::pair<size_t, size_t>> byInstance; // key -> group, object
    std::map<std::string, std::pair<size_t, size_t>> byEvent;    // modality and event UID -> group, object
    std::map<std::string, std::vector<size_t>> byUnit;           // study and unit -> groups
    for (size_t i = 0; i < objects.size(); ++i) {
        const Exposure& x = objects[i].x;
        std::optional<std::pair<size_t, SameAs>> joined;
        size_t matched = 0;
        const std::string instance = instanceKey(x);
        if (auto it = byInstance.find(instance);
            !instance.empty() && it != byInstance.end() && valuesAgree(objects[it->second.second].x, x)) {
            joined = std::pair{it->second.first, SameAs::Instance};
            matched = it->second.second;
        }
        const std::string event =
            x.eventUid.empty() ? std::string() : modalityName(x.modality) + (" " + x.eventUid);
        if (!joined)
            if (auto it = byEvent.find(event);
                !event.empty() && it != byEvent.end() && valuesAgree(objects[it->second.second].x, x))
                joined = std::pair{it->second.first, SameAs::Event};
        const std::string unit = x.studyUid + "|" + x.serial;
        for (size_t g : byUnit[unit]) {
            if (joined) break;
            for (const Member& m : groups[g].members) {
                const Exposure& o = objects[m.object].x;
                if (otherPresentation(o, x) && valuesAgree(o, x)) {
                    joined = std::pair{g, SameAs::OtherPresentation};
                    break;
                }
            }
        }
        for (size_t g : byUnit[unit]) {
            if (joined) break;
            for (const Member& m : groups[g].members)
                if (sameScan(objects[m.object].x, x)) {
                    joined = std::pair{g, SameAs::Scan};
                    break;
                }
        }
        size_t g = 0;
        if (joined) {
            g = joined->first;
            groups[g].members.push_back({i, joined->second, matched});
        } else {
            g = groups.size();
            groups.push_back({{{i, std::nullopt}}});
            byUnit[unit].push_back(g);
        }
        if (!instance.empty()) byInstance.emplace(instance, std::pair{g, i});
        if (!event.empty()) byEvent.emplace(event, std::pair{g, i});
    }

    Readings r;
    r.files = files;
    for (const Group& g : groups) {
        std::vector<size_t> order;
        for (const Member& m : g.members)
            order.push_back(m.object);
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return weight(objects[a].x.kind) < weight(objects[b].x.kind);
        });
        const Object& first = objects[order[0]];
        Counted c;
        c.index = first.index, c.path = first.path;
        c.x = merged(objects, order);
        std::vector<size_t> copies;
        for (const Member& m : g.members)
            if (m.rule == SameAs::Instance) copies.push_back(m.object);
        c.objects = objectsLabel(objects, order, copies);
        for (const Member& m : g.members) {
            if (m.object == order[0]) continue;
            const Object& o = objects[m.object];
            Skipped s;
            s.index = o.index, s.path = o.path;
            s.skip.code = SkipCode::Duplicate, s.skip.event = o.x.event;
            // The first of a group joined by no rule of its own: it is a duplicate of the one that counts.
            s.rule = m.rule.value_or(g.members.size() > 1 ? g.members[1].rule.value_or(SameAs::Instance)
                                                          : SameAs::Instance);
            // A copy names the object it copies; any other duplicate the exposure it is part of.
            const Object& of = s.rule == SameAs::Instance && m.rule ? objects[m.matched] : first;
            s.sameIndex = of.index, s.sameEvent = of.x.event;
            skipped.push_back(std::move(s));
        }
        r.exposures.push_back(std::move(c));
    }
    // A copy of a whole dose report is one row, not one per event.
    std::map<int, std::pair<size_t, size_t>> perFile; // index -> (events read, events that are copies)
    for (const Object& o : objects)
        if (o.x.kind == ObjectKind::DoseEvent) ++perFile[o.index].first;
    for (const Skipped& s : skipped)
        if (s.rule == SameAs::Instance && s.skip.event > 0) ++perFile[s.index].second;
    std::vector<Skipped> kept;
    for (Skipped& s : skipped) {
        const auto it = perFile.find(s.index);
        if (s.rule == SameAs::Instance && s.skip.event > 0 && it != perFile.end() &&
            it->second.first == it->second.second) {
            if (s.skip.event != 1) continue;
            s.skip.event = 0, s.sameEvent = 0;
        }
        kept.push_back(std::move(s));
    }
    r.skipped = std::move(kept);
    std::stable_sort(r.exposures.begin(), r.exposures.end(), [](const Counted& a, const Counted& b) {
        return a.index != b.index ? a.index < b.index : a.x.event < b.x.event;
    });
    std::stable_sort(r.skipped.begin(), r.skipped.end(), [](const Skipped& a, const Skipped& b) {
        return a.index != b.index ? a.index < b.index : a.skip.event < b.skip.event;
    });
    return r;
}

} // namespace kv::audit
