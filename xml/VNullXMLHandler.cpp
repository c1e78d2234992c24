#include "xml/VNullXMLHandler.h"

namespace nuvo {

IXMLHandler* VNullXMLHandler::StartElement(const VString&)
{
    Retain();
    return this;
}

} // namespace nuvo
