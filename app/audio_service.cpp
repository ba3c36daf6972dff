#include "app/audio_service.h"

#include <QApplication>

#include "app/studio.h"
#include "engine/service_loop.h"

namespace tandrel::app {

bool NestedLoopOpen()
{
    return QApplication::activeModalWidget() != nullptr || QApplication::activePopupWidget() != nullptr;
}

AudioService::AudioService(Studio& studio, QObject* parent) : QObject(parent), studio_(studio)
{
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &AudioService::Pass);
}

void AudioService::Start()
{
    timer_.start(int(ServicePeriodMs()));
}

void AudioService::Stop()
{
    timer_.stop();
}

void AudioService::Pass()
{
    ++passes_;
    const bool nested = NestedLoopOpen();
    // The main loop's recording path: drain the capture first. From a nested loop the
    // service does it itself.
    AudioStream* stream = studio_.Stream();
    if (!nested && stream && stream->State() == kStateRecording && !stream->recordPaused)
        studio_.WriteRecordedData();
    ServiceAudio(nested);
    const int period = int(ServicePeriodMs());
    if (timer_.interval() != period) timer_.setInterval(period);
}

} // namespace tandrel::app
