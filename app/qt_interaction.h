#pragma once
#include <memory>

#include "base/interaction.h"
#include "base/progress.h"

namespace tandrel::app {

/** Messages and prompts as Qt boxes over the active window. Worker threads are served on
    the UI thread and wait for the answer. Installed for the lifetime of the object. */
class QtInteractionSink : public InteractionSink
{
public:
    QtInteractionSink();
    ~QtInteractionSink() override;
    QtInteractionSink(const QtInteractionSink&) = delete;
    QtInteractionSink& operator=(const QtInteractionSink&) = delete;

    MessageAnswer ShowMessage(const std::string& title, const std::string& text,
                              MessageButtons buttons) override;
    std::optional<std::string> PromptText(const std::string& title, const std::string& label,
                                          const std::string& initial) override;

private:
    InteractionSink* previous_;
};

/** The progress window as a Qt dialog with a bar and Cancel. While an operation reports,
    the window lets the event loop turn (the audio timer keeps running); it is modal to the
    application so that nothing else can be started meanwhile. Installed for the lifetime of
    the object. */
class QtProgressViews : public ProgressViewFactory
{
public:
    QtProgressViews();
    ~QtProgressViews() override;
    QtProgressViews(const QtProgressViews&) = delete;
    QtProgressViews& operator=(const QtProgressViews&) = delete;

    std::unique_ptr<ProgressView> MakeProgressView(ProgressKind kind) override;

private:
    ProgressViewFactory* previous_;
};

} // namespace tandrel::app
