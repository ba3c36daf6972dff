#include "app/program_requests.h"

#include <algorithm>
#include <cstring>

#include "base/byte_order.h"

namespace tandrel::app {

namespace {

void Append(std::vector<uint8_t>& out, uint32_t value)
{
    uint8_t bytes[4];
    PutU32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

std::string BufferText(const uint8_t* bytes, size_t count)
{
    count = std::min(count, kRequestTextBuffer - 1);
    const void* zero = std::memchr(bytes, 0, count);
    if (zero) count = size_t(static_cast<const uint8_t*>(zero) - bytes);
    return std::string(reinterpret_cast<const char*>(bytes), count);
}

} // namespace

std::vector<uint8_t> EncodeRequest(uint32_t type, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> out;
    out.reserve(8 + data.size());
    Append(out, type);
    Append(out, uint32_t(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

void RequestReader::Feed(const uint8_t* bytes, size_t count)
{
    if (broken_) return;
    pending_.insert(pending_.end(), bytes, bytes + count);
}

std::optional<ProgramRequest> RequestReader::Next()
{
    if (broken_ || pending_.size() < 8) return std::nullopt;
    const uint32_t length = GetU32(pending_.data() + 4);
    if (length > kLargestRequest) {
        broken_ = true;
        pending_.clear();
        return std::nullopt;
    }
    if (pending_.size() < 8 + size_t(length)) return std::nullopt;
    ProgramRequest request;
    request.type = GetU32(pending_.data());
    request.data.assign(pending_.begin() + 8, pending_.begin() + 8 + length);
    pending_.erase(pending_.begin(), pending_.begin() + 8 + length);
    return request;
}

std::optional<ImportRequest> ParseImportRequest(const std::vector<uint8_t>& body)
{
    if (body.size() >= kImportRequestLimit || body.size() < 12) return std::nullopt;
    const uint64_t lengths[3] = {GetU32(body.data()), GetU32(body.data() + 4),
                                 GetU32(body.data() + 8)};
    // 64-bit sums: three lengths near 4 GiB must not wrap round to something that fits.
    if (12 + lengths[0] + lengths[1] + lengths[2] > body.size()) return std::nullopt;
    const uint8_t* at = body.data() + 12;
    ImportRequest request;
    request.sourcePath = BufferText(at, size_t(lengths[0]));
    at += lengths[0];
    request.userName = BufferText(at, size_t(lengths[1]));
    at += lengths[1];
    request.accountFolder = BufferText(at, size_t(lengths[2]));
    return request;
}

std::vector<uint8_t> EncodeImportRequest(const ImportRequest& request)
{
    std::vector<uint8_t> body;
    Append(body, uint32_t(request.sourcePath.size()));
    Append(body, uint32_t(request.userName.size()));
    Append(body, uint32_t(request.accountFolder.size()));
    for (const std::string* text : {&request.sourcePath, &request.userName, &request.accountFolder})
        body.insert(body.end(), text->begin(), text->end());
    return body;
}

std::optional<TranscriptionAction> ParseTranscriptionRequest(const std::vector<uint8_t>& body)
{
    if (body.size() != 1) return std::nullopt;
    switch (TranscriptionAction(body[0])) {
    case TranscriptionAction::PlayPause:
    case TranscriptionAction::Back: return TranscriptionAction(body[0]);
    }
    return std::nullopt;
}

const char* TranscriptionActionName(TranscriptionAction action)
{
    return action == TranscriptionAction::Back ? "back" : "play-pause";
}

std::optional<TranscriptionAction> TranscriptionActionNamed(const std::string& name)
{
    for (TranscriptionAction action : {TranscriptionAction::PlayPause, TranscriptionAction::Back})
        if (name == TranscriptionActionName(action)) return action;
    return std::nullopt;
}

} // namespace tandrel::app

namespace tandrel::app {

bool DispatchProgramRequest(const ProgramRequest& request,
                            const std::function<void(const ImportRequest&)>& import,
                            const std::function<void(const std::vector<uint8_t>&)>& sam,
                            const std::function<void(TranscriptionAction)>& transcription)
{
    if (request.type == kRequestTranscription) {
        const std::optional<TranscriptionAction> action = ParseTranscriptionRequest(request.data);
        if (!action || !transcription) return false;
        transcription(*action);
        return true;
    }
    if (request.type == kRequestSam) {
        if (!sam) return false;
        sam(request.data);
        return true;
    }
    if (request.type != kRequestImport) return false;
    std::optional<ImportRequest> parsed = ParseImportRequest(request.data);
    if (!parsed || !import) return false;
    import(*parsed);
    return true;
}

} // namespace tandrel::app
