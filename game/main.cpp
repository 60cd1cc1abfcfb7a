// Entry function of Mivo, a 3D block-puzzle game: makes the executable's folder the current
// directory, reads the leading number of the command line into the game and runs it.
#include "MivoGame.h"
#include "WeApplication.h"
#include "gdi/GdiFont.h"
#include "win32/Win32Files.h"
#include "win32/Win32Window.h"

#include <csignal>
#include <filesystem>
#include <string>
#include <system_error>

namespace
{

std::string CommandLineOf(int argc, char** argv)
{
    std::string line;
    for (int i = 1; i < argc; ++i)
        line += (i > 1 ? " " : "") + std::string(argv[i]);
    return line;
}

// Runs before the engine's globals are constructed, which load the configuration: the video
// subsystem and the GL library load on a thread meanwhile, up to the first window. A write to a
// display that has gone would end the game by SIGPIPE before Xlib says why: ignored, the write
// fails and Xlib's handler ends the game with its message.
__attribute__((constructor(101))) void StartEarly()
{
    std::signal(SIGPIPE, SIG_IGN);
    WeKeepHeapMapped();
    win32::BeginVideo();
}

} // namespace

int main(int argc, char** argv)
{
    const std::string executable = win32::GetModuleFileName();
    std::error_code ignored;
    if (!executable.empty())
        std::filesystem::current_path(std::filesystem::path(executable).parent_path(), ignored);
    const std::string commandLine = CommandLineOf(argc, argv);
    gameApp.commandLineNumber = MivoGame::ParseCommandLineNumber(commandLine.c_str());
    // The run first waits for the video's thread, still loading the GL library: the font
    // configuration loads meanwhile.
    gdi::LoadFontConfig();
    gameApp.Run(commandLine.c_str());
    return 0;
}
