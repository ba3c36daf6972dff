#include "base/interaction.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/recording_sink.h"
#include "base/terminal_sink.h"

namespace tandrel {
namespace {

// A text of `size` letters that differ from their neighbours, so a cut in the wrong place
// or a shifted copy shows up as a mismatch, not just as a wrong length.
std::string Letters(size_t size, char first = 'a')
{
    std::string text(size, ' ');
    for (size_t i = 0; i < size; ++i)
        text[i] = char(first + i % 26);
    return text;
}

TEST(ReportError, FormatsItsArgumentsIntoAnOkBoxTitledTandrelError)
{
    ScopedRecordingSink sink;
    ReportError("EditSave (3): Error (%d) saving file %s.", 28, "Talk.kdw");
    const std::vector<RecordingSink::Message> messages = sink.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Tandrel Error");
    EXPECT_EQ(messages[0].text, "EditSave (3): Error (28) saving file Talk.kdw.");
    EXPECT_EQ(messages[0].buttons, MessageButtons::Ok);
}

TEST(ReportError, CutsLongTextsAt1023Characters)
{
    // Lengths around the 1024-byte buffer, and far beyond it.
    for (size_t size : {1022u, 1023u, 1024u, 100000u}) {
        ScopedRecordingSink sink;
        const std::string text = Letters(size);
        ReportError("%s", text.c_str());
        ASSERT_EQ(sink.Messages().size(), 1u) << size;
        EXPECT_EQ(sink.Messages()[0].text, text.substr(0, 1023)) << size;
    }

    // The cut also applies when the length comes from the expansion of several arguments.
    ScopedRecordingSink sink;
    const std::string a = Letters(700, 'A'), b = Letters(700, 'a');
    ReportError("[%s|%s]", a.c_str(), b.c_str());
    ASSERT_EQ(sink.Messages().size(), 1u);
    EXPECT_EQ(sink.Messages()[0].text, ("[" + a + "|" + b + "]").substr(0, 1023));
}

TEST(InstallInteractionSink, ReturnsTheReplacedSinkAndNeverNull)
{
    RecordingSink first, second;
    InteractionSink* const original = InstallInteractionSink(&first);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(InstallInteractionSink(&second), &first);
    MessageDialog("T", "to second");
    // Null puts the terminal sink back; what it replaced is still returned.
    EXPECT_EQ(InstallInteractionSink(nullptr), &second);
    InteractionSink* const terminal = InstallInteractionSink(original);
    EXPECT_NE(terminal, nullptr);
    EXPECT_NE(terminal, &first);
    EXPECT_NE(terminal, &second);
    EXPECT_TRUE(first.Messages().empty());
    EXPECT_EQ(second.Texts(), std::vector<std::string>{"to second"});
}

TEST(TerminalSink, WritesTitleAndTextToStderrAndAnswersCautiously)
{
    // Not interactive: it must never wait for a person, whatever stdin is.
    TerminalSink terminal(false);
    struct Case { MessageButtons buttons; MessageAnswer answer; };
    const Case cases[] = {
        {MessageButtons::Ok, MessageAnswer::Ok},
        {MessageButtons::OkCancel, MessageAnswer::Cancel},
        {MessageButtons::YesNo, MessageAnswer::No},
        {MessageButtons::YesNoCancel, MessageAnswer::Cancel},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        const MessageAnswer answer = terminal.ShowMessage("Sorry", "Disk full.", c.buttons);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ(answer, c.answer) << int(c.buttons);
        EXPECT_EQ(printed, "Sorry: Disk full.\n") << int(c.buttons);
    }
    EXPECT_EQ(terminal.PromptText("Rename", "New name:", "Old"), std::nullopt);
}

} // namespace
} // namespace tandrel
