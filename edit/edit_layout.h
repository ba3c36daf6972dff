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

/** Appends the record's 72 bytes and, for a marker step, its name text. */
void EncodeRecord(const EditRecord& record, std::vector<uint8_t>& out);
/** Decodes the 72 fixed bytes; the name text is read by the caller. */
EditRecord DecodeRecordFixed(const uint8_t* in);

} // namespace tandrel
