#pragma once
#include <cstdint>
#include <string>

namespace tandrel {

// The program's single built-in user: its name, its active Library location and its option
// bits (the setting UserFlags).

inline constexpr const char* kUserName = "KDUser";
inline constexpr const char* kAccountFolderName = "Default";
inline constexpr uint32_t kDefaultUserFlags = 0x170001;

/** The user's option bits. Unknown bits are kept as they are. */
struct UserFlags
{
    static constexpr uint32_t kPlayForward = 1u << 0; // standard direction when set
    static constexpr uint32_t kAutoImport = 1u << 3;
    static constexpr uint32_t kMonoMixRecording = 1u << 6;
    static constexpr uint32_t kInitialScrub = 1u << 8;
    static constexpr uint32_t kScrubRadio = 1u << 10;    // set when the first choice is not
    static constexpr uint32_t kOneTimeMarker = 1u << 29; // cleared and written back once
    static constexpr int kScrubStepShift = 16;
    static constexpr int kInitialScrubTimeShift = 20;

    uint32_t bits = kDefaultUserFlags;

    bool PlayForward() const { return bits & kPlayForward; }
    bool AutoImport() const { return bits & kAutoImport; }
    bool MonoMixRecording() const { return bits & kMonoMixRecording; }
    bool InitialScrub() const { return bits & kInitialScrub; }
    bool ScrubRadio() const { return bits & kScrubRadio; }
    bool OneTimeMarker() const { return bits & kOneTimeMarker; }
    /** Fast-forward/rewind step index 0..15 (bits 16-19). */
    int ScrubStepIndex() const { return int(bits >> kScrubStepShift & 15); }
    /** Initial-scrub time index 0..15 (bits 20-23). */
    int InitialScrubTimeIndex() const { return int(bits >> kInitialScrubTimeShift & 15); }
    /** The step of the scrub step table the index selects (3 to 100). */
    int ScrubStep() const;
    /** The initial-scrub time the index selects: 500 ms per step from 500 to 8000. */
    int InitialScrubMilliseconds() const { return 500 * (InitialScrubTimeIndex() + 1); }

    void Set(uint32_t flag, bool on) { bits = on ? bits | flag : bits & ~flag; }
    /** Stores the index, clamped to 0..15. */
    void SetScrubStepIndex(int index);
    void SetInitialScrubTimeIndex(int index);
};

/** Reads UserFlags (the default 0x170001 when missing). Any thread. */
UserFlags ReadUserFlags();
/** Writes UserFlags. False when it could not. Any thread. */
bool WriteUserFlags(const UserFlags& flags);

/** "KDUser" and the storage folder. False before the storage folder is known. */
bool GetUserIdentity(std::string& userName, std::string& homeFolder);

/** The active Library location: the user name, '/', the account folder ("KDUser/Default"). */
std::string GetActiveLocation();

/** Splits a location at its last '/' into user name and account folder. False when it has
    no '/'. */
bool SplitActiveLocation(const std::string& location, std::string& userName,
                         std::string& accountFolder);

/** What applying the user hands to the parts that hold its preferences. */
struct ActiveUser
{
    UserFlags flags;
    /** The mono-mix recording switch; it always starts off. */
    bool monoMixRecording = false;
    std::string userName;
    std::string accountFolder;
};

/** The settings side of the first main-loop pass: reads UserFlags, splits the active location,
    and clears the one-time marker (bit 29) and writes the flags back when it is set. The
    menus, play option, export and gain-control steps belong to their own parts, which take
    what this returns. UI thread. */
ActiveUser ApplyActiveUser();

} // namespace tandrel
