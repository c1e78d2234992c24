#include "updater/open/BundleExecutable.h"

#include "kernel/base/VRefPtr.h"
#include "kernel/files/VFile.h"
#include "kernel/files/VFilePath.h"
#include "kernel/files/VFolder.h"
#include "kernel/text/VString.h"
#include "xml/VInfoPlist.h"
#include "xml/VXMLParser.h"

namespace nuvo {

std::string BundleExecutablePath(const std::string& bundlePath)
{
    VString folderText;
    folderText.FromCString((bundlePath + "/").c_str());
    auto bundle = VRefPtr<VFolder>::Adopt(new VFolder(VFilePath(folderText, FilePathStyle::Posix)));
    if (VXMLParser::Init()) {
        auto executable = VRefPtr<VFile>::Adopt(VInfoPlist::RetainBundleExecutable(*bundle));
        if (executable) {
            VString posix;
            executable->GetPath().GetPosixPath(posix);
            return to_string(posix);
        }
    }
    size_t slash = bundlePath.rfind('/');
    std::string name = bundlePath.substr(slash == std::string::npos ? 0 : slash + 1);
    // "Client.app" starts "Client"; a name that is all extension (".app") stays whole.
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return bundlePath + "/Contents/MacOS/" + name;
}

} // namespace nuvo
