// The local socket's messages as a running program reads them: any bytes, cut into reads of
// any size, must give whole messages or a dropped connection, and import requests must parse
// or be refused without reading past their body.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/program_requests.h"

using namespace tandrel::app;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    // The first byte chooses how the connection cuts its reads.
    const size_t piece = size_t(data[0] % 32) + 1;
    ++data;
    --size;
    RequestReader reader;
    for (size_t at = 0; at < size; at += piece) {
        reader.Feed(data + at, std::min(piece, size - at));
        while (std::optional<ProgramRequest> request = reader.Next()) {
            if (request->data.size() > kLargestRequest) std::abort();
            DispatchProgramRequest(*request, [](const ImportRequest&) {}, [](const std::vector<uint8_t>&) {},
                                   [](TranscriptionAction) {});
            if (std::optional<ImportRequest> parsed = ParseImportRequest(request->data)) {
                // What was taken is sent again unchanged.
                std::optional<ImportRequest> again = ParseImportRequest(EncodeImportRequest(*parsed));
                if (!again || again->sourcePath != parsed->sourcePath ||
                    again->userName != parsed->userName || again->accountFolder != parsed->accountFolder)
                    std::abort();
            }
        }
    }
    // The whole input as one import body, too.
    ParseImportRequest(std::vector<uint8_t>(data, data + size));
    return 0;
}
