// Entry function of Mivo, a 3D block-puzzle game: makes the executable's folder the current
// directory, reads the leading decimal of the command line and runs the application.
#include "WeAppWindow.h"
#include "WeApplication.h"
#include "WeEngine.h"
#include "WeInput.h"
#include "win32/Win32Files.h"
#include "win32/Win32MessageBox.h"

#include <filesystem>
#include <string>
#include <system_error>

namespace
{

// Stands in for the game's application object until the game exists: it starts the engine in a
// window, runs frames, and ends the program when the window is closed (close box, Alt+F4) or
// Escape is pressed. There is nothing to play yet.
class MivoStandInApplication final : public WeApplication
{
public:
    explicit MivoStandInApplication(int32_t introSkip) : introSkip(introSkip) {}

    const char* GetName() override { return "Mivo"; }

    bool Init() override
    {
        WeEngineSettings& settings = engine.settings;
        settings.displayMode = 3;
        settings.windowStyle = 3;
        settings.gravity[1] = 0.0f;
        settings.physicsFlag = false; // no physics SDK is loaded, as in the game
        settings.keyboardFlag = true;
        if (engine.Init(win32::GetModuleHandleA(nullptr), nullptr, GetName(), ""))
            return true;
        win32::MessageBoxA(nullptr, engine.lastError.GetData(), "Fatal Error", win32::MB_OK | win32::MB_ICONERROR);
        return false;
    }

    void Update() override
    {
        if (input.UseKeyClicked(dinput::DIK_ESCAPE) && engine.window)
            win32::PostMessageA(engine.window->handle, win32::WM_CLOSE, 0, 0);
    }

    bool Exit() override { return true; }

private:
    int32_t introSkip; // 1 or more skips the intro, once the game has one
};

std::string CommandLineOf(int argc, char** argv)
{
    std::string line;
    for (int i = 1; i < argc; ++i)
        line += (i > 1 ? " " : "") + std::string(argv[i]);
    return line;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string executable = win32::GetModuleFileName();
    std::error_code ignored;
    if (!executable.empty())
        std::filesystem::current_path(std::filesystem::path(executable).parent_path(), ignored);
    const std::string commandLine = CommandLineOf(argc, argv);
    MivoStandInApplication mivo(WeString(commandLine.c_str()).GetToken(' ', 0).ToInt());
    mivo.Run(commandLine.c_str());
    return 0;
}
