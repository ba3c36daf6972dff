#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "edit/edit_list.h"
#include "edit/edit_types.h"

namespace tandrel {

/** Copies of the edit list taken at step boundaries while a history replays. A push, undo or
    redo changes only the newest steps, so the next replay starts from the newest copy whose
    records are all unchanged instead of from the first step. A copy is trusted only while a
    fingerprint of every record before it still matches. */
class ReplayCheckpoints
{
public:
    /** Takes the fingerprints of every prefix of `records`; call before Restore and Keep. */
    void Fingerprint(const std::vector<EditRecord>& records);
    /** Puts into `list` the newest copy that still matches and returns how many records it
        covers (0, with `list` emptied, when none does). Copies that no longer match go. */
    size_t Restore(EditList& list);
    /** After replaying the first `records` records (a step boundary), keeps a copy of
        `list` when it lies far enough past the newest copy. */
    void Keep(size_t records, const EditList& list);
    void Clear();

    /** Records replayed between copies. */
    static constexpr size_t kEvery = 256;

private:
    struct Checkpoint
    {
        size_t records;
        uint64_t fingerprint;
        EditList list;
    };
    std::vector<uint64_t> prefix_; // prefix_[i]: fingerprint of records [0, i)
    std::vector<Checkpoint> checkpoints_;
};

} // namespace tandrel
