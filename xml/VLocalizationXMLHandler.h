#pragma once

#include "kernel/text/VString.h"
#include "xml/IXMLHandler.h"

namespace nuvo {

class VLocalizationManager;

// The root handler of XLIFF files: passes through the elements it does not handle, decides at
// each "file" element's "target-language" whether the file's texts are acceptable and
// overriding, and gives "group" and "trans-unit" elements their handlers. Owned by one manager
// and reused for every file, so a file without "target-language" inherits the previous
// file's decision. Used by the loading task only.
class VLocalizationXMLHandler : public IXMLHandler {
public:
    explicit VLocalizationXMLHandler(VLocalizationManager* manager);

    IXMLHandler* StartElement(const VString& name) override;
    void SetAttribute(const VString& name, const VString& value) override;

    void SetAvoidLanguageChecking(bool avoid) { fAvoidLanguageChecking = avoid; }
    bool IsAcceptable() const { return fAcceptable; }
    bool IsOverriding() const { return fOverriding; }

private:
    VLocalizationManager* fManager;   // not retained: the manager owns this handler
    bool fInFileElement = false;
    bool fAcceptable = false;
    bool fOverriding = true;
    bool fAvoidLanguageChecking = false;
};

} // namespace nuvo
