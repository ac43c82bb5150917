#include "shell/ProgramLayout.h"

#include <filesystem>

#include "shell/SoftInfo.h"
#include "support/CommonLib.h"

TProgramLayout FindProgramLayout(const std::string& executableFolder, IPlatform& platform) {
    TProgramLayout layout;
    layout.ExecutableFolder = WithTrailingDelim(executableFolder);
    layout.ProgramFolder = layout.ExecutableFolder;
    if (platform.FileExists(layout.ExecutableFolder + ResLibraryName))
        return layout;
    const std::string installed = WithTrailingDelim(PathText(
        FilePath(layout.ExecutableFolder + VELMORA_INSTALLED_PROGRAM_FOLDER).lexically_normal()));
    if (platform.FileExists(installed + ResLibraryName)) {
        layout.ProgramFolder = installed;
        layout.Installed = true;
    }
    return layout;
}
