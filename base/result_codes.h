#pragma once
#include <cstdint>

namespace tandrel {

/** Results of import, export and conversion: 0 is success, every other value a reason. */
enum ResultCode : uint32_t {
    kResultOk = 0,
    kResultNativeEdit = 1,       // success, the source was a native Edit file
    kResultWavNotPcm = 2,
    kResultCancelled = 3,
    kResultGeneralFailure = 999,
    kResultSourceOpen = 1000,
    kResultTargetOpen = 1001,    // intermediate or target cannot be opened or created
    kResultUnknownFormat = 1002,
    kResultConverterMissing = 1003,
    kResultCannotConvert = 1004,
    kResultReadError = 1005,
    kResultWriteError = 1006,
    kResultOutOfMemory = 1007,
    kResultCopyFailed = 1008,
    kResultConversionEngine = 1009,
};

/** A short English text for `code`; "unknown result" for a value not listed. */
const char* ResultText(uint32_t code);

} // namespace tandrel
