#include "cli/relay_sinks.h"

#include "base/terminal_sink.h"

namespace tandrel::cli {

MessageAnswer QuietSink::ShowMessage(const std::string&, const std::string&,
                                     MessageButtons buttons)
{
    return CautiousAnswer(buttons);
}

} // namespace tandrel::cli
