#pragma once
#include <memory>

#include "platform/audio/sound_device.h"

namespace tandrel {

/** The backend for a machine without sound hardware: one playback device that consumes the
    mix in real time and one capture device that produces silence in real time, both driven
    by a clock thread, so cursors move and events fire as they would with hardware. */
std::unique_ptr<AudioBackend> MakeNullBackend();

} // namespace tandrel
