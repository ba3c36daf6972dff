// Writes the seed corpus of edit_map_fuzz into a folder: databases made with the program's
// own encoder (sound ones of several sizes and titles) and a few damaged variants.
//
//   make_edit_map_seeds FOLDER

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "library/edit_map_layout.h"

namespace {

using namespace tandrel;
namespace fs = std::filesystem;

bool failed = false;

void Write(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "make_edit_map_seeds: cannot write %s\n", path.c_str());
        failed = true;
    }
}

EditInfo Facts(uint32_t i)
{
    EditInfo info;
    info.created = 1700000000 + i;
    info.modified = 1700000100 + i;
    info.length0 = 100 * i;
    info.length1 = 90 * i;
    info.length2 = 90 * i;
    info.fileSize = 524342 + 4410 * i;
    info.sampleRate = i % 2 ? 44100 : 22050;
    info.bitsPerSample = i % 3 ? 16 : 8;
    info.channels = uint16_t(1 + i % 2);
    return info;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_edit_map_seeds FOLDER\n");
        return 2;
    }
    const fs::path folder = argv[1];
    std::error_code error;
    fs::create_directories(folder, error);

    EditMapTable none;
    Write(folder / "header-only.kdd", EncodeEditMap(none));

    EditMapTable few;
    few.Insert("Interview", Facts(1));
    few.Insert("", Facts(2)); // a title 0 bytes long
    few.Insert("Caf\xC3\xA9 \xE2\x80\x94 take 2", Facts(3));
    few.Insert("AB", Facts(4)); // shares bucket 97 with "a"
    few.Insert("a", Facts(5));
    const std::vector<uint8_t> fewBytes = EncodeEditMap(few);
    Write(folder / "few.kdd", fewBytes);

    EditMapTable many;
    for (uint32_t i = 0; i < 60; ++i)
        many.Insert("Episode " + std::to_string(i), Facts(i));
    Write(folder / "many.kdd", EncodeEditMap(many));

    // Damaged: another version, cut inside a record and inside a title, a title length
    // running past the end.
    std::vector<uint8_t> older = fewBytes;
    older[7] = '3';
    Write(folder / "older-version.kdd", older);
    Write(folder / "cut-in-record.kdd",
          std::vector<uint8_t>(fewBytes.begin(), fewBytes.begin() + 16 + 20));
    Write(folder / "cut-in-title.kdd", std::vector<uint8_t>(fewBytes.begin(), fewBytes.end() - 3));
    std::vector<uint8_t> longTitle = fewBytes;
    longTitle[16 + 32] = 0xFF;
    longTitle[16 + 33] = 0xFF;
    Write(folder / "title-too-long.kdd", longTitle);
    return failed ? 1 : 0;
}
