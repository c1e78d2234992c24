#pragma once

#include "kernel/base/VObject.h"
#include "xml/IXMLHandler.h"

namespace nuvo {

class VValueBag;

// Reads XML into a bag. The handler's bag (retained) stands for one element: each child element
// becomes a new bag added under the child's name to it, the element's attributes become its
// attributes and the element's text its character data ("<>"). Given to the parser as the root
// handler, the handler's bag stands for the document, so the root element becomes its one
// child. A run of text that is only white space next to a child element is dropped, so an
// indented file reads back as the bag it was written from.
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
    void _FlushText(bool dropSpaceOnly);

    VValueBag* fBag;
    VString fText;
};

} // namespace nuvo
