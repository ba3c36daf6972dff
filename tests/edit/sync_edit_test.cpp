// Replaying a history: every step type, applied through EditPushStep and SyncEdit, compared
// with the same change made on the flat reference.
#include <gtest/gtest.h>

#include <functional>

#include "base/recording_sink.h"
#include "edit/edit_view.h"
#include "edit_test_support.h"
#include "render_model.h"

namespace tandrel::test {
namespace {

using Steps = std::vector<std::vector<EditRecord>>;
using Placed = std::vector<std::pair<uint64_t, uint32_t>>; // marker position, id

constexpr uint32_t kBleep = FourCC("Blep");
constexpr uint32_t kGain = FourCC("Gain");
constexpr uint32_t kNorm = FourCC("Norm");
constexpr uint64_t kBase = 1000; // the base step covers data [0, 1000); the data holds 4000 bytes

ChannelSource Generator(uint32_t flags) { return {kSourceGenerated, kBleep, flags, 5}; }
ChannelSource Silent(uint32_t flags, uint32_t param = 0) { return {kSourceSilence, 0, flags, param}; }
EditRecord Ranged(uint32_t type, uint64_t start, uint64_t end, ChannelSource a, ChannelSource b = {},
                  uint32_t groupSize = 1);
EditRecord GenerateBoth(uint64_t start, uint64_t end)
{
    return Ranged(kStepGenerate, start, end, Generator(kTreatBoth), Generator(kTreatBoth));
}

EditRecord Ins(uint64_t position, uint64_t start, uint64_t end)
{
    return Record(kStepInsert, position, Plain(start, end));
}

EditRecord Mark(uint64_t position, uint32_t id) { return InsertMarkerRecord(position, id, ""); }

EditRecord Ranged(uint32_t type, uint64_t start, uint64_t end, ChannelSource a, ChannelSource b,
                  uint32_t groupSize)
{
    EditSegment s = Plain(start, end);
    s.channel[0] = a;
    s.channel[1] = b;
    return Record(type, start, s, 0, groupSize);
}

EditRecord Replace(uint64_t position, uint64_t replacedEnd, uint64_t start, uint64_t end)
{
    EditSegment s = Plain(start, end);
    s.SetReplacedEnd(replacedEnd);
    return Record(kStepReplace, position, s);
}

/** Silence as a type 4 step makes it for an Edit of `channels`. */
EditRecord Silence(uint64_t position, uint64_t length, int channels)
{
    const ChannelSource s = Silent(channels == 1 ? kTreatMono : kTreatBoth);
    EditSegment seg = Plain(position, position + length);
    seg.channel[0] = s;
    seg.channel[1] = channels == 1 ? ChannelSource{} : s;
    return Record(kStepSilence, position, seg);
}

RenderModel Data(uint64_t start, uint64_t end, int channels)
{
    const EditSegment s = Plain(start, end);
    return RenderModel::FromSegments(std::span<const EditSegment>(&s, 1), channels);
}

RenderModel MarkerItem(uint32_t id, int channels)
{
    const EditSegment s = MarkerSegment(id);
    return RenderModel::FromSegments(std::span<const EditSegment>(&s, 1), channels);
}

void AddMarkers(RenderModel& m, const Placed& markers)
{
    for (auto [position, id] : markers) m.Insert(position, MarkerItem(id, m.Channels()));
}

/** A gain on both channels, and what it does to an item of the reference. */
const ChannelSource kGainBoth{0, kGain, kTreatBoth | 0x100, 1};
EditRecord GainBoth(uint64_t start, uint64_t end, uint32_t groupSize = 1)
{
    return Ranged(kStepTreat, start, end, kGainBoth, kGainBoth, groupSize);
}
void ApplyGainBoth(RenderItem& item, int channels)
{
    for (int c = 0; c < channels; ++c) {
        item.channel[c].treatFlags |= kGainBoth.treatFlags;
        item.channel[c].treatParam |= kGainBoth.treatParam;
    }
}

/** An Edit with 4000 bytes of data and a base step over the first 1000, open in a view. */
class ViewFixture
{
public:
    bool Open(Format format, uint64_t baseLength = kBase)
    {
        format_ = format;
        baseLength_ = baseLength;
        const std::string path = dir.File("sync.kdw");
        if (!MakeEdit(path, format, 4000, baseLength)) return false;
        return view.OpenView(path, false);
    }
    bool Push(const Steps& steps)
    {
        for (const auto& step : steps)
            if (!view.edit.EditPushStep(step)) return false;
        return true;
    }
    RenderModel Rendered() const
    {
        return RenderModel::FromSegments(view.segments.Segments(), format_.channels);
    }
    RenderModel Base() const
    {
        if (baseLength_ == 0) return RenderModel::FromSegments({}, format_.channels);
        return Data(0, baseLength_, format_.channels);
    }

