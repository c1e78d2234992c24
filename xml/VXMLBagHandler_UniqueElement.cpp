#include "xml/VXMLBagHandler_UniqueElement.h"

#include "xml/VXMLBagHandler.h"

#include "kernel/values/VValueBag.h"

namespace nuvo {

VXMLBagHandler_UniqueElement::VXMLBagHandler_UniqueElement(VValueBag* bag, const VString& elementName)
    : fBag(RetainRefCountable(bag)), fElementName(elementName)
{
}

VXMLBagHandler_UniqueElement::~VXMLBagHandler_UniqueElement()
{
    ReleaseRefCountable(&fBag);
}

IXMLHandler* VXMLBagHandler_UniqueElement::StartElement(const VString& name)
{
    if (fFound || (!fElementName.IsEmpty() && !name.EqualToStringRaw(fElementName)))
        return nullptr;
    fFound = true;
    return new VXMLBagHandler(fBag);
}

} // namespace nuvo
