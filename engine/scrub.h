#pragma once
#include <cstdint>
#include <vector>

namespace tandrel {

/** Highest playback frequency a buffer plays at; a faster scrub jumps the cue instead. */
inline constexpr uint32_t kMaxScrubFrequency = 100000;

/** Keeps the scrub keys held down: which, since when, and where the cue was when each was
    pressed. Key codes come in pairs, odd going backward and even forward: 1 and 2 the fast
    pair, 4 and 8 the normal pair, 16 and 32 the slow pair. Times are milliseconds of any
    steady clock. UI thread. */
class ScrubKeyTracker
{
public:
    enum Key : uint32_t {
        kFastBack = 1, kFastForward = 2, kNormalBack = 4, kNormalForward = 8,
        kSlowBack = 16, kSlowForward = 32,
    };
    /** Every backward key, and every forward one. */
    static constexpr uint32_t kBackKeys = kFastBack | kNormalBack | kSlowBack;
    static constexpr uint32_t kForwardKeys = kFastForward | kNormalForward | kSlowForward;

    /** A scrub key went down (a key already held counts as a repeat). */
    void Press(uint32_t key, uint64_t now, uint64_t cue);
    /** A scrub key came up. A tap (held under 500 ms) must have moved the cue by a minimum
        number of cue steps in its direction: returns the bytes the cue still has to move
        (negative backward), 0 when it moved far enough or the key was held longer. */
    int64_t Release(uint32_t key, uint64_t now, uint64_t cue, uint32_t cueStepBytes);
    /** The two modifier states (from the keyboard's modifier keys). */
    void SetModifiers(bool first, bool second);
    bool FirstModifier() const { return firstModifier_; }
    bool SecondModifier() const { return secondModifier_; }

    bool AnyHeld() const { return !held_.empty(); }
    /** The first press of this hold was at most 120 ms ago. */
    bool FreshPress(uint64_t now) const;
    /** Milliseconds since the first key of this hold went down; 0 when none is held. */
    uint64_t HeldFor(uint64_t now) const;
    /** Key repeats counted since the first press. */
    int Repeats() const { return repeats_; }

private:
    struct Held
    {
        uint32_t key;
        uint64_t pressedAt;
        uint64_t cueAtPress;
    };
    int MinimumSteps(uint32_t key) const;

    std::vector<Held> held_;
    uint64_t holdStarted_ = 0;
    int repeats_ = 0;
    bool firstModifier_ = false;
    bool secondModifier_ = false;
};

/** What the scrub frequency depends on besides the tracker. */
struct ScrubSituation
{
    uint32_t rate = 44100;        // the playback format's rate
    int keyboardState = 0;        // < 0 slow, > 0 fast, 0 normal
    bool fineStep = false;        // the view steps by four frames
    bool initialAudioScrub = false;
    uint32_t initialScrubMs = 1000;
    bool mouseHeld = false;
};

/** The playback frequency of this scrub step: at most kMaxScrubFrequency to be heard, or
    kMaxScrubFrequency + 1 when the cue should jump silently instead. */
uint32_t ScrubFrequency(const ScrubKeyTracker& tracker, const ScrubSituation& situation,
                        uint64_t now);

} // namespace tandrel
