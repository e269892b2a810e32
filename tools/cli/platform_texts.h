#pragma once
// What the command line's help says differently on each platform: how a port is named, how a run is
// stopped, who may open a port (platform_texts_<platform>.cpp, chosen by CMake). Each text is whole
// lines of the help, wrapped as the help around it is.
namespace hexloader::cli::platform_texts {

// The upload help's --port option, both lines.
extern const char* const PortOption;
// The upload help's --repeat option, all its lines: how a run is asked to stop.
extern const char* const RepeatOption;
// The upload help's production-line example, its command only.
extern const char* const ProductionExample;
// The ports help after its first line.
extern const char* const PortsDescription;
// The general help's line for the help switches.
extern const char* const HelpOption;
// The help switches besides --help, -h and help ("/?" on Windows); null-terminated.
extern const char* const ExtraHelpSwitches[];

}  // namespace hexloader::cli::platform_texts
