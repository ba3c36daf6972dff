#pragma once
#include "cli/json_writer.h"
#include "edit/edit_view.h"

namespace tandrel::cli {

/** A segment: its data range and both channel sources; a marker segment also gets its id
    and flags spelled out. */
void WriteSegment(JsonWriter& json, const EditSegment& segment);
/** A history record; `name` is the record's text for marker steps and null otherwise. */
void WriteRecord(JsonWriter& json, const EditRecord& record);
/** A position, or null when it is unset (all ones). */
void WritePosition(JsonWriter& json, uint64_t position);

/** The whole state of an opened view as one object: format, data length, header, both
    history lists and the result of the replay (`replayOk` says whether it succeeded). */
void WriteEditInfo(JsonWriter& json, const EditView& view, bool replayOk);

} // namespace tandrel::cli
