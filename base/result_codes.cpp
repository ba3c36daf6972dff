#include "base/result_codes.h"

namespace tandrel {

const char* ResultText(uint32_t code)
{
    switch (code) {
    case kResultOk: return "success";
    case kResultNativeEdit: return "success, native Edit file";
    case kResultWavNotPcm: return "WAV file is not PCM";
    case kResultCancelled: return "cancelled by the user";
    case kResultGeneralFailure: return "general failure";
    case kResultSourceOpen: return "source cannot be opened";
    case kResultTargetOpen: return "intermediate or target file cannot be opened or created";
    case kResultUnknownFormat: return "format cannot be determined";
    case kResultConverterMissing: return "converter library missing";
    case kResultCannotConvert: return "format cannot be converted";
    case kResultReadError: return "read error";
    case kResultWriteError: return "write error";
    case kResultOutOfMemory: return "out of memory";
    case kResultCopyFailed: return "copy failed";
    case kResultConversionEngine: return "conversion engine error";
    }
    return "unknown result";
}

} // namespace tandrel
