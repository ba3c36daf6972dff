#include "edit/replay_checkpoints.h"

namespace tandrel {

namespace {

uint64_t Mix(uint64_t hash, uint64_t value)
{
    // splitmix64 finaliser over the running value: cheap, and every bit of a field counts.
    hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
    hash ^= hash >> 30;
    hash *= 0xBF58476D1CE4E5B9ull;
    hash ^= hash >> 27;
    hash *= 0x94D049BB133111EBull;
    return hash ^ (hash >> 31);
}

uint64_t MixChannel(uint64_t hash, const ChannelSource& c)
{
    hash = Mix(hash, uint64_t(c.source) | (uint64_t(c.process) << 32));
    return Mix(hash, uint64_t(c.treatFlags) | (uint64_t(c.treatParam) << 32));
}

} // namespace

void ReplayCheckpoints::Fingerprint(const std::vector<EditRecord>& records)
{
    prefix_.resize(records.size() + 1);
    uint64_t hash = 0;
    prefix_[0] = hash;
    for (size_t i = 0; i < records.size(); ++i) {
        const EditRecord& r = records[i];
        hash = Mix(hash, uint64_t(r.groupSize) | (uint64_t(r.type) << 32));
        hash = Mix(hash, r.position);
        hash = Mix(hash, uint64_t(r.flags) | (uint64_t(r.reserved) << 32));
        hash = Mix(hash, r.segment.dataStart);
        hash = Mix(hash, r.segment.dataEnd);
        hash = MixChannel(hash, r.segment.channel[0]);
        hash = MixChannel(hash, r.segment.channel[1]);
        prefix_[i + 1] = hash;
    }
}

size_t ReplayCheckpoints::Restore(EditList& list)
{
    while (!checkpoints_.empty()) {
        const Checkpoint& newest = checkpoints_.back();
        if (newest.records < prefix_.size() && prefix_[newest.records] == newest.fingerprint) {
            list = newest.list;
            return newest.records;
        }
        checkpoints_.pop_back();
    }
    list.Clear();
    return 0;
}

void ReplayCheckpoints::Keep(size_t records, const EditList& list)
{
    size_t newest = checkpoints_.empty() ? 0 : checkpoints_.back().records;
    if (records < newest + kEvery || records >= prefix_.size()) return;
    checkpoints_.push_back({records, prefix_[records], list});
}

void ReplayCheckpoints::Clear()
{
    prefix_.clear();
    checkpoints_.clear();
}

} // namespace tandrel
