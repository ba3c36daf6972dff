#include "base/interaction.h"

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/recording_sink.h"
#include "base/terminal_sink.h"

namespace tandrel {
namespace {

// The sink currently installed, leaving it installed.
InteractionSink* InstalledSink()
{
    InteractionSink* sink = InstallInteractionSink(nullptr);
    InstallInteractionSink(sink);
    return sink;
}

// A text of `size` letters that differ from their neighbours, so a cut in the wrong place
// or a shifted copy shows up as a mismatch, not just as a wrong length.
std::string Letters(size_t size, char first = 'a')
{
    std::string text(size, ' ');
    for (size_t i = 0; i < size; ++i)
        text[i] = char(first + i % 26);
    return text;
}

TEST(ReportError, FormatsPrintfStyleIntoAnOkBoxTitledTandrelError)
{
    struct Case
    {
        std::function<void()> report;
        std::string expected;
    };
    const Case cases[] = {
        {[] { ReportError("EditSave (3): Error (%d) saving file %s.", 28, "Talk.kdw"); },
         "EditSave (3): Error (28) saving file Talk.kdw."},
        {[] { ReportError("SyncEdit: error parsing type %d", -1); },
         "SyncEdit: error parsing type -1"},
        {[] { ReportError("%u of %u", 4294967295u, 0u); }, "4294967295 of 0"},
        {[] { ReportError("%08.3f|%-4s|%x|%c", 3.14159, "ab", 255, 'Z'); }, "0003.142|ab  |ff|Z"},
        {[] { ReportError("100%% done"); }, "100% done"},
        {[] { ReportError("%s", ""); }, ""},
        {[] { ReportError("%llu", 18446744073709551615ull); }, "18446744073709551615"},
    };
    for (const Case& c : cases) {
        ScopedRecordingSink sink;
        c.report();
        const std::vector<RecordingSink::Message> messages = sink.Messages();
        ASSERT_EQ(messages.size(), 1u) << c.expected;
        EXPECT_EQ(messages[0].title, "Tandrel Error");
        EXPECT_EQ(messages[0].text, c.expected);
        EXPECT_EQ(messages[0].buttons, MessageButtons::Ok) << c.expected;
    }
}

TEST(ReportError, CutsLongTextsAt1023Characters)
{
    // Lengths around the 1024-byte buffer, and far beyond it.
    for (size_t size : {0u, 1u, 1022u, 1023u, 1024u, 1025u, 5000u, 100000u}) {
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

TEST(ScopedRecordingSink, RecordsEveryKindOfMessageInOrder)
{
    ScopedRecordingSink sink;
    MessageDialog("Sorry", "An Edit with that name already exists.");
    ReportError("EditOpen (5): Error parsing header in file %s.", "a.kdw");
    EXPECT_EQ(PromptText("Rename", "New name:", "Old"), std::nullopt);
    MessageDialog("Master View", "Not allowed.", MessageButtons::YesNoCancel);

    const std::vector<RecordingSink::Message> messages = sink.Messages();
    ASSERT_EQ(messages.size(), 4u);
    const RecordingSink::Message expected[] = {
        {"Sorry", "An Edit with that name already exists.", MessageButtons::Ok},
        {"Tandrel Error", "EditOpen (5): Error parsing header in file a.kdw.", MessageButtons::Ok},
        {"Rename", "New name:", MessageButtons::OkCancel},
        {"Master View", "Not allowed.", MessageButtons::YesNoCancel},
    };
    for (size_t i = 0; i < messages.size(); ++i) {
        EXPECT_EQ(messages[i].title, expected[i].title) << i;
        EXPECT_EQ(messages[i].text, expected[i].text) << i;
        EXPECT_EQ(messages[i].buttons, expected[i].buttons) << i;
    }
    EXPECT_EQ(sink.Texts(),
              (std::vector<std::string>{"An Edit with that name already exists.",
                                        "EditOpen (5): Error parsing header in file a.kdw.",
                                        "New name:", "Not allowed."}));

    // Clearing forgets what was shown but not what is scripted.
    sink.ScriptAnswer(MessageAnswer::Yes);
    sink.Clear();
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(MessageDialog("T", "after", MessageButtons::YesNo), MessageAnswer::Yes);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"after"});
}

TEST(ScopedRecordingSink, RestoresThePreviousSinkWhenDestroyed)
{
    InteractionSink* const before = InstalledSink();
    ASSERT_NE(before, nullptr);
    {
        ScopedRecordingSink outer;
        EXPECT_EQ(InstalledSink(), &outer);
        {
            ScopedRecordingSink inner;
            EXPECT_EQ(InstalledSink(), &inner);
            MessageDialog("T", "to inner");
            EXPECT_EQ(inner.Texts(), std::vector<std::string>{"to inner"});
        }
        EXPECT_EQ(InstalledSink(), &outer);
        // The inner sink is gone: this must land in the outer one, and nowhere else.
        MessageDialog("T", "to outer");
        ReportError("also %s", "outer");
        EXPECT_EQ(outer.Texts(), (std::vector<std::string>{"to outer", "also outer"}));
    }
    EXPECT_EQ(InstalledSink(), before);
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

struct CautiousCase
{
    MessageButtons buttons;
    MessageAnswer answer;
};
const CautiousCase kCautious[] = {
    {MessageButtons::Ok, MessageAnswer::Ok},
    {MessageButtons::OkCancel, MessageAnswer::Cancel},
    {MessageButtons::YesNo, MessageAnswer::No},
    {MessageButtons::YesNoCancel, MessageAnswer::Cancel},
};

TEST(ScopedRecordingSink, GivesTheCautiousAnswerWhenTheScriptIsEmpty)
{
    for (const CautiousCase& c : kCautious) {
        EXPECT_EQ(CautiousAnswer(c.buttons), c.answer) << int(c.buttons);
        ScopedRecordingSink sink;
        EXPECT_EQ(MessageDialog("T", "first", c.buttons), c.answer) << int(c.buttons);
        EXPECT_EQ(MessageDialog("T", "second", c.buttons), c.answer) << int(c.buttons);
        EXPECT_EQ(sink.Messages().size(), 2u);
    }
}

TEST(ScopedRecordingSink, ConsumesScriptedAnswersInOrderThenTurnsCautious)
{
    ScopedRecordingSink sink;
    const MessageAnswer script[] = {MessageAnswer::Yes, MessageAnswer::No, MessageAnswer::Cancel,
                                    MessageAnswer::Ok, MessageAnswer::Yes};
    for (MessageAnswer answer : script)
        sink.ScriptAnswer(answer);
    // A prompt in between must not eat an answer meant for a box.
    sink.ScriptText("name");
    EXPECT_EQ(MessageDialog("T", "0", MessageButtons::YesNoCancel), script[0]);
    EXPECT_EQ(PromptText("T", "label"), std::optional<std::string>("name"));
    for (size_t i = 1; i < std::size(script); ++i)
        EXPECT_EQ(MessageDialog("T", std::to_string(i), MessageButtons::YesNoCancel), script[i])
            << i;
    EXPECT_EQ(MessageDialog("T", "unscripted", MessageButtons::YesNoCancel), MessageAnswer::Cancel);
    EXPECT_EQ(MessageDialog("T", "unscripted", MessageButtons::YesNo), MessageAnswer::No);
    EXPECT_EQ(sink.Messages().size(), std::size(script) + 3);
}

TEST(ScopedRecordingSink, PromptTextReturnsScriptedTextsThenCancels)
{
    ScopedRecordingSink sink;
    const std::optional<std::string> script[] = {"Intro", std::nullopt, "", "Ünïcode näme"};
    for (const std::optional<std::string>& text : script)
        sink.ScriptText(text);
    // A scripted answer for boxes must not be taken by a prompt.
    sink.ScriptAnswer(MessageAnswer::Yes);
    for (size_t i = 0; i < std::size(script); ++i)
        EXPECT_EQ(PromptText("Marker", "Name:", "Marker 1"), script[i]) << i;
    // Unscripted: cancelled, even with an initial text offered.
    EXPECT_EQ(PromptText("Marker", "Name:", "Marker 1"), std::nullopt);
    EXPECT_EQ(PromptText("Marker", "Name:"), std::nullopt);
    EXPECT_EQ(MessageDialog("T", "box", MessageButtons::YesNo), MessageAnswer::Yes);

    const std::vector<RecordingSink::Message> messages = sink.Messages();
    ASSERT_EQ(messages.size(), std::size(script) + 3);
    EXPECT_EQ(messages[0].title, "Marker");
    EXPECT_EQ(messages[0].text, "Name:");
}

std::string ThreadText(int thread, int i)
{
    return "thread " + std::to_string(thread) + " message " + std::to_string(i);
}

constexpr int kThreads = 8;
constexpr int kPerThread = 250;

TEST(ScopedRecordingSink, LosesNoMessageFromConcurrentThreads)
{
    ScopedRecordingSink sink;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kPerThread; ++i) {
                if (i % 5 == 0) ReportError("%s", ThreadText(t, i).c_str());
                MessageDialog("T", ThreadText(t, i), MessageButtons::YesNo);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    // Every message arrives once, and each thread's boxes keep their order.
    const std::vector<RecordingSink::Message> messages = sink.Messages();
    EXPECT_EQ(messages.size(), size_t(kThreads * kPerThread + kThreads * kPerThread / 5));
    std::map<std::string, int> seen;
    std::vector<int> lastBox(kThreads, -1);
    for (const RecordingSink::Message& m : messages) {
        ++seen[m.title + "/" + m.text];
        int t = -1, i = -1;
        if (m.title == "T" && std::sscanf(m.text.c_str(), "thread %d message %d", &t, &i) == 2 &&
            t >= 0 && t < kThreads) {
            EXPECT_GT(i, lastBox[t]) << m.text;
            lastBox[t] = i;
        }
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(lastBox[t], kPerThread - 1) << t;
        for (int i = 0; i < kPerThread; ++i) {
            EXPECT_EQ(seen["T/" + ThreadText(t, i)], 1) << ThreadText(t, i);
            EXPECT_EQ(seen["Tandrel Error/" + ThreadText(t, i)], i % 5 == 0 ? 1 : 0)
                << ThreadText(t, i);
        }
    }
}

TEST(ScopedRecordingSink, GivesEachScriptedAnswerOnceAcrossThreads)
{
    constexpr int kScripted = kThreads * kPerThread / 2;
    ScopedRecordingSink sink;
    for (int i = 0; i < kScripted; ++i)
        sink.ScriptAnswer(MessageAnswer::Yes);

    std::vector<int> yes(kThreads, 0), no(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &yes, &no] {
            for (int i = 0; i < kPerThread; ++i) {
                MessageAnswer a = MessageDialog("T", ThreadText(t, i), MessageButtons::YesNo);
                ++(a == MessageAnswer::Yes ? yes : no)[t];
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    // The script is used up exactly; every box after that gets the cautious answer.
    int totalYes = 0, totalNo = 0;
    for (int t = 0; t < kThreads; ++t) {
        totalYes += yes[t];
        totalNo += no[t];
    }
    EXPECT_EQ(totalYes, kScripted);
    EXPECT_EQ(totalNo, kThreads * kPerThread - kScripted);
    EXPECT_EQ(sink.Messages().size(), size_t(kThreads * kPerThread));
}

TEST(TerminalSink, WritesTitleAndTextToStderrAndAnswersCautiously)
{
    // Not interactive: it must never wait for a person, whatever stdin is.
    TerminalSink terminal(false);
    for (const CautiousCase& c : kCautious) {
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
