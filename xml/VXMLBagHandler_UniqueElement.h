#pragma once

#include "kernel/base/VObject.h"
#include "kernel/text/VString.h"
#include "xml/IXMLHandler.h"

namespace nuvo {

class VValueBag;

// The root handler for a document whose root element must be elementName (any name when it is
// empty): that element is read into the bag itself (see VXMLBagHandler); any other root
// element is skipped and leaves the bag empty (WasFound() false).
class VXMLBagHandler_UniqueElement : public VObject, public IXMLHandler {
public:
    VXMLBagHandler_UniqueElement(VValueBag* bag, const VString& elementName);

    IXMLHandler* StartElement(const VString& name) override;
    bool WasFound() const { return fFound; }

protected:
    ~VXMLBagHandler_UniqueElement() override;

private:
    VValueBag* fBag;
    VString fElementName;
    bool fFound = false;
};

} // namespace nuvo
