#include "platform/audio/audio_backend.h"

#include <cstdlib>

#include "platform/audio/null_device.h"
#include "platform/audio/portaudio_device.h"

namespace tandrel {

bool ParseAudioChoice(std::string_view text, AudioChoice& choice)
{
    AudioChoice parsed;
    if (text.empty()) {
        parsed.kind = AudioChoice::Kind::kAutomatic;
    } else if (text == "null") {
        parsed.kind = AudioChoice::Kind::kNull;
    } else if (text == "portaudio") {
        parsed.kind = AudioChoice::Kind::kPortAudio;
    } else if (text.starts_with("file:")) {
        parsed.kind = AudioChoice::Kind::kFile;
        std::string_view rest = text.substr(5);
        while (!rest.empty()) {
            const size_t comma = rest.find(',');
            const std::string_view part = rest.substr(0, comma);
            rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
            if (part == "fast") {
                parsed.file.fast = true;
            } else if (part.starts_with("in=") && part.size() > 3) {
                parsed.file.inPath = std::string(part.substr(3));
            } else if (part.starts_with("out=") && part.size() > 4) {
                parsed.file.outPath = std::string(part.substr(4));
            } else {
                return false;
            }
        }
    } else {
        return false;
    }
    choice = parsed;
    return true;
}

std::string AudioChoiceText(const AudioChoice& choice)
{
    switch (choice.kind) {
    case AudioChoice::Kind::kAutomatic:
        return "";
    case AudioChoice::Kind::kNull:
        return "null";
    case AudioChoice::Kind::kPortAudio:
        return "portaudio";
    case AudioChoice::Kind::kFile:
        break;
    }
    std::string text = "file:";
    auto add = [&](const std::string& part) {
        if (text.size() > 5) text += ',';
        text += part;
    };
    if (!choice.file.inPath.empty()) add("in=" + choice.file.inPath);
    if (!choice.file.outPath.empty()) add("out=" + choice.file.outPath);
    if (choice.file.fast) add("fast");
    return text;
}

std::unique_ptr<AudioBackend> OpenChosenAudioBackend(const AudioChoice& choice,
                                                     const std::string& source, std::string& why)
{
    switch (choice.kind) {
    case AudioChoice::Kind::kNull:
        why = "Null device (" + source + ")";
        return MakeNullBackend();
    case AudioChoice::Kind::kFile:
        why = "File device " + AudioChoiceText(choice) + " (" + source + ")";
        return MakeFileBackend(choice.file);
    case AudioChoice::Kind::kAutomatic:
    case AudioChoice::Kind::kPortAudio:
        break;
    }
    std::string found;
    std::unique_ptr<AudioBackend> backend = MakePortAudioBackend(found);
    if (backend && !backend->PlaybackDevices().empty()) {
        why = found + " (" + source + ")";
        return backend;
    }
    why = "Null device: " + found + " (" + source + ")";
    return MakeNullBackend();
}

std::unique_ptr<AudioBackend> OpenAudioBackend(std::string_view savedChoice, std::string& why)
{
    AudioChoice choice;
    std::string source;
    const char* environment = std::getenv("TANDREL_AUDIO");
    if (environment && *environment) {
        if (!ParseAudioChoice(environment, choice)) {
            why = std::string("Null device: TANDREL_AUDIO=\"") + environment +
                  "\" is not null, portaudio or file:in=PATH,out=PATH[,fast]";
            return MakeNullBackend();
        }
        source = "TANDREL_AUDIO";
    } else if (ParseAudioChoice(savedChoice, choice)) {
        source = choice.kind == AudioChoice::Kind::kAutomatic ? "automatic" : "saved choice";
    } else {
        source = "automatic; the saved choice \"" + std::string(savedChoice) + "\" is unknown";
    }
    return OpenChosenAudioBackend(choice, source, why);
}

} // namespace tandrel