    /** The view's markers, length and sizes agree with the reference. */
    void ExpectViewMatches(const RenderModel& expected) const
    {
        EXPECT_EQ(Rendered().Difference(expected), "");
        EXPECT_EQ(view.segments.Length(), expected.Length());
        const uint32_t align = format_.BlockAlign();
        EXPECT_EQ(view.length, expected.Length() / align * align);
        // Markers as (position, id) in the view's order, against the reference.
        Placed got;
        for (const MarkerEntry& m : view.markers) {
            ASSERT_LT(m.segment, view.segments.Segments().size());
            const EditSegment& s = view.segments.Segments()[m.segment];
            EXPECT_TRUE(s.IsLiveMarker()) << "marker entry at " << m.position;
            got.emplace_back(m.position, s.MarkerId());
        }
        EXPECT_EQ(got, expected.LiveMarkers());
    }

    TempDir dir;
    EditView view;
    ScopedRecordingSink sink;

private:
    Format format_;
    uint64_t baseLength_ = kBase;
};

struct SyncCase
{
    const char* name;
    int channels;
    std::function<Steps(int channels)> steps;
    std::function<void(RenderModel&)> expect;
};

void PrintTo(const SyncCase& c, std::ostream* os) { *os << c.name; }

class SyncEditSteps : public ::testing::TestWithParam<SyncCase>
{
protected:
    ViewFixture f;
};

TEST_P(SyncEditSteps, MatchTheReference)
{
    const SyncCase& c = GetParam();
    ASSERT_TRUE(f.Open(c.channels == 1 ? kMono8 : kStereo16));
    RenderModel expected = f.Base();
    ASSERT_TRUE(f.Push(c.steps(c.channels)));
    f.view.cursor = 123;
    ASSERT_TRUE(f.view.SyncEdit()) << ::testing::PrintToString(f.sink.Texts());
    EXPECT_EQ(f.view.cursor, 0u);
    c.expect(expected);
    f.ExpectViewMatches(expected);
    EXPECT_TRUE(f.sink.Texts().empty());
}

// Cases that make sense for either channel count are listed once for each.
std::vector<SyncCase> BothLayouts(const char* name, std::function<Steps(int)> steps,
                                  std::function<void(RenderModel&)> expect)
{
    return {SyncCase{name, 1, steps, expect}, SyncCase{name, 2, steps, expect}};
}

std::vector<SyncCase> AllCases()
{
    std::vector<SyncCase> out;
    auto add = [&](std::vector<SyncCase> cases) { out.insert(out.end(), cases.begin(), cases.end()); };

    // Insertion.
    add(BothLayouts(
        "InsertPastTheEndIsSkipped", [](int) { return Steps{{Ins(1004, 1000, 1100)}}; },
        [](RenderModel&) {}));
    add(BothLayouts(
        "InsertIntoInsertedAudio",
        [](int) { return Steps{{Ins(340, 1000, 1100)}, {Ins(380, 2000, 2040)}, {Ins(0, 3000, 3008)}}; },
        [](RenderModel& m) {
            m.Insert(340, Data(1000, 1100, m.Channels()));
            m.Insert(380, Data(2000, 2040, m.Channels()));
            m.Insert(0, Data(3000, 3008, m.Channels()));
        }));
    add(BothLayouts(
        "PasteOfThreePieces",
        [](int) {
            Steps s{{Ins(100, 1000, 1040), Ins(140, 2000, 2020), Ins(160, 3000, 3100)}};
            for (EditRecord& r : s[0]) r.groupSize = 3;
            return s;
        },
        [](RenderModel& m) {
            RenderModel pieces = Data(1000, 1040, m.Channels());
            pieces.Insert(40, Data(2000, 2020, m.Channels()));
            pieces.Insert(60, Data(3000, 3100, m.Channels()));
            m.Insert(100, pieces);
        }));
    add(BothLayouts(
        "InsertAtABoundaryGoesBeforeItsMarkers",
        [](int) {
            return Steps{{Mark(0, 1)}, {Mark(500, 2)}, {Mark(500, 3)}, {Mark(1000, 4)},
                         {Ins(500, 1000, 1012)}, {Ins(0, 2000, 2004)}, {Ins(1016, 3000, 3004)}};
        },
        [](RenderModel& m) {
            const int ch = m.Channels();
            AddMarkers(m, {{0, 1}, {500, 2}, {500, 3}, {1000, 4}});
            m.Insert(500, Data(1000, 1012, ch));
            m.Insert(0, Data(2000, 2004, ch));
            m.Insert(1016, Data(3000, 3004, ch));
        }));
    // Deletion.
    add(BothLayouts(
        "DeleteAcrossPieces",
        [](int) { return Steps{{Ins(500, 1000, 1100)}, {Ins(200, 2000, 2100)}, {DeleteRecord(240, 560)}}; },
        [](RenderModel& m) {
            m.Insert(500, Data(1000, 1100, m.Channels()));
            m.Insert(200, Data(2000, 2100, m.Channels()));
            m.Delete(240, 560);
        }));
    add(BothLayouts(
        "DeleteEverythingKeepsMarkersAtZeroAndTheEnd",
        [](int) {
            return Steps{{Mark(0, 1)}, {Mark(4, 2)}, {Mark(996, 3)}, {Mark(1000, 4)},
                         {DeleteRecord(0, 1000)}, {Ins(0, 2000, 2008)}};
        },
        [](RenderModel& m) {
            AddMarkers(m, {{0, 1}, {4, 2}, {996, 3}, {1000, 4}});
            m.Delete(0, 1000);
            m.Insert(0, Data(2000, 2008, m.Channels()));
        }));

    // Generating over a range.
    for (int code : {1, 2}) {
        const ChannelSource a = code == 1 ? Generator(kTreatLeft) : ChannelSource{};
        const ChannelSource b = code == 2 ? Generator(kTreatRight) : ChannelSource{};
        add({SyncCase{code == 1 ? "GenerateLeftKeepsTheRight" : "GenerateRightKeepsTheLeft", 2,
                      [=](int) {
                          return Steps{{Ins(300, 1000, 1100)}, {Ranged(kStepGenerate, 200, 500, a, b)}};
                      },
                      [=](RenderModel& m) {
                          m.Insert(300, Data(1000, 1100, 2));
                          m.ForRange(200, 500, [&](RenderItem& item) {
                              item.channel[code - 1] = code == 1 ? a : b;
                          });
                      }}});
    }
    // Generated audio takes the range's place where it lies: markers inside the range, and
    // one at its start, stay where they were.
    add(BothLayouts(
        "GenerateOverEveryChannelKeepsMarkersInPlace",
        [](int ch) {
            return Steps{{Mark(200, 1)}, {Mark(300, 2)}, {Mark(500, 3)},
                         {ch == 1 ? Ranged(kStepGenerate, 200, 500, Generator(kTreatMono))
                                  : GenerateBoth(200, 500)}};
        },
        [](RenderModel& m) {
            const int ch = m.Channels();
            AddMarkers(m, {{200, 1}, {300, 2}, {500, 3}});
            const ChannelSource g = Generator(ch == 1 ? kTreatMono : kTreatBoth);
            m.ForRange(200, 500, [&](RenderItem& item) { item.channel[0] = item.channel[1] = g; });
        }));

    // Silence.
    add(BothLayouts(
        "SilenceAtZeroInsideAndAtTheEnd",
        [](int ch) { return Steps{{Silence(0, 40, ch)}, {Silence(340, 120, ch)}, {Silence(1160, 8, ch)}}; },
        [](RenderModel& m) {
            const EditRecord r = Silence(0, 0, m.Channels());
            for (auto [at, count] : Placed{{0, 40}, {340, 120}, {1160, 8}})
                m.Insert(at, Filled(count, m.Channels(), r.segment.channel[0], r.segment.channel[1]));
        }));
    // The channel offset: the range plays twice, each time with one channel silent.
    struct OffsetCase
    {
        const char* name;
        EditRecord a, b;
    };
    const std::vector<OffsetCase> offsets = {
        {"ChannelOffsetLeftThenRight",
         Ranged(kStepSilence, 100, 300, Silent(kTreatLeft), {}, 2),
         Ranged(kStepSilence, 300, 500, {}, Silent(kTreatRight, 7), 2)},
        {"ChannelOffsetRightThenLeftInsideTheFirstCopy",
         Ranged(kStepSilence, 100, 300, {}, Silent(kTreatRight), 2),
         Ranged(kStepSilence, 140, 340, Silent(kTreatLeft, 3), {}, 2)},
    };
    for (const OffsetCase& o : offsets) {
        add({SyncCase{o.name, 2,
                      [=](int) { return Steps{{Mark(200, 9)}, {Ins(200, 1000, 1040)}, {o.a, o.b}}; },
                      [=](RenderModel& m) {
                          m.Insert(200, MarkerItem(9, 2));
                          m.Insert(200, Data(1000, 1040, 2));
                          const uint64_t s = o.a.segment.dataStart, e = o.a.segment.dataEnd;
                          RenderModel first = m.Copy(s, e), second = m.Copy(s, e);
                          const int ca = o.a.segment.channel[0].source ? 0 : 1;
                          first.ForEachByte([&](RenderItem& item) {
                              item.channel[ca].source = o.a.segment.channel[ca].source;
                              item.channel[ca].process = o.a.segment.channel[ca].process;
                              item.channel[ca].treatFlags = o.a.segment.channel[ca].treatFlags;
                          });
                          const int cb = o.b.segment.channel[1].source ? 1 : 0;
                          second.ForEachByte(
                              [&](RenderItem& item) { item.channel[cb] = o.b.segment.channel[cb]; });
                          m.Delete(s, e);
                          m.Insert(s, first);
                          m.Insert(o.b.segment.dataStart, second);
                      }}});
    }

    // Treatment.
    add({SyncCase{"GainOnMono", 1,
                  [](int) {
                      return Steps{{Ins(200, 1000, 1100)},
                                   {Ranged(kStepTreat, 100, 400, {0, kGain, kTreatMono | 0x100, 0x40},
                                           {0, kGain, 0x200, 0x7})}};
                  },
                  [](RenderModel& m) {
                      m.Insert(200, Data(1000, 1100, 1));
                      RenderModel pieces = m.Copy(100, 400);
                      pieces.ForEachByte([](RenderItem& item) {
                          item.channel[0].treatFlags |= kTreatMono | 0x100;
                          item.channel[0].treatParam |= 0x40;
                      });
                      m.Delete(100, 400);
                      m.Insert(100, pieces);
                  }}});
    add({SyncCase{"GainThenNormaliseThenGainOnStereo", 2,
                  [](int) {
                      return Steps{
                          {Ranged(kStepTreat, 100, 400, {0, kGain, kTreatBoth | 0x100, 0x10},
                                  {0, kGain, kTreatBoth | 0x100, 0x10})},
                          {Ranged(kStepTreat, 200, 600, {0, kNorm, kTreatBoth | 0x50000, 0x1},
                                  {0, kNorm, kTreatBoth | 0x50000, 0x2})},
                          {Ranged(kStepTreat, 300, 700, {0, kGain, kTreatBoth | 0x200, 0x100}, {})}};
                  },
                  [](RenderModel& m) {
                      // Worked out by hand: the second gain replaces the first on the left
                      // only, the normalise step stays, the parameters accumulate.
                      struct Region
                      {
                          uint64_t start, end;
                          uint32_t leftFlags, leftParam, rightFlags, rightParam;
                      };
                      const Region regions[] = {{100, 200, 0x00108, 0x010, 0x00108, 0x10},
                                                {200, 300, 0x50108, 0x011, 0x50108, 0x12},
                                                {300, 400, 0x50208, 0x111, 0x50108, 0x12},
                                                {400, 600, 0x50208, 0x101, 0x50008, 0x02},
                                                {600, 700, 0x00208, 0x100, 0x00000, 0x00}};
                      for (const Region& r : regions) {
                          m.ForRange(r.start, r.end, [&](RenderItem& item) {
                              item.channel[0].treatFlags = r.leftFlags;
                              item.channel[0].treatParam = r.leftParam;
                              item.channel[1].treatFlags = r.rightFlags;
                              item.channel[1].treatParam = r.rightParam;
                          });
                      }
                  }}});
    add(BothLayouts(
        "TreatmentKeepsMarkersInPlace",
        [](int) {
            return Steps{{Mark(100, 1)}, {Mark(200, 2)}, {Mark(400, 3)}, {GainBoth(100, 400)}};
        },
        [](RenderModel& m) {
            AddMarkers(m, {{100, 1}, {200, 2}, {400, 3}});
            m.ForRange(100, 400, [&](RenderItem& item) { ApplyGainBoth(item, m.Channels()); });
        }));
    add(BothLayouts(
        "TreatingAnEmptyRangeChangesNothing",
        [](int) { return Steps{{GainBoth(100, 100)}}; }, [](RenderModel&) {}));

    // Replacement.
    add(BothLayouts(
        "ReplaceAcrossPiecesAndTreatment",
        [](int) {
            return Steps{{Ins(500, 1000, 1100)}, {GainBoth(400, 700)}, {Replace(450, 650, 3000, 3020)}};
        },
        [](RenderModel& m) {
            const int ch = m.Channels();
            m.Insert(500, Data(1000, 1100, ch));
            RenderModel pieces = m.Copy(400, 700);
            pieces.ForEachByte([&](RenderItem& item) { ApplyGainBoth(item, ch); });
            m.Delete(400, 700);
            m.Insert(400, pieces);
            m.Delete(450, 650);
            m.Insert(450, Data(3000, 3020, ch));
        }));

    // Markers.
    add(BothLayouts(
        "DeleteMarkerKeepsItsSegment",
        [](int) { return Steps{{Mark(100, 1)}, {Mark(300, 2)}, {Mark(300, 3)}, {DeleteMarkerRecord(2)}}; },
        [](RenderModel& m) {
            AddMarkers(m, {{100, 1}, {300, 2}, {300, 3}});
            m.KillMarker(2);
        }));
    return out;
}

INSTANTIATE_TEST_SUITE_P(Steps, SyncEditSteps, ::testing::ValuesIn(AllCases()),
                         [](const auto& info) {
                             return std::string(info.param.name) +
                                    (info.param.channels == 1 ? "_Mono" : "_Stereo");
                         });

// A mono Edit has one channel to treat: the record's second channel source is ignored.
TEST(SyncEditTreat, MonoLeavesTheSecondChannelAlone)
{
    ViewFixture f;
    ASSERT_TRUE(f.Open(kMono8));
    ASSERT_TRUE(f.Push({{Ranged(kStepTreat, 100, 400, {0, kGain, kTreatMono | 0x100, 0x40},
                                {0, kGain, kTreatBoth | 0x200, 0x7})}}));
    ASSERT_TRUE(f.view.SyncEdit());
    size_t treated = 0;
    for (const EditSegment& s : f.view.segments.Segments()) {
        EXPECT_EQ(s.channel[1], ChannelSource{});
        if (s.channel[0].treatFlags == (kTreatMono | 0x100u)) treated += s.Length();
    }
    EXPECT_EQ(treated, 300u);
}

// --- Steps that cannot be applied --------------------------------------------------------

struct FailCase
{
    const char* name;
    int channels;
    Steps before; // applied
    Steps bad;    // fails
    uint32_t type;
    std::function<void(RenderModel&)> expectBefore;
    uint64_t baseLength = kBase; // 0: the list is empty
};

void PrintTo(const FailCase& c, std::ostream* os) { *os << c.name; }

class SyncEditFailures : public ::testing::TestWithParam<FailCase>
{
protected:
    ViewFixture f;
};

TEST_P(SyncEditFailures, ReportTheTypeAndKeepWhatWasBuilt)
{
    const FailCase& c = GetParam();
    ASSERT_TRUE(f.Open(c.channels == 1 ? kMono8 : kStereo16, c.baseLength));
    ASSERT_TRUE(f.Push(c.before));
    ASSERT_TRUE(f.Push(c.bad));
    // A step after the bad one is never reached.
    ASSERT_TRUE(f.Push({{DeleteRecord(0, 8)}}));

    EXPECT_FALSE(f.view.SyncEdit());
    EXPECT_EQ(f.sink.Texts(),
              std::vector<std::string>{"SyncEdit: error parsing type " + std::to_string(c.type)});
    RenderModel expected = f.Base();
    if (c.expectBefore) c.expectBefore(expected);
    EXPECT_EQ(f.Rendered().Difference(expected), "");
}

EditRecord Grouped(EditRecord r, uint32_t groupSize)
{
    r.groupSize = groupSize;
    return r;
}

/** Types 2, 3, 5 and 6 need audio to work on. */
EditRecord OverNothing(uint32_t type)
{
    if (type == kStepTreat) return GainBoth(0, 0);
    EditRecord r = GenerateBoth(0, 0);
    r.type = type;
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SyncEditFailures,
    ::testing::Values(
        FailCase{"DeleteLongerThanTheEdit", 1, {{DeleteRecord(0, 100)}}, {{DeleteRecord(0, 901)}}, 2,
                 [](RenderModel& m) { m.Delete(0, 100); }},
        FailCase{"DeleteLongerFromInside", 2, {}, {{DeleteRecord(400, 1404)}}, 2, nullptr},
        FailCase{"DeleteAsAGroup",
                 1,
                 {{Ins(0, 2000, 2100)}},
                 {{Grouped(DeleteRecord(0, 10), 2), Grouped(DeleteRecord(0, 10), 2)}},
                 2,
                 [](RenderModel& m) { m.Insert(0, Data(2000, 2100, 1)); }},
        FailCase{"TreatAsAGroup", 2, {}, {{GainBoth(0, 10, 2), GainBoth(0, 10, 2)}}, 5, nullptr},
        FailCase{"ReplaceAsAGroup",
                 1,
                 {},
                 {{Grouped(Replace(0, 10, 2000, 2010), 2), Grouped(Replace(0, 10, 2000, 2010), 2)}},
                 6,
                 nullptr},
        FailCase{"ReplaceLongerThanTheEdit", 1, {}, {{Replace(0, 1004, 2000, 2010)}}, 6, nullptr},
        FailCase{"TreatLongerThanTheEdit", 2, {{DeleteRecord(0, 100)}}, {{GainBoth(0, 904)}}, 5,
                 [](RenderModel& m) { m.Delete(0, 100); }},
        FailCase{"GenerateLongerThanTheEdit", 1, {}, {{Ranged(kStepGenerate, 0, 1001, Generator(kTreatMono))}},
                 3, nullptr},
        FailCase{"UnknownType9", 1, {{Mark(10, 3)}}, {{Record(9, 0, Plain(0, 10))}}, 9,
                 [](RenderModel& m) { m.Insert(10, MarkerItem(3, 1)); }},
        FailCase{"TypeZero", 1, {}, {{Record(0, 0, Plain(0, 10))}}, 0, nullptr},
        FailCase{"DeleteUnknownMarker", 2, {{Mark(10, 3)}}, {{DeleteMarkerRecord(4)}}, 8,
                 [](RenderModel& m) { m.Insert(10, MarkerItem(3, 2)); }},
        FailCase{"GenerateLeftOnMono", 1, {}, {{Ranged(kStepGenerate, 0, 10, Generator(kTreatLeft))}},
                 3, nullptr},
        FailCase{"GenerateBothOnMono", 1, {}, {{GenerateBoth(0, 10)}}, 3, nullptr},
        FailCase{"GenerateMonoOnStereo", 2, {}, {{Ranged(kStepGenerate, 0, 12, Generator(kTreatMono))}},
                 3, nullptr},
        FailCase{"GenerateWithNoChannel", 2, {}, {{Ranged(kStepGenerate, 0, 12, Generator(0), Generator(0))}},
                 3, nullptr},
        FailCase{"ChannelOffsetOnMono",
                 1,
                 {},
                 {{Ranged(kStepSilence, 0, 100, Silent(kTreatLeft), {}, 2),
                   Ranged(kStepSilence, 100, 200, {}, Silent(kTreatRight), 2)}},
                 4,
                 nullptr},
        FailCase{"DeleteOnAnEmptyList", 2, {}, {{OverNothing(kStepDelete)}}, 2, nullptr, 0},
        FailCase{"GenerateOnAnEmptyList", 2, {}, {{OverNothing(kStepGenerate)}}, 3, nullptr, 0},
        FailCase{"TreatOnAnEmptyList", 2, {}, {{OverNothing(kStepTreat)}}, 5, nullptr, 0},
        FailCase{"ReplaceOnAnEmptyList", 2, {}, {{OverNothing(kStepReplace)}}, 6, nullptr, 0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tandrel::test
