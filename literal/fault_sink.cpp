#include "literal/fault_sink.h"

#include <cstdio>
#include <utility>

namespace vorlane {
namespace {

void PrintFault(const std::string& caption, const std::string& text)
{
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

FaultSink& InstalledSink()
{
    static FaultSink sink = PrintFault;
    return sink;
}

}  // namespace

FaultSink SetFaultSink(FaultSink sink)
{
    FaultSink previous = std::move(InstalledSink());
    InstalledSink() = sink ? std::move(sink) : FaultSink(PrintFault);
    return previous;
}

void ReportFault(const std::string& caption, const std::string& text)
{
    InstalledSink()(caption, text);
}

}  // namespace vorlane
