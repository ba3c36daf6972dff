// The typed messages of the local socket: framing across partial reads and import requests at
// and past their size limit.
#include <gtest/gtest.h>

#include "app/program_requests.h"

namespace tandrel::app {
namespace {

std::vector<uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

TEST(RequestReader, MessagesComeWholeWhateverTheReadsCutThem)
{
    std::vector<uint8_t> wire = EncodeRequest(kRequestActivate, {});
    const std::vector<uint8_t> second = EncodeRequest(kRequestImport, Bytes("abcdef"));
    wire.insert(wire.end(), second.begin(), second.end());
    for (size_t piece : {size_t(1), size_t(3), size_t(7), wire.size()}) {
        RequestReader reader;
        std::vector<ProgramRequest> got;
        for (size_t at = 0; at < wire.size(); at += piece) {
            reader.Feed(wire.data() + at, std::min(piece, wire.size() - at));
            while (auto next = reader.Next()) got.push_back(*next);
        }
        ASSERT_EQ(got.size(), 2u) << "pieces of " << piece;
        EXPECT_EQ(got[0].type, kRequestActivate);
        EXPECT_TRUE(got[0].data.empty());
        EXPECT_EQ(got[1].type, kRequestImport);
        EXPECT_EQ(got[1].data, Bytes("abcdef"));
    }
}

TEST(RequestReader, AnOversizedAnnouncementBreaksTheConnection)
{
    std::vector<uint8_t> wire = {0x4D, 0x01, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F};
    RequestReader reader;
    reader.Feed(wire.data(), wire.size());
    EXPECT_FALSE(reader.Next());
    EXPECT_TRUE(reader.Broken());
    const std::vector<uint8_t> later = EncodeRequest(kRequestActivate, {});
    reader.Feed(later.data(), later.size());
    EXPECT_FALSE(reader.Next());
}

std::vector<uint8_t> Body(uint32_t l1, uint32_t l2, uint32_t l3, const std::string& text)
{
    std::vector<uint8_t> body;
    for (uint32_t v : {l1, l2, l3})
        for (int i = 0; i < 4; ++i) body.push_back(uint8_t(v >> (8 * i)));
    body.insert(body.end(), text.begin(), text.end());
    return body;
}

TEST(ImportRequest, TheSizeLimit)
{
    // 1035 bytes are taken, 1036 are not. (The fuzzer sends what was taken round again.)
    const std::string path(1035 - 12 - 2, 'p');
    std::vector<uint8_t> body = Body(uint32_t(path.size()), 1, 1, path + "uD");
    ASSERT_EQ(body.size(), 1035u);
    const auto taken = ParseImportRequest(body);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->sourcePath.size(), 259u); // as a 260-byte buffer holds it
    EXPECT_EQ(taken->userName, "u");
    body.push_back('x');
    EXPECT_FALSE(ParseImportRequest(body));
}

TEST(ImportRequest, LengthsThatRunPastTheBodyAreRefused)
{
    struct Case
    {
        uint32_t l1, l2, l3;
        const char* text;
        bool taken;
    } cases[] = {
        {3, 2, 1, "abcdef", true},
        {3, 2, 2, "abcdef", false},
        {0xFFFFFFFF, 0xFFFFFFFF, 8, "abcdef", false}, // would wrap round in 32 bits
        {0, 0, 0, "", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseImportRequest(Body(c.l1, c.l2, c.l3, c.text)).has_value(), c.taken)
            << c.l1 << " " << c.l2 << " " << c.l3;
    EXPECT_FALSE(ParseImportRequest(std::vector<uint8_t>(11, 0)));
    // Texts end at a zero byte inside their length.
    const auto cut = ParseImportRequest(Body(4, 1, 1, std::string("ab\0c", 4) + "uD"));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->sourcePath, "ab");
}

TEST(ImportRequest, DispatchTakesOnlyKnownTypesWithAHandler)
{
    int imports = 0, sams = 0;
    auto import = [&](const ImportRequest&) { ++imports; };
    auto sam = [&](const std::vector<uint8_t>&) { ++sams; };
    const ImportRequest request{"/a.wav", "KDUser", "Default"};
    EXPECT_TRUE(DispatchProgramRequest({kRequestImport, EncodeImportRequest(request)}, import, sam));
    EXPECT_FALSE(DispatchProgramRequest({kRequestImport, std::vector<uint8_t>(1036, 0)}, import, sam));
    EXPECT_TRUE(DispatchProgramRequest({kRequestSam, Bytes("x")}, import, sam));
    EXPECT_FALSE(DispatchProgramRequest({77, Bytes("x")}, import, sam));
    EXPECT_FALSE(DispatchProgramRequest({kRequestImport, EncodeImportRequest(request)}, nullptr, nullptr));
    EXPECT_EQ(imports, 1);
    EXPECT_EQ(sams, 1);
}

TEST(TranscriptionRequest, OnlyOneKnownActionByteIsTaken)
{
    struct Case
    {
        std::vector<uint8_t> body;
        std::optional<TranscriptionAction> action;
    };
    const Case kCases[] = {
        {{1}, TranscriptionAction::PlayPause}, {{2}, TranscriptionAction::Back},
        {{}, std::nullopt},   {{0}, std::nullopt},
        {{3}, std::nullopt},  {{2, 2}, std::nullopt},
    };
    for (const Case& c : kCases) {
        std::vector<TranscriptionAction> got;
        const bool taken = DispatchProgramRequest({kRequestTranscription, c.body}, nullptr, nullptr,
                                                  [&](TranscriptionAction a) { got.push_back(a); });
        EXPECT_EQ(taken, c.action.has_value()) << c.body.size() << " bytes";
        EXPECT_EQ(got, c.action ? std::vector{*c.action} : std::vector<TranscriptionAction>{});
    }
    // The command line names them.
    for (TranscriptionAction action : {TranscriptionAction::PlayPause, TranscriptionAction::Back})
        EXPECT_EQ(TranscriptionActionNamed(TranscriptionActionName(action)), action);
    EXPECT_FALSE(TranscriptionActionNamed("rewind"));
}

} // namespace
} // namespace tandrel::app
