#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tandrel::app {

// The typed messages that reach the running program over its local socket: a second copy
// of the program asking it to come to the front or carrying out a transcription action, the
// transcription keyboard hook, and requests from other programs (a SAM hand-over, an import
// request). On the wire each is a little-endian 32-bit type, a
// little-endian 32-bit length and that many bytes.

inline constexpr uint32_t kRequestActivate = 1;
/** A transcription key or command: one byte, a TranscriptionAction. */
inline constexpr uint32_t kRequestTranscription = 2;
inline constexpr uint32_t kRequestSam = 120;
inline constexpr uint32_t kRequestImport = 333;
/** The byte the running program answers each message with: carried out, kept until the
    program can carry it out (an import before importing is available), or refused. */
inline constexpr char kAnswerTaken = 'K';
inline constexpr char kAnswerQueued = 'Q';
inline constexpr char kAnswerRefused = 'N';
/** Import requests of this many bytes or more are ignored. */
inline constexpr size_t kImportRequestLimit = 1036;
/** Longest message body the reader accepts; a longer one ends the connection. */
inline constexpr uint32_t kLargestRequest = 64 * 1024;
/** Each text of an import request is taken into a buffer of this many bytes, terminator
    included. */
inline constexpr size_t kRequestTextBuffer = 260;

struct ProgramRequest
{
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

/** The bytes of one message on the wire. */
std::vector<uint8_t> EncodeRequest(uint32_t type, const std::vector<uint8_t>& data);

/** Collects the bytes of a connection and gives back whole messages. */
class RequestReader
{
public:
    /** Adds bytes read from the connection. */
    void Feed(const uint8_t* bytes, size_t count);
    /** The next whole message, if one has arrived. */
    std::optional<ProgramRequest> Next();
    /** A message announced a body longer than kLargestRequest: the connection is dropped. */
    bool Broken() const { return broken_; }

private:
    std::vector<uint8_t> pending_;
    bool broken_ = false;
};

/** An import request: the file to import, the user and the account folder it goes to. */
struct ImportRequest
{
    std::string sourcePath;
    std::string userName;
    std::string accountFolder;
};

/** The body of an import request: three little-endian 32-bit lengths, then the three texts
    without terminators. Nothing for a body of kImportRequestLimit bytes or more, or one
    whose lengths run past its end. Each text ends at its first zero byte and keeps at most
    259 bytes, as a 260-byte buffer would. */
std::optional<ImportRequest> ParseImportRequest(const std::vector<uint8_t>& body);
/** The body of an import request for `request`, as another program builds it. */
std::vector<uint8_t> EncodeImportRequest(const ImportRequest& request);

/** What a transcription key asks of the active Edit. */
enum class TranscriptionAction : uint8_t
{
    PlayPause = 1, // as the Space key
    Back = 2,      // the cue steps back the configured seconds, playing on if it played
};

/** The action of a transcription request's body: exactly one known byte. */
std::optional<TranscriptionAction> ParseTranscriptionRequest(const std::vector<uint8_t>& body);
/** The action's name on the command line ("play-pause", "back"), and back. */
const char* TranscriptionActionName(TranscriptionAction action);
std::optional<TranscriptionAction> TranscriptionActionNamed(const std::string& name);

} // namespace tandrel::app

namespace tandrel::app {

/** What the running program does with a request from another program: an import request
    goes to `import` (when it is set), a SAM hand-over to `sam`, a transcription action to
    `transcription`. True when the request was taken; an unknown type, an import request of
    kImportRequestLimit bytes or more, or a transcription body that is not one known action
    is not. */
bool DispatchProgramRequest(const ProgramRequest& request,
                            const std::function<void(const ImportRequest&)>& import,
                            const std::function<void(const std::vector<uint8_t>&)>& sam,
                            const std::function<void(TranscriptionAction)>& transcription = {});

} // namespace tandrel::app
