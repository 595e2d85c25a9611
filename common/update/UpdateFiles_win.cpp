// Starting the new version on Windows: ShellExecuteW with "open", the arguments as one
// parameter text that splits back into the same arguments, and the working folder.
#include "common/update/UpdateFiles.h"

#include "common/update/ShellStart_win.h"

#include <vector>

namespace zelk {

ProcessStarter platformProcessStarter()
{
    return [](const QString &program, const QStringList &arguments, const QString &workingFolder) {
        std::vector<std::wstring> wide;
        for (const QString &argument : arguments)
            wide.push_back(argument.toStdWString());
        return win32::shellOpen(program.toStdWString(), win32::joinArguments(wide), workingFolder.toStdWString());
    };
}

} // namespace zelk
