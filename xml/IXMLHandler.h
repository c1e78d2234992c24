#pragma once

#include "kernel/base/IRefCountable.h"
#include "kernel/base/VRefPtr.h"
#include "kernel/files/VFolder.h"
#include "kernel/text/VString.h"

namespace nuvo {

class VFile;

// Receives one element of a document read by VXMLParser. The parser keeps one reference per
// open element: StartElement returns the handler of a child element with a reference for the
// parser, or null to skip the child and everything inside it. Handlers are called from the
// parsing task only, in document order; they need no lock.
class IXMLHandler : public IRefCountable {
public:
    IXMLHandler() = default;

    // The handler for the child element name (retained for the caller), or null to skip it.
    virtual IXMLHandler* StartElement(const VString& name);
    // The element whose handler this is ends.
    virtual void EndElement(const VString& name);
    // One attribute of the element, in document order.
    virtual void SetAttribute(const VString& name, const VString& value);
    // A piece of the element's character data; one text may arrive in several pieces.
    virtual void SetText(const VString& text);
    // A file to read for an external entity (retained for the caller), or null. The default
    // looks in the entities folder set by SetEntitiesLocalFolder.
    virtual VFile* ResolveEntity(const VString& systemId);
    // The default reports the pseudo-attributes of an "xml-stylesheet" instruction through the
    // three style-sheet calls below.
    virtual void processingInstruction(const VString& target, const VString& data);
    virtual void StartStyleSheet();
    virtual void SetStyleSheetAttribute(const VString& name, const VString& value);
    virtual void EndStyleSheet();

    // System ids beginning with prefix resolve to files inside folder (retained); null clears.
    void SetEntitiesLocalFolder(const VString& prefix, VFolder* folder);
    const VString& GetEntitiesPrefix() const { return fEntitiesPrefix; }
    VFolder* GetEntitiesFolder() const { return fEntitiesFolder.Get(); }

protected:
    ~IXMLHandler() override;

private:
    VString fEntitiesPrefix;
    VRefPtr<VFolder> fEntitiesFolder;
};

} // namespace nuvo
