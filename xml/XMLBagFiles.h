#pragma once
// Value bags as XML documents: the bag's XML form (VValueBag::DumpXML) under one root element.

#include "kernel/base/VTypes.h"

namespace nuvo {

class IFile;
class VFileStream;
class VFolder;
class VString;
class VValueBag;

// Writes the declaration "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" directly followed by the
// bag under elementName (indented when indented is true) to file as UTF-8 without a byte-order
// mark, line ends unchanged. Returns 0 when file is null; on a write failure the file is deleted
// and the error returned.
VError WriteBagToFileInXML(const VValueBag& bag, const VString& elementName, IFile* file, bool indented);

// Stream forms: the same text framed by a UTF-16 declaration, written as one string (a 32-bit
// count of UTF-16 units followed by the units, little-endian). Reading fills bag from the root
// element's attributes and children.
VError WriteBagToStreamInXML(const VValueBag& bag, const VString& elementName, VFileStream& stream);
VError ReadBagFromStreamInXML(VValueBag& bag, VFileStream& stream);

// Reads the document's root element into bag. With a non-empty elementName, a different root
// leaves the bag empty and gives 'xmlc' 1 ("name" = elementName). Entities resolve in folder
// for system ids that begin with prefix.
VError LoadBagFromXML(const IFile& file, const VString& elementName, VValueBag& bag,
                      const VString* entitiesPrefix = nullptr, VFolder* entitiesFolder = nullptr);
VError LoadBagFromXML(const VString& text, const VString& elementName, VValueBag& bag,
                      const VString* entitiesPrefix = nullptr, VFolder* entitiesFolder = nullptr);

} // namespace nuvo
