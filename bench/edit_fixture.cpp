#include "bench/edit_fixture.h"

namespace tandrel::bench {

std::string CreateSparseEdit(const std::string& path, HistoryGenerator::Format format,
                             uint64_t dataLength, std::vector<EditRecord> history)
{
    EditFile edit;
    edit.channels = format.channels;
    edit.sampleRate = format.sampleRate;
    edit.bitsPerSample = format.bitsPerSample;
    if (!edit.EditOpen(path, true, false)) return "cannot create " + path;
    // Growing the data chunk by cutting it to a larger size leaves a hole: the benchmarks
    // need the offsets, never the samples.
    if (dataLength != 0 && !edit.EditTruncateData(dataLength)) {
        edit.EditClose();
        return "cannot grow the data of " + path;
    }
    if (edit.EditDataLength() != dataLength) {
        edit.EditClose();
        return "data length of " + path + " came out wrong";
    }
    edit.undo = std::move(history);
    if (!edit.undo.empty() && edit.EditSave() != 0) {
        edit.undo.clear();
        edit.EditClose();
        return "cannot save the history of " + path;
    }
    edit.EditClose();
    return {};
}

} // namespace tandrel::bench
