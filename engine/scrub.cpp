#include "engine/scrub.h"

#include <algorithm>

namespace tandrel {

namespace {

constexpr uint64_t kTapMs = 500;
constexpr uint64_t kFreshPressMs = 120;
constexpr int kRepeatsBeforeAudible = 4;

bool Backward(uint32_t key) { return (key & ScrubKeyTracker::kBackKeys) != 0; }

} // namespace

void ScrubKeyTracker::Press(uint32_t key, uint64_t now, uint64_t cue)
{
    for (const Held& h : held_)
        if (h.key == key) {
            ++repeats_;
            return;
        }
    if (held_.empty()) {
        holdStarted_ = now;
        repeats_ = 0;
    }
    held_.push_back({key, now, cue});
}

int ScrubKeyTracker::MinimumSteps(uint32_t key) const
{
    bool fast = key & (kFastBack | kFastForward);
    bool normal = key & (kNormalBack | kNormalForward);
    bool slow = key & (kSlowBack | kSlowForward);
    // The modifiers make a pair count as another: the first makes everything slow, the
    // second makes everything normal.
    if (firstModifier_ && (fast || normal)) return 1;
    if (secondModifier_ && (fast || slow)) return 2;
    return fast ? 4 : normal ? 2 : 1;
}

int64_t ScrubKeyTracker::Release(uint32_t key, uint64_t now, uint64_t cue, uint32_t cueStepBytes)
{
    auto found = std::find_if(held_.begin(), held_.end(), [key](const Held& h) { return h.key == key; });
    if (found == held_.end()) return 0;
    const Held held = *found;
    held_.erase(found);
    if (now - held.pressedAt >= kTapMs) return 0;
    const int64_t wanted = int64_t(MinimumSteps(key)) * cueStepBytes;
    const int64_t moved = Backward(key) ? int64_t(held.cueAtPress) - int64_t(cue)
                                        : int64_t(cue) - int64_t(held.cueAtPress);
    const int64_t missing = std::max<int64_t>(0, wanted - moved);
    return Backward(key) ? -missing : missing;
}

void ScrubKeyTracker::SetModifiers(bool first, bool second)
{
    firstModifier_ = first;
    secondModifier_ = second;
}

bool ScrubKeyTracker::FreshPress(uint64_t now) const
{
    return !held_.empty() && now - holdStarted_ <= kFreshPressMs;
}

uint64_t ScrubKeyTracker::HeldFor(uint64_t now) const { return held_.empty() ? 0 : now - holdStarted_; }

uint32_t ScrubFrequency(const ScrubKeyTracker& tracker, const ScrubSituation& situation, uint64_t now)
{
    const uint32_t rate = situation.rate;
    uint32_t slow = rate * 2 / 3;
    if (situation.fineStep) slow /= 20;
    uint32_t f;
    if (tracker.FirstModifier())
        f = slow;
    else if (tracker.SecondModifier())
        f = rate;
    else
        f = situation.keyboardState < 0 ? slow : situation.keyboardState > 0 ? kMaxScrubFrequency : rate;

    if (f == kMaxScrubFrequency && !situation.initialAudioScrub) return kMaxScrubFrequency + 1;
    if (tracker.FreshPress(now) || f != kMaxScrubFrequency) return f;
    // Fast, with the initial audio scrub: audible at first, then jumping.
    const bool stillInitial = tracker.HeldFor(now) <= situation.initialScrubMs;
    if (stillInitial || situation.mouseHeld || tracker.Repeats() >= kRepeatsBeforeAudible) return f;
    return kMaxScrubFrequency + 1;
}

} // namespace tandrel
