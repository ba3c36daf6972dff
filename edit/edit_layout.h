#pragma once
#include <cstdint>
#include <vector>

#include "base/audio_format.h"
#include "edit/edit_types.h"

namespace tandrel {

// Field-by-field encoding of the parts of a KDW file. Nothing here touches a file.

/** The 126 bytes from "RIFF" to the end of the header, as a new file starts. */
std::vector<uint8_t> EncodeFilePrefix(const AudioFormat& format, const EditHeader& header);

void EncodeHeader(const EditHeader& header, uint8_t* out);        // 80 bytes
EditHeader DecodeHeader(const uint8_t* in);                        // 80 bytes
EditHeader DecodeHeaderV4(const uint8_t* in);                      // 56 bytes, converted

void EncodeFormat(const AudioFormat& format, uint8_t* out);        // 18 bytes
AudioFormat DecodeFormat(const uint8_t* in);

/** Checks the 46 bytes from "RIFF" to the program chunk's size as every Edit starts: the
    chunk ids, the 18-byte PCM format record of 1 or 2 channels of 8 or 16 bits at a rate the
    program can hold, and the program chunk's fixed size. Fills `format` when they pass. */
bool CheckFilePrefix(const uint8_t* prefix, AudioFormat& format);

/** Decodes the header at the start of the program chunk from the `available` bytes there:
    version 5 as it is, version 4 converted. False for any other version or too few bytes.
    `headerBytes` receives the stored header's size (where the records begin). */
bool DecodeStoredHeader(const uint8_t* header, size_t available, EditHeader& decoded,
                        uint32_t& headerBytes);

/** Appends the record's 72 bytes and, for a marker step, its name text. */
void EncodeRecord(const EditRecord& record, std::vector<uint8_t>& out);
/** Decodes the 72 fixed bytes; the name text is read by the caller. */
EditRecord DecodeRecordFixed(const uint8_t* in);

} // namespace tandrel
