#include <cstdio>
#include <string>
#include <vector>

#include "GaugePreview.h"
#include "PngWriter.h"
#include "base/Exceptions.h"

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const qvr::PreviewOptions options = qvr::ParsePreviewArguments(arguments);
    if (options.help) {
      std::fputs(qvr::PreviewUsage().c_str(), stdout);
      return 0;
    }
    std::vector<std::string> warnings;
    const auto picture = qvr::RenderPreview(options, warnings);
    for (const auto& warning : warnings)
      std::fprintf(stderr, "gauge-preview: %s\n", warning.c_str());
    qvr::WriteFileBytes(options.output, qvr::EncodePng(*picture));
    return 0;
  } catch (const qvr::Exception& error) {
    std::fprintf(stderr, "gauge-preview: %s\n", error.Message().c_str());
    return 2;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "gauge-preview: %s\n", error.what());
    return 2;
  }
}
