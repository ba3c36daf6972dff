#pragma once
#include <cstdint>

namespace tandrel {

/** What rendering asks of the loaded processes: audio for generated segments and the gain
    and normalise treatments of treated ones. The process host installs itself here; until
    then generated audio is silence and treatments leave audio as it is. */
class ProcessHooks
{
public:
    virtual ~ProcessHooks() = default;
    /** Fills `count` bytes with the audio of the process `name`; false when no such process
        is loaded (the renderer then writes silence). */
    virtual bool GenerateAudio(uint32_t name, uint8_t* buffer, uint32_t count, uint32_t flags,
                               uint32_t parameter, uint32_t channels, uint32_t rate,
                               uint32_t bits) = 0;
    /** Applies the treatments named in `flags` to `count` bytes in place. */
    virtual void TreatAudio(uint8_t* buffer, uint32_t count, uint32_t flags, uint32_t parameter,
                            uint32_t channels, uint32_t rate, uint32_t bits) = 0;
};

/** Installs `hooks` (null: none) and returns the previous ones. UI thread. */
ProcessHooks* InstallProcessHooks(ProcessHooks* hooks);
/** The installed hooks, or null. */
ProcessHooks* InstalledProcessHooks();

} // namespace tandrel
