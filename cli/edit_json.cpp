#include "cli/edit_json.h"

namespace tandrel::cli {

void WritePosition(JsonWriter& json, uint64_t position)
{
    if (position == kNoPosition)
        json.Null();
    else
        json.Uint(position);
}

void WriteSegment(JsonWriter& json, const EditSegment& segment)
{
    json.BeginObject();
    json.Key("dataStart").Uint(segment.dataStart);
    json.Key("dataEnd").Uint(segment.dataEnd);
    json.Key("channel").BeginArray();
    for (const ChannelSource& channel : segment.channel) {
        json.BeginObject();
        json.Key("source").Uint(channel.source);
        json.Key("process").Uint(channel.process);
        json.Key("treatFlags").Uint(channel.treatFlags);
        json.Key("treatParam").Uint(channel.treatParam);
        json.EndObject();
    }
    json.EndArray();
    if (segment.IsMarker()) {
        json.Key("markerId").Uint(segment.MarkerId());
        json.Key("markerFlags").Uint(segment.MarkerFlags());
    }
    json.EndObject();
}

void WriteRecord(JsonWriter& json, const EditRecord& record)
{
    json.BeginObject();
    json.Key("groupSize").Uint(record.groupSize);
    json.Key("type").Uint(record.type);
    json.Key("position").Uint(record.position);
    json.Key("flags").Uint(record.flags);
    json.Key("segment");
    WriteSegment(json, record.segment);
    json.Key("name");
    if (record.HasNameText())
        json.String(record.name);
    else
        json.Null();
    json.EndObject();
}

namespace {

void WriteHeader(JsonWriter& json, const EditFile& edit)
{
    const EditHeader& header = edit.header;
    json.BeginObject();
    json.Key("version").Uint(header.version);
    json.Key("length").BeginArray();
    for (uint32_t length : header.length) json.Uint(length);
    json.EndArray();
    json.Key("cursor");
    WritePosition(json, header.normal.cursor);
    json.Key("leftMark");
    WritePosition(json, header.normal.leftMark);
    json.Key("rightMark");
    WritePosition(json, header.normal.rightMark);
    json.Key("masterCursor");
    WritePosition(json, header.master.cursor);
    json.Key("masterLeftMark");
    WritePosition(json, header.master.leftMark);
    json.Key("masterRightMark");
    WritePosition(json, header.master.rightMark);
    // What was loaded, not the 16-bit fields as read: records of no known type are dropped
    // on load and do not count.
    json.Key("undoCount").Uint(edit.undo.size());
    json.Key("redoCount").Uint(edit.redo.size());
    json.EndObject();
}

void WriteRecords(JsonWriter& json, const std::vector<EditRecord>& records)
{
    json.BeginArray();
    for (const EditRecord& record : records) WriteRecord(json, record);
    json.EndArray();
}

} // namespace

void WriteEditInfo(JsonWriter& json, const EditView& view, bool replayOk)
{
    const EditFile& edit = view.edit;
    json.BeginObject();

    json.Key("format").BeginObject();
    json.Key("channels").Uint(edit.channels);
    json.Key("sampleRate").Uint(edit.sampleRate);
    json.Key("bitsPerSample").Uint(edit.bitsPerSample);
    json.EndObject();

    json.Key("dataLength").Uint(edit.EditDataLength());
    json.Key("header");
    WriteHeader(json, edit);
    json.Key("undo");
    WriteRecords(json, edit.undo);
    json.Key("redo");
    WriteRecords(json, edit.redo);

    const std::vector<EditSegment>& segments = view.segments.Segments();
    json.Key("replay").BeginObject();
    json.Key("ok").Bool(replayOk);
    json.Key("length").Uint(view.length);
    json.Key("segments").BeginArray();
    for (const EditSegment& segment : segments) WriteSegment(json, segment);
    json.EndArray();
    json.Key("markers").BeginArray();
    for (const MarkerEntry& marker : view.markers) {
        json.BeginObject();
        json.Key("position").Uint(marker.position);
        if (marker.segment < segments.size()) {
            const uint32_t id = segments[marker.segment].MarkerId();
            json.Key("markerId").Uint(id);
            json.Key("name").String(view.MarkerName(id));
        } else {
            json.Key("markerId").Null();
            json.Key("name").Null();
        }
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();

    json.EndObject();
}

} // namespace tandrel::cli
