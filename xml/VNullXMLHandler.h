#pragma once

#include "kernel/base/VObject.h"
#include "xml/IXMLHandler.h"

namespace nuvo {

// Swallows a subtree: every child element gets this same handler back, attributes and text
// are ignored. Unlike a null StartElement result, the subtree is still parsed and its
// entities resolved.
class VNullXMLHandler : public VObject, public IXMLHandler {
public:
    IXMLHandler* StartElement(const VString& name) override;
};

} // namespace nuvo
