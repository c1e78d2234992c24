#pragma once

#include "kernel/base/VObject.h"
#include "xml/IXMLHandler.h"

namespace nuvo {

class VValueBag;

// Reads XML into a bag: each child element becomes a new bag added under the element's name to
// the bag of its parent, attributes become attributes of the element's bag, and text is
// appended to its character data ("<>"). The handler given the root element fills the bag it
// was built with (retained). Character data that is only white space between child elements
// is dropped, so an indented file reads back as the bag it was written from.
class VXMLBagHandler : public VObject, public IXMLHandler {
public:
    explicit VXMLBagHandler(VValueBag* bag);

    IXMLHandler* StartElement(const VString& name) override;
    void EndElement(const VString& name) override;
    void SetAttribute(const VString& name, const VString& value) override;
    void SetText(const VString& text) override;

protected:
    ~VXMLBagHandler() override;

private:
    VValueBag* fBag;
    VString fText;
};

} // namespace nuvo
