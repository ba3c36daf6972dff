#pragma once
#include <cstdint>
#include <string>

namespace tandrel {

class EditFile;

/** The facts the Library lists for one Edit without opening it: the first 32 bytes of a
    database record. Times are seconds since 1970-01-01; lengths are hundredths of a second. */
struct EditInfo
{
    uint32_t created = 0;
    uint32_t modified = 0;
    uint32_t length0 = 0; // current length
    uint32_t length1 = 0; // length when the Edit was made
    uint32_t length2 = 0; // original length, never changed
    uint32_t fileSize = 0;
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 0;
    uint16_t channels = 0;

    bool operator==(const EditInfo&) const = default;
};

/** The editor's side of GetEditInfo. The Edit open in the editor holds facts newer than its
    file (the current length is rewritten after every replay), so they are taken from the open
    EditFile. Installed by the editor; called from any thread that reads Edit facts (the
    auto-import thread too), so an implementation guards what it reads. */
class OpenEditFacts
{
  public:
    virtual ~OpenEditFacts() = default;
    /** The path of the Edit open in the editor, with its lengths and format in `facts` (see
        FillFromEditFile; times and size are ignored). False when no Edit is open. */
    virtual bool OpenEdit(std::string& path, EditInfo& facts) = 0;
};

/** Installs `source` for the whole process (null: no editor) and returns the previous one. */
OpenEditFacts* InstallOpenEditFacts(OpenEditFacts* source);

/** Copies the three lengths and the format of an open Edit into `info`. */
void FillFromEditFile(const EditFile& edit, EditInfo& info);

/** Fills `info` for the Edit file at `path`: its times and size from the file system, its
    lengths and format from the open Edit when the editor holds this file, else from the
    file's header (the history and the sample data are never read). False when the file cannot
    be examined or is not a regular file; a header that is not an Edit's is reported as a
    failed open is. Any thread. */
bool GetEditInfo(const std::string& path, EditInfo& info);

/** Seconds as a database stores them: negative times give 0, times past 2106 the largest. */
uint32_t ClampSeconds(int64_t seconds);

} // namespace tandrel
